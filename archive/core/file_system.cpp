#include "file_system.h"

#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#endif

namespace archive {
namespace {

#ifdef _WIN32
std::wstring wide(const std::string &utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], n);
    return text;
}
#endif

std::FILE *openFile(const std::string &path, const char *mode) {
#ifdef _WIN32
    return _wfopen(wide(path).c_str(), mode[0] == 'w' ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), mode);
#endif
}

bool removeFile(const std::string &path) {
#ifdef _WIN32
    return _wremove(wide(path).c_str()) == 0;
#else
    return std::remove(path.c_str()) == 0;
#endif
}

bool renameFile(const std::string &from, const std::string &to) {
#ifdef _WIN32
    // The C runtime's rename() will not replace an existing file on Windows.
    _wremove(wide(to).c_str());
    return _wrename(wide(from).c_str(), wide(to).c_str()) == 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// 0 when the path does not exist, else its st_mode.
unsigned modeOf(const std::string &path) {
#ifdef _WIN32
    struct _stat64 info;
    return _wstat64(wide(path).c_str(), &info) == 0 ? info.st_mode : 0;
#else
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode : 0;
#endif
}

bool seekTo(std::FILE *file, std::uint64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), origin) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
#endif
}

long long position(std::FILE *file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

class DiskOutputFile : public OutputFile {
public:
    DiskOutputFile(std::FILE *file, std::string temporary, std::string target)
        : file_(file), temporary_(std::move(temporary)), target_(std::move(target)) {}
    DiskOutputFile(const DiskOutputFile &) = delete;
    DiskOutputFile &operator=(const DiskOutputFile &) = delete;

    ~DiskOutputFile() override {
        if (file_ != nullptr)
            std::fclose(file_);
        if (!committed_)
            removeFile(temporary_);
    }

    bool write(const std::uint8_t *data, std::size_t size) override {
        return file_ != nullptr && std::fwrite(data, 1, size, file_) == size;
    }

    bool commit() override {
        if (file_ == nullptr)
            return false;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed)
            return false;
        committed_ = renameFile(temporary_, target_);
        return committed_;
    }

private:
    std::FILE *file_;
    std::string temporary_;
    std::string target_;
    bool committed_ = false;
};

} // namespace

char DiskFileSystem::separator() const {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

PathKind DiskFileSystem::kind(const std::string &path) {
    const unsigned mode = modeOf(path);
    if (mode == 0)
        return PathKind::Missing;
    if (S_ISDIR(mode))
        return PathKind::Directory;
    return S_ISREG(mode) ? PathKind::File : PathKind::Other;
}

bool DiskFileSystem::makeDirectory(const std::string &path) {
#ifdef _WIN32
    return _wmkdir(wide(path).c_str()) == 0;
#else
    return ::mkdir(path.c_str(), 0777) == 0;
#endif
}

std::unique_ptr<OutputFile> DiskFileSystem::create(const std::string &path) {
    std::string temporary = path + ".partial~";
    std::FILE *file = openFile(temporary, "wb");
    if (file == nullptr)
        return nullptr;
    return std::make_unique<DiskOutputFile>(file, std::move(temporary), path);
}

FileSource::~FileSource() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool FileSource::open(const std::string &path) {
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    if (!S_ISREG(modeOf(path)))
        return false;
    file_ = openFile(path, "rb");
    if (file_ == nullptr || !seekTo(file_, 0, SEEK_END))
        return false;
    const long long end = position(file_);
    if (end < 0)
        return false;
    size_ = static_cast<std::uint64_t>(end);
    return true;
}

bool FileSource::readAt(std::uint64_t offset, void *out, std::size_t n) {
    if (file_ == nullptr || offset > size_ || n > size_ - offset)
        return false;
    return seekTo(file_, offset, SEEK_SET) && std::fread(out, 1, n, file_) == n;
}

} // namespace archive
