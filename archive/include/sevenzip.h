/* Interface of 7-zip32.dll and 7-zip64.dll, our archive extractor. Load it with
 * LoadLibraryA(SEVENZIP_DLL_NAME) and look the functions up by their plain names.
 *
 * SevenZip(hwnd, "x -y \"C:\\dir\\pkg.zip\" -o\"C:\\dest\\\" -hide", buf, size)
 *   x          extract with the paths stored in the archive (the only command)
 *   -y         overwrite existing files, read-only ones too; without it, nothing is
 *              extracted when any file the archive holds already exists at its destination
 *   -o<dir>    destination folder, created when missing (default: current folder);
 *              quotes only group, a backslash before a quote is a plain backslash
 *   -hide      accepted for compatibility: the DLL never opens a window
 * The format is taken from the content, whatever the extension: 7z archives (Copy,
 * LZMA, LZMA2, BCJ, BCJ2, ARM, ARMT, ARM64, PPC, SPARC, IA64, RISCV, Delta; solid or
 * not; encoded headers; behind a PE or ELF program within its first 4 MiB; not split
 * into volumes) and ZIP archives (stored or deflate, ZIP64 included, no encryption;
 * behind a stub or followed by other data). Names are decoded as stored (7z: UTF-16,
 * and an entry without a name takes the archive's name less its extension; ZIP: UTF-8
 * when flagged, else Info-ZIP's Unicode path field, else UTF-8 when the entry was made
 * on a Unix host and its name is valid UTF-8 with a non-ASCII character, else the OEM
 * code page of the running Windows, GetOEMCP, as 7-Zip reads them) and files are created
 * through the wide-character functions. Other methods fail the whole call, naming the
 * method, before anything is written; so do entries whose names could land outside
 * the destination (absolute, drive letters, "..", streams, device names such as CON
 * or nul.txt), two entries of one file (names equal but for letter case) without -y
 * (with it the later one wins), a file and a folder of one name, and links or
 * junctions below the destination, which are never written through. Files are created
 * new under their final names; one replaced under -y stays whole until its new data
 * is complete. A failing CRC stops at that entry, leaving no partial file. Archive and
 * folder paths on the command line are in the ANSI code page, as are the names in the
 * progress record and the report, which counts the files written.
 *
 * Returns 0 on success or one of the SEVENZIP_ERROR_* codes; writes a one-line report
 * into szOutput, never more than dwSize bytes including the terminating NUL.
 */
#ifndef SEVENZIP_H
#define SEVENZIP_H

#include <windows.h>

/* The library family names its 64-bit build apart. */
#ifdef _WIN64
#define SEVENZIP_DLL_NAME "7-zip64.dll"
#else
#define SEVENZIP_DLL_NAME "7-zip32.dll"
#endif

#define SEVENZIP_OK 0
#define SEVENZIP_ERROR_COMMAND 1     /* unknown command or switch, no archive */
#define SEVENZIP_ERROR_OPEN 2        /* archive missing or unreadable */
#define SEVENZIP_ERROR_ARCHIVE 3     /* neither 7z nor ZIP, damaged structure */
#define SEVENZIP_ERROR_UNSUPPORTED 4 /* encryption, other methods */
#define SEVENZIP_ERROR_DATA 5        /* CRC mismatch, corrupt compressed data */
#define SEVENZIP_ERROR_UNSAFE_PATH 6 /* an entry would land outside the destination */
#define SEVENZIP_ERROR_FILE_EXISTS 7 /* a file exists and -y was not given */
#define SEVENZIP_ERROR_WRITE 8       /* cannot create a folder or write a file */
#define SEVENZIP_ERROR_CANCELLED 9   /* the owner's callback returned FALSE */
#define SEVENZIP_ERROR_INTERNAL 10   /* out of memory or another internal failure */

/* The callback gets uMsg == SEVENZIP_PROGRESS_MSG, one of the states below and a
 * SEVENZIP_PROGRESS record that is valid only during the call. Returning FALSE stops
 * the extraction, and SevenZip returns SEVENZIP_ERROR_CANCELLED. */
#define SEVENZIP_PROGRESS_MSG (WM_APP + 0x7A)
#define SEVENZIP_STATE_ENTRY_BEGIN 0 /* before an entry is written */
#define SEVENZIP_STATE_ENTRY_DATA 1  /* after each chunk (up to 64 KiB) of a file */
#define SEVENZIP_STATE_ENTRY_END 2   /* after an entry is complete */

typedef struct SEVENZIP_PROGRESS {
    DWORD cbSize;               /* sizeof(SEVENZIP_PROGRESS) */
    DWORD dwEntryIndex;         /* 0-based position in the archive */
    DWORD dwEntryCount;         /* entries in the archive, folders included */
    BOOL fIsFolder;             /* entry is a folder */
    ULONGLONG ullEntrySize;     /* uncompressed size of the entry */
    ULONGLONG ullEntryDone;     /* bytes of the entry written so far */
    ULONGLONG ullTotalSize;     /* uncompressed size of all entries */
    ULONGLONG ullTotalDone;     /* bytes of all entries written so far */
    CHAR szEntryName[MAX_PATH]; /* name in the ANSI code page, NUL-terminated, cut to fit */
} SEVENZIP_PROGRESS;

typedef BOOL(CALLBACK *LPARCHIVERPROC)(HWND hwnd, UINT uMsg, UINT nState, LPVOID lpProgress);

typedef int(WINAPI *LPSEVENZIP)(HWND hwnd, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize);
typedef BOOL(WINAPI *LPSEVENZIPSETOWNERWINDOWEX)(HWND hwnd, LPARCHIVERPROC lpArcProc);
typedef BOOL(WINAPI *LPSEVENZIPKILLOWNERWINDOWEX)(HWND hwnd);

#ifdef __cplusplus
extern "C" {
#endif

/* Runs a command; see the top of this file. */
int WINAPI SevenZip(HWND hwnd, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize);
/* Registers lpArcProc for calls to SevenZip with the same hwnd; FALSE if it is NULL. */
BOOL WINAPI SevenZipSetOwnerWindowEx(HWND hwnd, LPARCHIVERPROC lpArcProc);
/* Forgets the callback of hwnd; FALSE if none was registered. */
BOOL WINAPI SevenZipKillOwnerWindowEx(HWND hwnd);

#ifdef __cplusplus
}
#endif

#endif
