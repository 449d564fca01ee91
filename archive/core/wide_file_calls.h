// The file calls of the core that Windows 95, 98 and Me answer otherwise, in one table a
// test can replace: they export every wide call, but each fails there with
// ERROR_CALL_NOT_IMPLEMENTED, and they read a disk file at its file pointer alone.
#pragma once

#include <windows.h>

namespace archive {

struct WideFileCalls {
    decltype(&CreateFileW) createFile;
    decltype(&CreateDirectoryW) createDirectory;
    decltype(&DeleteFileW) deleteFile;
    decltype(&GetFileAttributesW) getFileAttributes;
    decltype(&MoveFileExW) moveFileEx;
    decltype(&RemoveDirectoryW) removeDirectory;
    decltype(&SetFileAttributesW) setFileAttributes;
    decltype(&ReadFile) readFile;
};

extern WideFileCalls wideFileCalls;

} // namespace archive
