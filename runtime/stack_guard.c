/* The stack protector's guard and its failure handler, in place of the toolchain's
 * libssp, whose guard is drawn with CryptGenRandom: the first Windows 95 has no such
 * call, and a static import of it keeps the whole file from loading there. Linked into
 * every shipped binary ahead of libssp, so the linker takes these and none of libssp's
 * ssp.o; its checked string functions are still libssp's. */

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

void *__stack_chk_guard = 0;

/* No message and no handlers: a smashed stack is not trusted to run any of it. */
__attribute__((noreturn)) void __stack_chk_fail(void) {
    for (;;)
        TerminateProcess(GetCurrentProcess(), (UINT)STATUS_STACK_BUFFER_OVERRUN);
}

__attribute__((noreturn)) void __stack_chk_fail_local(void) {
    __stack_chk_fail();
}

__attribute__((noreturn)) void __chk_fail(void) {
    __stack_chk_fail();
}

/* Drawn as the compilers' own start-up cookies are, from what differs between runs and
 * processes; the first of the constructors, before any protected frame is entered, and
 * unprotected itself, as the guard changes under it. */
__attribute__((constructor(101), no_stack_protector)) static void SetStackGuard(void) {
    LARGE_INTEGER counter;
    UINT_PTR guard = (UINT_PTR)&counter;
    QueryPerformanceCounter(&counter);
    guard ^= (UINT_PTR)counter.QuadPart ^ (UINT_PTR)(counter.QuadPart >> 24);
    guard ^= (UINT_PTR)GetCurrentProcessId() << 16 ^ GetCurrentThreadId() ^ GetTickCount();
    /* A zero byte first stops a string copy that overruns from writing the guard back. */
    __stack_chk_guard = (void *)(guard & ~(UINT_PTR)0xFF);
}

#ifdef __cplusplus
}
#endif
