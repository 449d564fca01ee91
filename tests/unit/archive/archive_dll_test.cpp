// Loads the archive library by name and drives it the way the installer does.
#include "sevenzip.h"
#include "tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

template <typename Function> Function lookup(HMODULE module, const char *name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The data folder is a Unix path of the build tree; Wine can say where it appears.
std::string windowsPath(const std::string &path) {
    if (path.empty() || path[0] != '/')
        return path;
    using DosPathOf = WCHAR *(CDECL *)(const char *);
    if (const auto dosPathOf =
            lookup<DosPathOf>(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")) {
        if (WCHAR *wide = dosPathOf(path.c_str())) {
            char narrow[4 * MAX_PATH];
            const int n =
                WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
            HeapFree(GetProcessHeap(), 0, wide);
            if (n > 0)
                return narrow;
        }
    }
    std::string dos = "Z:" + path;
    std::replace(dos.begin(), dos.end(), '/', '\\');
    return dos;
}

const std::string &dataDir() {
    static const std::string dir = windowsPath(ARCHIVE_DLL_TEST_DATA);
    return dir;
}

std::string archivePath() {
    return dataDir() + "\\driver package.zip";
}

using archive_test::readTree;
using archive_test::Tree;

struct CallbackLog {
    int calls = 0;
    int stopAtCall = 0;     // 0: never stop
    std::string stopInside; // stop at the second data chunk of this entry
    int chunksInside = 0;
    bool sawData = false;
    HWND hwnd = nullptr;
    UINT message = 0;
    UINT lastState = 0;
    DWORD recordSize = 0;
    ULONGLONG totalSize = 0;
    ULONGLONG totalDone = 0;
    std::vector<std::string> finished;
} callbackLog;

BOOL CALLBACK recordProgress(HWND hwnd, UINT message, UINT state, LPVOID data) {
    const auto *record = static_cast<const SEVENZIP_PROGRESS *>(data);
    CallbackLog &log = callbackLog;
    ++log.calls;
    log.hwnd = hwnd;
    log.message = message;
    log.lastState = state;
    log.recordSize = record->cbSize;
    log.totalSize = record->ullTotalSize;
    log.totalDone = record->ullTotalDone;
    log.sawData = log.sawData || state == SEVENZIP_STATE_ENTRY_DATA;
    if (state == SEVENZIP_STATE_ENTRY_END)
        log.finished.emplace_back(record->szEntryName);
    if (state == SEVENZIP_STATE_ENTRY_DATA && log.stopInside == record->szEntryName &&
        ++log.chunksInside == 2)
        return FALSE;
    return log.calls == log.stopAtCall ? FALSE : TRUE;
}

const HWND kOwner = reinterpret_cast<HWND>(0x1234);

class SevenZipDll : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dll_ = LoadLibraryA(SEVENZIP_DLL_NAME);
        sevenZip_ = lookup<LPSEVENZIP>(dll_, "SevenZip");
        setOwner_ = lookup<LPSEVENZIPSETOWNERWINDOWEX>(dll_, "SevenZipSetOwnerWindowEx");
        killOwner_ = lookup<LPSEVENZIPKILLOWNERWINDOWEX>(dll_, "SevenZipKillOwnerWindowEx");
    }

    void SetUp() override {
        ASSERT_NE(dll_, nullptr) << "cannot load " SEVENZIP_DLL_NAME;
        ASSERT_NE(sevenZip_, nullptr);
        ASSERT_NE(setOwner_, nullptr);
        ASSERT_NE(killOwner_, nullptr);
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
        const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
        dest_ = std::string(temp) + "archive dll test " + std::to_string(GetCurrentProcessId()) +
                "\\" + test->name();
        fs::remove_all(dest_);
        callbackLog = CallbackLog{};
    }

    void TearDown() override { fs::remove_all(fs::path(dest_).parent_path()); }

    // The installer's own call sequence, with a zero-filled buffer one byte longer.
    int extractLikeInstaller(const std::string &command, std::string *report = nullptr) {
        std::vector<char> output(16385, '\0');
        EXPECT_TRUE(setOwner_(kOwner, recordProgress));
        const int code = sevenZip_(kOwner, command.c_str(), output.data(), 16384);
        EXPECT_TRUE(killOwner_(kOwner));
        if (report != nullptr)
            *report = output.data();
        return code;
    }

    std::string installerCommand(bool overwrite = true) const {
        return std::string("x ") + (overwrite ? "-y " : "") + "\"" + archivePath() + "\" -o\"" +
               dest_ + "\\\" -hide";
    }

    static Tree sourceTree() { return readTree(dataDir() + "\\tree"); }

    static HMODULE dll_;
    static LPSEVENZIP sevenZip_;
    static LPSEVENZIPSETOWNERWINDOWEX setOwner_;
    static LPSEVENZIPKILLOWNERWINDOWEX killOwner_;
    std::string dest_;
};

HMODULE SevenZipDll::dll_ = nullptr;
LPSEVENZIP SevenZipDll::sevenZip_ = nullptr;
LPSEVENZIPSETOWNERWINDOWEX SevenZipDll::setOwner_ = nullptr;
LPSEVENZIPKILLOWNERWINDOWEX SevenZipDll::killOwner_ = nullptr;

} // namespace

TEST_F(SevenZipDll, ExportsOnlyPlainNames) {
    EXPECT_EQ(GetProcAddress(dll_, "SevenZip@16"), nullptr);
    EXPECT_EQ(GetProcAddress(dll_, "_SevenZip@16"), nullptr);
}

TEST_F(SevenZipDll, ExtractsLikeTheInstallerWithProgress) {
    ASSERT_EQ(sourceTree().size(), 7u) << "test data missing in " << dataDir();
    std::string report;
    ASSERT_EQ(extractLikeInstaller(installerCommand(), &report), SEVENZIP_OK) << report;
    EXPECT_EQ(report, "Extracted 4 files and 3 folders (320048 bytes).");
    EXPECT_EQ(readTree(dest_), sourceTree());

    const CallbackLog &log = callbackLog;
    EXPECT_EQ(log.hwnd, kOwner);
    EXPECT_EQ(log.message, UINT(SEVENZIP_PROGRESS_MSG));
    EXPECT_EQ(log.recordSize, sizeof(SEVENZIP_PROGRESS));
    EXPECT_TRUE(log.sawData);
    EXPECT_EQ(log.lastState, UINT(SEVENZIP_STATE_ENTRY_END));
    EXPECT_EQ(log.totalSize, 320048u);
    EXPECT_EQ(log.totalDone, 320048u);
    EXPECT_EQ(log.finished.size(), 7u);
    EXPECT_EQ(log.finished.back(), "empty folder/");
}

TEST_F(SevenZipDll, WithoutYesExistingFilesAreKept) {
    ASSERT_EQ(extractLikeInstaller(installerCommand(false)), SEVENZIP_OK);
    std::ofstream(fs::path(dest_) / "readme.txt", std::ios::binary) << "edited";

    std::string report;
    EXPECT_EQ(extractLikeInstaller(installerCommand(false), &report), SEVENZIP_ERROR_FILE_EXISTS);
    EXPECT_EQ(report.rfind("Error 7: ", 0), 0u) << report;
    EXPECT_EQ(readTree(dest_).at("readme.txt"), "edited");

    EXPECT_EQ(extractLikeInstaller(installerCommand(true)), SEVENZIP_OK);
    EXPECT_EQ(readTree(dest_), sourceTree());
}

TEST_F(SevenZipDll, BadCommandsAndArchivesFail) {
    const std::string quoted = "\"" + archivePath() + "\"";
    const std::vector<std::pair<std::string, int>> cases = {
        {"x -y " + quoted + " -o\"" + dest_ + "\" -zz", SEVENZIP_ERROR_COMMAND},
        {"a -y " + quoted + " -o\"" + dest_ + "\"", SEVENZIP_ERROR_COMMAND},
        {"x -y -o\"" + dest_ + "\" -hide", SEVENZIP_ERROR_COMMAND},
        {"", SEVENZIP_ERROR_COMMAND},
        {"x -y \"" + dataDir() + "\\missing.zip\" -o\"" + dest_ + "\"", SEVENZIP_ERROR_OPEN},
        {"x -y \"" + dataDir() + "\\not an archive.zip\" -o\"" + dest_ + "\"",
         SEVENZIP_ERROR_ARCHIVE},
    };
    for (const auto &[command, code] : cases) {
        std::string report;
        EXPECT_EQ(extractLikeInstaller(command, &report), code) << command;
        EXPECT_EQ(report.rfind("Error " + std::to_string(code) + ": ", 0), 0u) << report;
        EXPECT_FALSE(fs::exists(dest_)) << command;
    }
    char output[64] = "";
    EXPECT_EQ(sevenZip_(kOwner, nullptr, output, sizeof output), SEVENZIP_ERROR_COMMAND);
}

TEST_F(SevenZipDll, OutputBufferIsNeverOverrun) {
    constexpr std::size_t kGuard = 64;
    const std::string commands[] = {installerCommand(), "x -bad"};
    for (const std::string &command : commands) {
        for (const DWORD size : {0u, 1u, 2u, 16u, 16384u}) {
            std::vector<char> buffer(size + kGuard, '\x5A');
            sevenZip_(kOwner, command.c_str(), buffer.data(), size);
            for (std::size_t i = size; i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], '\x5A') << command << " size " << size << " byte " << i;
            if (size > 0) {
                EXPECT_NE(std::memchr(buffer.data(), '\0', size), nullptr) << size;
            }
            if (size == 1) {
                EXPECT_EQ(buffer[0], '\0');
            }
        }
        EXPECT_EQ(sevenZip_(kOwner, command.c_str(), nullptr, 0) == 0, command == commands[0]);
    }
}

TEST_F(SevenZipDll, CallbackReturningFalseStops) {
    callbackLog.stopAtCall = 1;
    EXPECT_EQ(extractLikeInstaller(installerCommand()), SEVENZIP_ERROR_CANCELLED);
    EXPECT_TRUE(fs::is_empty(dest_));

    // Stopped inside big.bin, which must then not exist at all, not even in part.
    fs::remove_all(dest_);
    callbackLog = CallbackLog{};
    callbackLog.stopInside = "big.bin";
    EXPECT_EQ(extractLikeInstaller(installerCommand()), SEVENZIP_ERROR_CANCELLED);
    EXPECT_EQ(callbackLog.chunksInside, 2);
    const Tree tree = readTree(dest_);
    EXPECT_EQ(tree.at("readme.txt"), sourceTree().at("readme.txt"));
    for (const auto &item : tree)
        EXPECT_EQ(item.first.find("big.bin"), std::string::npos) << item.first;
}

TEST_F(SevenZipDll, OnlyTheRegisteredOwnerIsCalledBack) {
    EXPECT_FALSE(setOwner_(kOwner, nullptr));
    ASSERT_TRUE(setOwner_(kOwner, recordProgress));
    EXPECT_EQ(sevenZip_(reinterpret_cast<HWND>(0x5678), installerCommand().c_str(), nullptr, 0),
              SEVENZIP_OK);
    EXPECT_EQ(callbackLog.calls, 0);
    EXPECT_TRUE(killOwner_(kOwner));
    EXPECT_FALSE(killOwner_(kOwner));
    EXPECT_EQ(sevenZip_(kOwner, installerCommand().c_str(), nullptr, 0), SEVENZIP_OK);
    EXPECT_EQ(callbackLog.calls, 0);
}
