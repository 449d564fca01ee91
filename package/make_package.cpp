// Lays out the sample driver package from the program's driver tables and
// the catalogue, so that the two can never disagree: every file a sequence
// copies is there, and the first model name of catalogue section i is the
// display name of catalogue index i. Built and run on the build machine.
// The language monitor is a real DLL of each width, built beforehand; every
// other driver file is a placeholder.
//
// make_package CATALOGUE OUTPUT_DIR MONITOR_X86 MONITOR_X64
#include "install/driver_tables.h"
#include "install/package_layout.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The first PrintName1 of each section, in file order ("" when a section has none).
std::vector<std::string> FirstModelNames(const fs::path &catalogue) {
    std::vector<std::string> names;
    std::ifstream in(catalogue);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[')
            names.emplace_back();
        else if (!names.empty() && line.rfind("PrintName1=", 0) == 0)
            names.back() = line.substr(11);
    }
    return names;
}

// Placeholder contents: the spooler only copies these files.
void Placeholder(const fs::path &file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "placeholder " << file.filename().string() << "\r\n";
}

bool CheckCatalogue(const fs::path &catalogue) {
    const std::vector<std::string> names = FirstModelNames(catalogue);
    const size_t expected = kCatalogueSize;
    bool ok = names.size() == expected;
    if (!ok)
        std::cerr << catalogue << ": " << names.size() << " sections, " << expected
                  << " expected\n";
    for (size_t i = 0; i < names.size() && i < expected; ++i) {
        const char *display = i < kReceiptDriverCount ? ReceiptDriverNames[i]
                                                      : LabelDriverNames[i - kReceiptDriverCount];
        if (names[i] != display) {
            std::cerr << catalogue << ": section " << i << " names \"" << names[i]
                      << "\", the driver table \"" << display << "\"\n";
            ok = false;
        }
    }
    return ok;
}

void LayOutReceiptTree(const fs::path &dir) {
    for (int i = 0; i < kReceiptGroupDllRows; ++i)
        Placeholder(dir / (std::string(ReceiptGroupDlls[i]) + kDllExtension));
    for (int i = 0; i < kReceiptDriverCount; ++i)
        Placeholder(dir / (std::string(ReceiptFileBases[i]) + kGpdExtension));
    for (int i = 0; i < kUnidrvCoreFileCount; ++i)
        Placeholder(dir / UnidrvCoreFiles[i]);
    Placeholder(dir / (std::string(kPluginStem) + kPluginDllExtension));
    Placeholder(dir / (std::string(kPluginStem) + kPluginIniExtension));
}

// Row 0 of a label file list is the language monitor.
void LayOutLabelTree(const fs::path &dir, const char *const *files, const fs::path &monitor) {
    fs::create_directories(dir);
    fs::copy_file(monitor, dir / files[0]);
    for (int i = 1; i < kLabelFileRows; ++i)
        Placeholder(dir / files[i]);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        std::cerr << "usage: make_package CATALOGUE OUTPUT_DIR MONITOR_X86 MONITOR_X64\n";
        return 2;
    }
    const fs::path catalogue = argv[1];
    const fs::path out = argv[2];
    if (!CheckCatalogue(catalogue))
        return 1;
    fs::create_directories(out);
    for (const fs::directory_entry &entry : fs::directory_iterator(out))
        fs::remove_all(entry.path());
    LayOutReceiptTree(out / kReceiptFolder / kX86Folder);
    LayOutReceiptTree(out / kReceiptFolder / kX64Folder);
    LayOutLabelTree(out / kLabelFolder / kX86Folder, LabelFilesX86, argv[3]);
    LayOutLabelTree(out / kLabelFolder / kX64Folder, LabelFilesX64, argv[4]);
    const fs::path common = out / kLabelFolder / kCommonFolder;
    Placeholder(common / kLabelHelpFile);
    for (int i = 0; i < kLabelDriverCount; ++i) {
        for (const char *extension : {kLabelBa0Extension, kLabelDatExtension, kLabelPp0Extension})
            Placeholder(common / (std::string(LabelFileBases[i]) + extension));
    }
    fs::copy_file(catalogue, out / kCatalogueName);
    return 0;
}
