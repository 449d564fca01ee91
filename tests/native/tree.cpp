#include "tree.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace archive_test {

std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path &path, const std::string &content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

Tree readTree(const fs::path &root) {
    Tree tree;
    if (!fs::exists(root))
        return tree;
    for (const auto &item : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(item.path(), root).generic_string();
        if (item.is_directory())
            tree[rel + "/"] = "";
        else
            tree[rel] = readFile(item.path());
    }
    return tree;
}

std::string treeDiff(const Tree &expected, const Tree &actual) {
    std::ostringstream out;
    for (const auto &[path, content] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end())
            out << "missing " << path << "; ";
        else if (it->second != content)
            out << "content differs " << path << "; ";
    }
    for (const auto &item : actual)
        if (expected.count(item.first) == 0)
            out << "unexpected " << item.first << "; ";
    return out.str();
}

} // namespace archive_test
