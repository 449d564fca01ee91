// Loads the archive library by name and drives it the way the installer does. What the
// core makes of archives the native tests show; these show what the boundary adds, and what
// the core does in-process where Windows lacks its wide file calls.
#include "extractor.h"
#include "sevenzip.h"
#include "tree.h"
#include "wide_file_calls.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using namespace archive_test;

namespace {

// The test archives' folder as Wine shows it; its name has blanks, as the installer's paths may.
const std::string kData = ARCHIVE_DLL_TEST_DATA;
const std::string kArchive = kData + "\\driver package.zip";
const std::string kDest = (fs::temp_directory_path() / "archive dll test").string();
const HWND kOwner = reinterpret_cast<HWND>(0x1234);

const HMODULE dll = LoadLibraryA(SEVENZIP_DLL_NAME);
template <typename Function> Function lookup(const char *name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}
const auto sevenZip = lookup<LPSEVENZIP>("SevenZip");
const auto setOwner = lookup<LPSEVENZIPSETOWNERWINDOWEX>("SevenZipSetOwnerWindowEx");
const auto killOwner = lookup<LPSEVENZIPKILLOWNERWINDOWEX>("SevenZipKillOwnerWindowEx");

// The installer's command line.
std::string command(const std::string &archive, const std::string &dest = kDest,
                    const char *yes = "-y ") {
    return "x " + std::string(yes) + "\"" + archive + "\" -o\"" + dest + "\\\" -hide";
}

// Each call's state; each entry's record at its end.
std::string progressLog;
// The callback answers FALSE once more than this many bytes are written.
long long stopPast = LLONG_MAX;

BOOL CALLBACK recordProgress(HWND hwnd, UINT message, UINT state, LPVOID data) {
    const auto &p = *static_cast<const SEVENZIP_PROGRESS *>(data);
    if (hwnd != kOwner || message != SEVENZIP_PROGRESS_MSG || p.cbSize != sizeof p)
        progressLog += "unexpected call ";
    progressLog += std::to_string(state);
    if (state == SEVENZIP_STATE_ENTRY_END)
        progressLog += " " + std::to_string(p.dwEntryIndex) + "/" + std::to_string(p.dwEntryCount) +
                       (p.fIsFolder ? " folder " : " file ") + p.szEntryName + " " +
                       std::to_string(p.ullEntryDone) + "/" + std::to_string(p.ullEntrySize) + " " +
                       std::to_string(p.ullTotalDone) + "/" + std::to_string(p.ullTotalSize) + "\n";
    return static_cast<long long>(p.ullTotalDone) > stopPast ? FALSE : TRUE;
}

// The installer's own call sequence, with a zero-filled buffer one byte longer.
std::string report;
int extractLikeInstaller(const std::string &line) {
    std::vector<char> output(16385, '\0');
    EXPECT_TRUE(setOwner(kOwner, recordProgress));
    const int code = sevenZip(kOwner, line.c_str(), output.data(), 16384);
    EXPECT_TRUE(killOwner(kOwner));
    report = output.data();
    return code;
}

struct SevenZipDll : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(sevenZip && setOwner && killOwner) << "cannot load " SEVENZIP_DLL_NAME;
        fs::remove_all(kDest);
    }
    void TearDown() override { fs::remove_all(kDest); }
};

// As Windows 95, 98 and Me answer every wide file call.
template <typename Result> Result notImplemented(Result failed) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return failed;
}
HANDLE WINAPI noCreateFile(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    return notImplemented(INVALID_HANDLE_VALUE);
}
BOOL WINAPI noCreateDirectory(LPCWSTR, LPSECURITY_ATTRIBUTES) {
    return notImplemented(FALSE);
}
BOOL WINAPI noPathCall(LPCWSTR) {
    return notImplemented(FALSE);
}
DWORD WINAPI noAttributes(LPCWSTR) {
    return notImplemented(INVALID_FILE_ATTRIBUTES);
}
BOOL WINAPI noMove(LPCWSTR, LPCWSTR, DWORD) {
    return notImplemented(FALSE);
}
BOOL WINAPI noSetAttributes(LPCWSTR, DWORD) {
    return notImplemented(FALSE);
}
// A disk file is read at its file pointer alone.
BOOL WINAPI readAtPointer(HANDLE file, LPVOID out, DWORD n, LPDWORD got, LPOVERLAPPED at) {
    return at == nullptr ? ReadFile(file, out, n, got, nullptr) : notImplemented(FALSE);
}

// The core, called in-process as the DLL calls it, on a system without the wide file calls.
struct AnsiOnlyCore : SevenZipDll {
    void SetUp() override {
        SevenZipDll::SetUp();
        archive::wideFileCalls = {noCreateFile, noCreateDirectory, noPathCall,      noAttributes,
                                  noMove,       noPathCall,        noSetAttributes, readAtPointer};
    }
    void TearDown() override {
        archive::wideFileCalls = real;
        SevenZipDll::TearDown();
    }
    static std::string extract(const std::string &archive, bool overwrite = false) {
        archive::FileSource source;
        if (!source.open(archive))
            return "cannot open " + archive;
        archive::DiskFileSystem disk;
        archive::ExtractOptions options;
        options.destination = kDest;
        options.overwrite = overwrite;
        archive::ExtractSummary summary;
        return archive::describe(archive::extractArchive(source, disk, options, {}, summary),
                                 summary);
    }
    const archive::WideFileCalls real = archive::wideFileCalls;
};

} // namespace

TEST_F(SevenZipDll, ExportsOnlyPlainNames) {
    EXPECT_EQ(GetProcAddress(dll, "SevenZip@16"), nullptr);
    EXPECT_EQ(GetProcAddress(dll, "_SevenZip@16"), nullptr);
}

TEST_F(SevenZipDll, ExtractsLikeTheInstallerWithProgress) {
    progressLog.clear();
    ASSERT_EQ(extractLikeInstaller(command(kArchive)), SEVENZIP_OK) << report;
    EXPECT_EQ(report, "Extracted 4 files and 3 folders (320048 bytes).");
    EXPECT_EQ(readTree(kDest), readTree(kData + "\\tree"));
    EXPECT_EQ(progressLog, "012 0/7 file readme.txt 24/24 24/320048\n"
                           "02 1/7 file empty.txt 0/0 24/320048\n"
                           "02 2/7 folder sub dir/ 0/0 24/320048\n"
                           "02 3/7 folder sub dir/nested/ 0/0 24/320048\n"
                           "012 4/7 file sub dir/nested/file with blanks.gpd 24/24 48/320048\n"
                           "0111112 5/7 file big.bin 320000/320000 320048/320048\n"
                           "02 6/7 folder empty folder/ 0/0 320048/320048\n");
}

// The Windows build of both PPMd models and the block decoder.
TEST_F(SevenZipDll, ExtractsPpmdAndBzip2) {
    for (const char *archive : {"PPMd.7z", "BZip2.7z", "PPMd.zip"}) {
        fs::remove_all(kDest);
        ASSERT_EQ(extractLikeInstaller(command(kData + "\\driver package " + archive)), SEVENZIP_OK)
            << archive << ": " << report;
        EXPECT_EQ(readTree(kDest), readTree(kData + "\\tree")) << archive;
    }
}

// A 7z archive called .zip: the library goes by content and creates the file by its wide name.
TEST_F(SevenZipDll, NamesArriveIntactWhateverTheCodePage) {
    ASSERT_EQ(extractLikeInstaller(command(kData + "\\names 7z.zip")), SEVENZIP_OK) << report;
    EXPECT_EQ(readFile(fs::path(kDest) / L"Ticket" / L"\u00DCn\u00EFcode\u540D.txt"), "named");
}

// As 7zz x gives them on a system of that OEM code page: the test runs in locales of 866 and
// 936 too.
TEST_F(SevenZipDll, NamesWithoutTheUtf8FlagInTheOemCodePage) {
    const std::string page = std::to_string(GetOEMCP());
    ASSERT_EQ(extractLikeInstaller(command(kData + "\\names oem " + page + ".zip")), SEVENZIP_OK)
        << report;
    EXPECT_EQ(readTree(kDest), readTree(kData + "\\names by 7zz " + page));
}

// The filters 7zz picks by itself for a package's ARM64 program and sound.
TEST_F(SevenZipDll, ExtractsAPackageWithTheFilters7zzChose) {
    ASSERT_EQ(extractLikeInstaller(command(kData + "\\DriverData.Drv")), SEVENZIP_OK) << report;
    EXPECT_EQ(readTree(kDest), readTree(kData + "\\package"));
}

// Without -y an existing file is kept and nothing written; with it, it is replaced even read-only.
TEST_F(SevenZipDll, ExistingFiles) {
    const fs::path edited = fs::path(kDest) / "readme.txt";
    fs::create_directories(kDest);
    std::ofstream(edited) << "edited";
    ASSERT_TRUE(SetFileAttributesW(edited.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(extractLikeInstaller(command(kArchive, kDest, "")), SEVENZIP_ERROR_FILE_EXISTS);
    EXPECT_EQ(report.rfind("Error 7: ", 0), 0u) << report;
    EXPECT_EQ(readTree(kDest), (Tree{{"readme.txt", "edited"}}));
    EXPECT_EQ(extractLikeInstaller(command(kArchive)), SEVENZIP_OK);
    EXPECT_EQ(readTree(kDest), readTree(kData + "\\tree"));
}

// Each failure has its code and its report; the command forms are the native tests'.
TEST_F(SevenZipDll, BadCommandsArchivesAndDestinationsFail) {
    const std::pair<std::string, int> cases[] = {
        {command(kArchive) + " -zz", SEVENZIP_ERROR_COMMAND},
        {command(kData), SEVENZIP_ERROR_OPEN}, // a folder
        {command(kData + "\\not an archive.zip"), SEVENZIP_ERROR_ARCHIVE},
        {command(kArchive, kData + "\\not an archive.zip"), SEVENZIP_ERROR_WRITE},
    };
    for (const auto &[line, code] : cases) {
        EXPECT_EQ(extractLikeInstaller(line), code) << line;
        EXPECT_EQ(report.rfind("Error " + std::to_string(code) + ": ", 0), 0u) << report;
        EXPECT_FALSE(fs::exists(kDest)) << line;
    }
    EXPECT_EQ(sevenZip(kOwner, nullptr, nullptr, 0), SEVENZIP_ERROR_COMMAND);
}

TEST_F(SevenZipDll, OutputBufferIsNeverOverrun) {
    for (const std::string &line : {command(kArchive), std::string("x -bad")}) {
        for (const DWORD size : {0u, 1u, 2u, 16u, 16384u}) {
            std::vector<char> buffer(size + 64, '\x5A');
            sevenZip(kOwner, line.c_str(), buffer.data(), size);
            for (std::size_t i = size; i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], '\x5A') << line << " size " << size << " byte " << i;
            EXPECT_TRUE(size == 0 || std::memchr(buffer.data(), '\0', size)) << size;
            EXPECT_TRUE(size != 1 || buffer[0] == '\0');
        }
    }
}

// Stopped before anything is written, and inside big.bin, which must then not exist at all.
TEST_F(SevenZipDll, CallbackReturningFalseStopsWithoutPartialFiles) {
    stopPast = -1;
    EXPECT_EQ(extractLikeInstaller(command(kArchive)), SEVENZIP_ERROR_CANCELLED);
    EXPECT_EQ(readTree(kDest), Tree());
    stopPast = 100000;
    EXPECT_EQ(extractLikeInstaller(command(kArchive)), SEVENZIP_ERROR_CANCELLED);
    stopPast = LLONG_MAX;
    Tree before = readTree(kData + "\\tree");
    before.erase("big.bin");
    before.erase("empty folder/");
    EXPECT_EQ(readTree(kDest), before);
}

TEST_F(SevenZipDll, OnlyTheRegisteredOwnerIsCalledBack) {
    progressLog.clear();
    EXPECT_FALSE(setOwner(kOwner, nullptr));
    ASSERT_TRUE(setOwner(kOwner, recordProgress));
    EXPECT_EQ(sevenZip(reinterpret_cast<HWND>(0x5678), command(kArchive).c_str(), nullptr, 0),
              SEVENZIP_OK);
    EXPECT_TRUE(killOwner(kOwner));
    EXPECT_FALSE(killOwner(kOwner));
    EXPECT_EQ(sevenZip(kOwner, command(kArchive).c_str(), nullptr, 0), SEVENZIP_OK);
    EXPECT_EQ(progressLog, "");
}

// Both formats, written afresh and then over themselves, a read-only file included.
TEST_F(AnsiOnlyCore, ExtractsThroughTheAnsiCalls) {
    const std::string done = "Extracted 4 files and 3 folders (320048 bytes).";
    for (const char *name : {"\\driver package.zip", "\\driver package.7z"}) {
        EXPECT_EQ(extract(kData + name), done) << name;
        EXPECT_EQ(readTree(kDest), readTree(kData + "\\tree")) << name;
        ASSERT_TRUE(SetFileAttributesA((kDest + "\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(extract(kData + name, true), done) << name;
        EXPECT_EQ(readTree(kDest), readTree(kData + "\\tree")) << name;
        fs::remove_all(kDest);
    }
}

TEST_F(AnsiOnlyCore, RefusesANameTheAnsiCodePageLacksBeforeWriting) {
    BOOL lacked = FALSE;
    char ansi[32];
    WideCharToMultiByte(CP_ACP, 0, L"\u540D", -1, ansi, sizeof ansi, nullptr, &lacked);
    ASSERT_TRUE(lacked) << "code page " << GetACP() << " holds the name";
    const std::string refused = extract(kData + "\\names 7z.zip");
    EXPECT_EQ(refused.rfind("Error 6: ", 0), 0u) << refused;
    EXPECT_FALSE(fs::exists(kDest));
}
