#include "file_system.h"

#include "name_decoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#ifdef _WIN32
#include "wide_file_calls.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace archive {
namespace {

constexpr int kTemporaryAttempts = 1000;

#ifdef _WIN32
// By the library's own conversion, as Windows 95 converts no UTF-8.
std::wstring wide(const std::string &utf8) {
    std::u16string units;
    utf16FromUtf8(utf8, units);
    return std::wstring(units.begin(), units.end());
}

std::wstring wideFromAnsi(const std::string &ansi) {
    const int size = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring units(static_cast<std::size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, &units[0], n);
    return units;
}

// Fails, as a bad name does, where the ANSI code page lacks a character: the round trip also
// catches the best-fit stand-ins that no flag reports before Windows 2000.
bool toAnsi(const std::string &utf8, std::string &ansi) {
    const std::wstring units = wide(utf8);
    const int size = static_cast<int>(units.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, units.data(), size, nullptr, 0, nullptr, nullptr);
    ansi.assign(static_cast<std::size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, units.data(), size, &ansi[0], n, nullptr, nullptr);
    if (wideFromAnsi(ansi) == units)
        return true;
    SetLastError(ERROR_INVALID_NAME);
    return false;
}

// Windows 95, 98 and Me answer every wide call with ERROR_CALL_NOT_IMPLEMENTED. Asked once,
// so that a run knows which names it can write before it writes any.
bool ansiOnly() {
    return wideFileCalls.getFileAttributes(L".") == INVALID_FILE_ATTRIBUTES &&
           GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
}
#endif

// A short name beside path: the first free number is taken, so neither an entry of the
// archive nor a file of the user's can be hit.
std::string temporaryName(const std::string &path) {
    static std::atomic<unsigned> next{
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return path.substr(0, path.find_last_of("/\\") + 1) + "~x" + std::to_string(next++ % 100000) +
           ".tmp";
}

#ifdef _WIN32
// Windows 95, 98 and Me read a disk file at its file pointer alone, so there the pointer is
// moved under pointerLock; elsewhere one call reads at the offset.
bool readPart(HANDLE file, std::uint64_t offset, std::uint8_t *out, DWORD part, DWORD &got,
              Mutex *pointerLock) {
    if (pointerLock == nullptr) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        return wideFileCalls.readFile(file, out, part, &got, &at) != FALSE;
    }
    std::lock_guard<Mutex> lock(*pointerLock);
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    return (SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN) !=
                INVALID_SET_FILE_POINTER ||
            GetLastError() == NO_ERROR) &&
           wideFileCalls.readFile(file, out, part, &got, nullptr) != FALSE;
}
#endif

// Reads n bytes at offset without moving anything shared, where the system allows.
bool readFully(std::intptr_t file, std::uint64_t offset, std::uint8_t *out, std::size_t n,
               [[maybe_unused]] Mutex *pointerLock) {
    while (n > 0) {
#ifdef _WIN32
        DWORD got = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
        if (!readPart(reinterpret_cast<HANDLE>(file), offset, out, part, got, pointerLock) ||
            got == 0)
            return false;
#else
        const ssize_t got = ::pread(static_cast<int>(file), out, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
#endif
        out += got;
        offset += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

#ifdef _WIN32
using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

Handle openFile(bool ansi, const std::string &path, DWORD access, DWORD share, DWORD creation,
                DWORD flags) {
    std::string name;
    if (!ansi)
        return wideFileCalls.createFile(wide(path).c_str(), access, share, nullptr, creation, flags,
                                        nullptr);
    return toAnsi(path, name)
               ? CreateFileA(name.c_str(), access, share, nullptr, creation, flags, nullptr)
               : kNoHandle;
}

// CREATE_NEW fails on any name that exists, a dangling link included, and the flag
// keeps a link that appears there from being followed. Windows 95, 98 and Me have no links.
Handle createNew(bool ansi, const std::string &path) {
    const DWORD noLink = ansi ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
    return openFile(ansi, path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | noLink);
}

bool writeAll(Handle file, const std::uint8_t *data, std::size_t size) {
    while (size > 0) {
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data, part, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool closeFile(Handle file) {
    return CloseHandle(file) != FALSE;
}

void removeFile(bool ansi, const std::string &path) {
    std::string name;
    if (!ansi)
        wideFileCalls.deleteFile(wide(path).c_str());
    else if (toAnsi(path, name))
        DeleteFileA(name.c_str());
}

DWORD attributesOf(bool ansi, const std::string &path) {
    std::string name;
    if (!ansi)
        return wideFileCalls.getFileAttributes(wide(path).c_str());
    return toAnsi(path, name) ? GetFileAttributesA(name.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool alreadyExists() {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// One step: the old file is never removed before the new one takes its name. A read-only
// file refuses to be replaced, so it loses that attribute first.
bool replaceWide(const std::string &from, const std::string &to) {
    const std::wstring source = wide(from);
    const std::wstring target = wide(to);
    if (wideFileCalls.moveFileEx(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    const DWORD attributes = wideFileCalls.getFileAttributes(target.c_str());
    const DWORD plainReadOnly =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & plainReadOnly) == FILE_ATTRIBUTE_READONLY &&
           wideFileCalls.setFileAttributes(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) &&
           wideFileCalls.moveFileEx(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Windows 95, 98 and Me have no MoveFileEx: the old file steps aside under a free name, comes
// back should the new one fail to take its place, and goes only once it has.
bool replaceAnsi(const std::string &from, const std::string &to) {
    std::string source;
    std::string target;
    std::string aside;
    if (!toAnsi(from, source) || !toAnsi(to, target))
        return false;
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    for (int attempt = 0; attempt < kTemporaryAttempts && aside.empty(); ++attempt) {
        std::string name;
        if (toAnsi(temporaryName(to), name) && MoveFileA(target.c_str(), name.c_str()))
            aside = std::move(name);
        else if (!alreadyExists())
            return false;
    }
    if (aside.empty())
        return false;
    if (!MoveFileA(source.c_str(), target.c_str())) {
        MoveFileA(aside.c_str(), target.c_str());
        return false;
    }
    SetFileAttributesA(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(aside.c_str());
    return true;
}

bool replaceFile(bool ansi, const std::string &from, const std::string &to) {
    return ansi ? replaceAnsi(from, to) : replaceWide(from, to);
}
#else
using Handle = int;
const Handle kNoHandle = -1;

Handle createNew(bool, const std::string &path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

bool writeAll(Handle file, const std::uint8_t *data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(file, data, size);
        if (written <= 0) {
            if (written < 0 && errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool closeFile(Handle file) {
    return ::close(file) == 0;
}

void removeFile(bool, const std::string &path) {
    ::unlink(path.c_str());
}

bool alreadyExists() {
    return errno == EEXIST;
}

bool replaceFile(bool, const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool ansiOnly() {
    return false;
}
#endif

// Written under path; when target is set, commit() moves it there.
class DiskOutputFile : public OutputFile {
public:
    DiskOutputFile(bool ansi, Handle file, std::string path, std::string target)
        : ansi_(ansi), file_(file), path_(std::move(path)), target_(std::move(target)) {}
    DiskOutputFile(const DiskOutputFile &) = delete;
    DiskOutputFile &operator=(const DiskOutputFile &) = delete;

    ~DiskOutputFile() override {
        if (file_ != kNoHandle)
            closeFile(file_);
        if (!committed_)
            removeFile(ansi_, path_);
    }

    bool write(const std::uint8_t *data, std::size_t size) override {
        return file_ != kNoHandle && writeAll(file_, data, size);
    }

    bool close() override {
        if (file_ != kNoHandle) {
            closed_ = closeFile(file_);
            file_ = kNoHandle;
        }
        return closed_;
    }

    bool commit() override {
        committed_ = close() && (target_.empty() || replaceFile(ansi_, path_, target_));
        return committed_;
    }

private:
    bool ansi_;
    Handle file_;
    std::string path_;
    std::string target_;
    bool closed_ = false;
    bool committed_ = false;
};

} // namespace

#ifdef _WIN32
WideFileCalls wideFileCalls = {CreateFileW,        CreateDirectoryW, DeleteFileW,
                               GetFileAttributesW, MoveFileExW,      RemoveDirectoryW,
                               SetFileAttributesW, ReadFile};
#endif

DiskFileSystem::DiskFileSystem() : ansi_(ansiOnly()) {}

char DiskFileSystem::separator() const {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

PathKind DiskFileSystem::kind(const std::string &path) {
#ifdef _WIN32
    const DWORD attributes = attributesOf(ansi_, path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return PathKind::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Directory : PathKind::File;
#else
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return PathKind::Missing;
    if (S_ISLNK(info.st_mode))
        return PathKind::Link;
    if (S_ISDIR(info.st_mode))
        return PathKind::Directory;
    return S_ISREG(info.st_mode) ? PathKind::File : PathKind::Other;
#endif
}

bool DiskFileSystem::makeDirectory(const std::string &path) {
#ifdef _WIN32
    std::string name;
    if (!ansi_)
        return wideFileCalls.createDirectory(wide(path).c_str(), nullptr) != FALSE;
    return toAnsi(path, name) && CreateDirectoryA(name.c_str(), nullptr);
#else
    return ::mkdir(path.c_str(), 0777) == 0;
#endif
}

#ifdef _WIN32
bool DiskFileSystem::canName(std::string_view name) const {
    std::string ansi;
    return !ansi_ || toAnsi(std::string(name), ansi);
}
#else
bool DiskFileSystem::canName(std::string_view) const {
    return true;
}
#endif

bool DiskFileSystem::removeDirectory(const std::string &path) {
#ifdef _WIN32
    std::string name;
    if (!ansi_)
        return wideFileCalls.removeDirectory(wide(path).c_str()) != FALSE;
    return toAnsi(path, name) && RemoveDirectoryA(name.c_str());
#else
    return ::rmdir(path.c_str()) == 0;
#endif
}

std::unique_ptr<OutputFile> DiskFileSystem::create(const std::string &path, bool replace) {
    if (!replace) {
        const Handle file = createNew(ansi_, path);
        return file == kNoHandle ? nullptr
                                 : std::make_unique<DiskOutputFile>(ansi_, file, path, "");
    }
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        std::string temporary = temporaryName(path);
        const Handle file = createNew(ansi_, temporary);
        if (file != kNoHandle)
            return std::make_unique<DiskOutputFile>(ansi_, file, std::move(temporary), path);
        if (!alreadyExists())
            break;
    }
    return nullptr;
}

FileSource::~FileSource() {
    close();
}

void FileSource::close() {
#ifdef _WIN32
    if (file_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(file_));
#else
    if (file_ != -1)
        ::close(static_cast<int>(file_));
#endif
    file_ = -1;
    size_ = 0;
    cacheSize_ = 0;
}

bool FileSource::open(const std::string &path) {
    close();
    name_ = path.substr(path.find_last_of("/\\") + 1);
#ifdef _WIN32
    // A folder cannot be opened this way, so only files get through.
    const bool ansi = ansiOnly();
    const HANDLE file =
        openFile(ansi, path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    file_ = reinterpret_cast<std::intptr_t>(file);
    pointerLock_ = ansi ? &pointerMutex_ : nullptr;
    if (GetFileType(file) != FILE_TYPE_DISK)
        return false;
    // GetFileSizeEx came with Windows 2000.
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    size_ = static_cast<std::uint64_t>(high) << 32 | low;
#else
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (file < 0)
        return false;
    file_ = file;
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size_ = static_cast<std::uint64_t>(info.st_size);
#endif
    return true;
}

// Small reads (headers, names, short entries) come out of one larger read around them.
bool FileSource::readAt(std::uint64_t offset, void *out, std::size_t n) {
    if (file_ == -1 || offset > size_ || n > size_ - offset)
        return false;
    auto *bytes = static_cast<std::uint8_t *>(out);
    if (n == 0)
        return true;
    if (n >= kCacheSize)
        return readFully(file_, offset, bytes, n, pointerLock_);
    std::lock_guard<Mutex> lock(cacheMutex_);
    if (offset < cacheStart_ || offset - cacheStart_ + n > cacheSize_) {
        cache_.resize(kCacheSize);
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCacheSize, size_ - offset));
        cacheSize_ = 0;
        if (!readFully(file_, offset, cache_.data(), size, pointerLock_))
            return false;
        cacheStart_ = offset;
        cacheSize_ = size;
    }
    std::memcpy(bytes, cache_.data() + (offset - cacheStart_), n);
    return true;
}

} // namespace archive
