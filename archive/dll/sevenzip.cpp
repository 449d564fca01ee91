#include "sevenzip.h"

#include "ansi_text.h"
#include "command_line.h"
#include "extractor.h"
#include "file_system.h"
#include "threads.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

namespace {

static_assert(SEVENZIP_ERROR_COMMAND == int(archive::ErrorCode::BadCommand));
static_assert(SEVENZIP_ERROR_OPEN == int(archive::ErrorCode::ArchiveOpen));
static_assert(SEVENZIP_ERROR_ARCHIVE == int(archive::ErrorCode::BadArchive));
static_assert(SEVENZIP_ERROR_UNSUPPORTED == int(archive::ErrorCode::Unsupported));
static_assert(SEVENZIP_ERROR_DATA == int(archive::ErrorCode::DataError));
static_assert(SEVENZIP_ERROR_UNSAFE_PATH == int(archive::ErrorCode::UnsafePath));
static_assert(SEVENZIP_ERROR_FILE_EXISTS == int(archive::ErrorCode::FileExists));
static_assert(SEVENZIP_ERROR_WRITE == int(archive::ErrorCode::WriteError));
static_assert(SEVENZIP_ERROR_CANCELLED == int(archive::ErrorCode::Cancelled));
static_assert(SEVENZIP_ERROR_INTERNAL == int(archive::ErrorCode::Internal));

archive::Mutex ownersMutex;
std::map<HWND, LPARCHIVERPROC> owners;

LPARCHIVERPROC ownerProc(HWND hwnd) {
    std::lock_guard<archive::Mutex> lock(ownersMutex);
    const auto it = owners.find(hwnd);
    return it == owners.end() ? nullptr : it->second;
}

void copyTruncated(char *out, std::size_t size, std::string_view text) {
    if (out == nullptr || size == 0)
        return;
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

UINT stateOf(archive::Progress::Stage stage) {
    switch (stage) {
    case archive::Progress::Stage::EntryStart:
        return SEVENZIP_STATE_ENTRY_BEGIN;
    case archive::Progress::Stage::EntryData:
        return SEVENZIP_STATE_ENTRY_DATA;
    case archive::Progress::Stage::EntryDone:
        break;
    }
    return SEVENZIP_STATE_ENTRY_END;
}

archive::Status run(HWND hwnd, LPCSTR commandLine, archive::ExtractSummary &summary) {
    if (commandLine == nullptr)
        return {archive::ErrorCode::BadCommand, "no command line"};
    archive::Command command;
    archive::Status status = archive::parseCommandLine(commandLine, command);
    if (!status)
        return status;

    const std::string path = archive::utf8FromAnsi(command.archive);
    archive::FileSource source;
    if (!source.open(path))
        return {archive::ErrorCode::ArchiveOpen, "cannot open '" + path + "'"};

    archive::ProgressHandler handler;
    if (const LPARCHIVERPROC proc = ownerProc(hwnd)) {
        handler = [hwnd, proc](const archive::Progress &p) {
            SEVENZIP_PROGRESS record{};
            record.cbSize = sizeof record;
            record.dwEntryIndex = static_cast<DWORD>(p.index);
            record.dwEntryCount = static_cast<DWORD>(p.count);
            record.fIsFolder = p.folder ? TRUE : FALSE;
            record.ullEntrySize = p.entrySize;
            record.ullEntryDone = p.entryDone;
            record.ullTotalSize = p.totalSize;
            record.ullTotalDone = p.totalDone;
            copyTruncated(record.szEntryName, sizeof record.szEntryName,
                          archive::ansiFromUtf8(p.name));
            return proc(hwnd, SEVENZIP_PROGRESS_MSG, stateOf(p.stage), &record) != FALSE;
        };
    }

    archive::DiskFileSystem fs;
    archive::ExtractOptions options;
    options.destination = archive::utf8FromAnsi(command.destination);
    options.overwrite = command.overwrite;
    return archive::extractArchive(source, fs, options, handler, summary);
}

} // namespace

extern "C" int WINAPI SevenZip(HWND hwnd, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize) {
    archive::ExtractSummary summary;
    archive::Status status;
    // Nothing may unwind into the caller, which is not C++.
    try {
        status = run(hwnd, szCmdLine, summary);
    } catch (const std::bad_alloc &) {
        status = {archive::ErrorCode::Internal, "out of memory"};
    } catch (...) {
        status = {archive::ErrorCode::Internal, "internal error"};
    }
    try {
        copyTruncated(szOutput, dwSize, archive::ansiFromUtf8(archive::describe(status, summary)));
    } catch (...) {
        copyTruncated(szOutput, dwSize, {});
    }
    return static_cast<int>(status.code);
}

extern "C" BOOL WINAPI SevenZipSetOwnerWindowEx(HWND hwnd, LPARCHIVERPROC lpArcProc) {
    if (lpArcProc == nullptr)
        return FALSE;
    try {
        std::lock_guard<archive::Mutex> lock(ownersMutex);
        owners[hwnd] = lpArcProc;
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI SevenZipKillOwnerWindowEx(HWND hwnd) {
    std::lock_guard<archive::Mutex> lock(ownersMutex);
    return owners.erase(hwnd) != 0 ? TRUE : FALSE;
}
