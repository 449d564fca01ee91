#include "entry_names.h"

namespace archive {
namespace {

Status unsafe(std::string_view name, const char *why) {
    return {ErrorCode::UnsafePath, "unsafe entry name '" + std::string(name) + "': " + why};
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Windows opens a device instead of a file for these names, whatever the extension.
bool isDeviceName(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    for (const char *device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (equalsIgnoreCase(base, device))
            return true;
    if (base.size() > 3 && (equalsIgnoreCase(base.substr(0, 3), "COM") ||
                            equalsIgnoreCase(base.substr(0, 3), "LPT"))) {
        const std::string_view digit = base.substr(3);
        // Names are UTF-8 here; Windows takes superscript one to three as port numbers too.
        return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
               digit == "\xC2\xB2" || digit == "\xC2\xB3";
    }
    return false;
}

Status checkComponent(std::string_view name, std::string_view component) {
    if (component == "..")
        return unsafe(name, "refers to a parent folder");
    for (const char c : component)
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return unsafe(name, "contains a drive, stream or reserved character");
    // Windows drops trailing dots and blanks, so such names would alias others.
    if (component.back() == '.' || component.back() == ' ')
        return unsafe(name, "has a component ending in a dot or blank");
    if (isDeviceName(component))
        return unsafe(name, "names a device");
    return {};
}

} // namespace

Status splitEntryName(std::string_view name, std::vector<std::string> &components) {
    components.clear();
    if (name.empty())
        return unsafe(name, "is empty");
    if (isSeparator(name.front()))
        return unsafe(name, "is an absolute path");
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view component = name.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        Status status = checkComponent(name, component);
        if (!status)
            return status;
        components.emplace_back(component);
    }
    return {};
}

Status entryComponents(std::string_view name, bool folder, const FileSystem &fs,
                       std::vector<std::string> &components) {
    Status status = splitEntryName(name, components);
    if (!status)
        return status;
    if (!fs.canName(name))
        return unsafe(name, "has a character this system's file names cannot hold");
    if (components.empty() && !folder)
        return unsafe(name, "has no file name");
    return {};
}

} // namespace archive
