// Folder trees as maps, to compare what an extraction wrote with what it
// should have; shared by the native tests and the DLL test under Wine.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

namespace archive_test {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Relative '/'-separated path (folders end in '/') to file content; contents longer
// than a line are kept as size and hash, so that a failed comparison prints readably.
using Tree = std::map<std::string, std::string>;

inline Tree readTree(const fs::path &root) {
    Tree tree;
    std::error_code missing;
    for (const auto &item : fs::recursive_directory_iterator(root, missing)) {
        const std::string rel = fs::relative(item.path(), root).generic_string();
        const std::string content = item.is_directory() ? "" : readFile(item.path());
        tree[item.is_directory() ? rel + "/" : rel] =
            content.size() <= 80 ? content
                                 : std::to_string(content.size()) + " bytes, hash " +
                                       std::to_string(std::hash<std::string>()(content));
    }
    return tree;
}

} // namespace archive_test
