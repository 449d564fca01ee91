# monitor_dlls(VAR NAME SOURCE): builds SOURCE as a print monitor DLL for x86
# and for x64, each with the monitor's version resource, and sets VAR to the
# two files, x86 first. Every width's package carries both, so the two MinGW
# compilers are called directly, whatever toolchain this build has.
function(monitor_dlls var name source)
  set(dir ${CMAKE_BINARY_DIR}/monitor)
  file(MAKE_DIRECTORY ${dir})
  set(dlls)
  foreach(processor i686 x86_64)
    set(dll ${dir}/${name}-${processor}.dll)
    if(processor STREQUAL i686)
      set(machine X86)
    else()
      set(machine X64)
    endif()
    version_resource(script ${name}-${processor} VFT_DLL
                     "Language monitor of the label printer drivers (${machine})"
                     "Label printer drivers" LABEL_MONITOR_${machine} LABEL_MONITOR_FILE_${machine})
    set(resource ${dir}/${name}-${processor}-version.o)
    add_custom_command(OUTPUT ${resource}
      COMMAND ${processor}-w64-mingw32-windres -I${CMAKE_SOURCE_DIR}/src ${script} -O coff
              -o ${resource}
      DEPENDS ${script} ${CMAKE_SOURCE_DIR}/src/install/monitor_files.h
      COMMENT "Compiling the version resource of ${name} for ${processor}"
      VERBATIM)
    # --kill-at: the spooler looks the entry point up by its undecorated name.
    add_custom_command(OUTPUT ${dll}
      COMMAND ${processor}-w64-mingw32-g++-win32 -std=c++17 -O2 -Wall -Wextra -Werror
              -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0601 -fstack-protector-strong
              -D_FORTIFY_SOURCE=2 ${source} ${STACK_GUARD_SOURCE} ${resource} -o ${dll}
              -shared -s -static -static-libgcc -static-libstdc++ -Wl,--kill-at
      DEPENDS ${source} ${STACK_GUARD_SOURCE} ${resource}
      COMMENT "Building ${name} for ${processor}"
      VERBATIM)
    list(APPEND dlls ${dll})
  endforeach()
  set(${var} ${dlls} PARENT_SCOPE)
endfunction()
