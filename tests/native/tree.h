// Folder trees as maps, to compare what an extraction wrote with what it
// should have; shared by the native tests and the DLL test under Wine.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace archive_test {

namespace fs = std::filesystem;

std::string readFile(const fs::path &path);
void writeFile(const fs::path &path, const std::string &content);

// Relative '/'-separated path (folders end in '/') to file content.
using Tree = std::map<std::string, std::string>;
Tree readTree(const fs::path &root);
// Empty when both trees match, otherwise names the paths that differ.
std::string treeDiff(const Tree &expected, const Tree &actual);

} // namespace archive_test
