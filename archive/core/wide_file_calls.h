// The wide-character file calls of the core, in one table a test can replace: Windows 95,
// 98 and Me export them all, but each fails there with ERROR_CALL_NOT_IMPLEMENTED.
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
};

extern WideFileCalls wideFileCalls;

} // namespace archive
