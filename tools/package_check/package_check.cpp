// The mirror of the package generator: reads a vendor's DriverData.Drv as the
// installer will, through the archive core, the catalogue rules and the
// driver plans the installation carries out, and reports in plain text what
// the catalogue offers, what the package lacks for it in each width, what no
// model uses and the catalogue's traps. Built and run on the build machine.
//
// package_check DRIVERDATA.DRV      exit 0 only when every offered model installs
#include "archive_reader.h"
#include "file_system.h"
#include "install/driver_tables.h"
#include "install/label_plan.h"
#include "install/package_layout.h"
#include "install/receipt_install.h"
#include "install/width_profile.h"
#include "shell/catalogue_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// The key Windows finds a file or a profile name by: any letter case.
std::string Folded(std::string text) {
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '\\')
            c = '/';
    }
    return text;
}

struct ProfileKey {
    std::string name, value;
};
struct ProfileSection {
    std::string name;
    std::vector<ProfileKey> keys;
};

// The catalogue as the profile calls see it: lines trimmed, "[name]" opening
// a section, "key=value" trimmed around both; keys before the first section
// belong to none.
std::vector<ProfileSection> ParseProfile(const std::string &text) {
    std::vector<ProfileSection> sections;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            continue;
        line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close != std::string::npos)
                sections.push_back({line.substr(1, close - 1), {}});
            continue;
        }
        if (sections.empty())
            continue;
        const size_t equals = line.find('=');
        std::string key = line.substr(0, equals), value;
        key.erase(key.find_last_not_of(" \t") + 1);
        if (equals != std::string::npos) {
            value = line.substr(equals + 1);
            value.erase(0, value.find_first_not_of(" \t"));
        }
        if (value.size() > 1 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        sections.back().keys.push_back({key, value});
    }
    return sections;
}

// GetPrivateProfileSectionNamesA: the names end to end, each closed by its
// NUL; a name that does not fit is cut and the list closed, and the answer
// is the size less two. True when the list was cut.
bool SectionNames(const std::vector<ProfileSection> &sections, char *buffer, int size) {
    int free = size - 1;
    char *out = buffer;
    for (const ProfileSection &section : sections) {
        if (section.name.empty())
            continue;
        const int length = static_cast<int>(section.name.size()) + 1;
        if (length >= free) {
            std::memcpy(out, section.name.data(), static_cast<size_t>(free - 1));
            out[free - 1] = '\0';
            out[free] = '\0';
            return true;
        }
        std::memcpy(out, section.name.c_str(), static_cast<size_t>(length));
        out += length;
        free -= length;
    }
    *out = '\0';
    return false;
}

// GetPrivateProfileStringA with an empty default: the first section and key
// of the name, the value cut to the buffer.
int KeyValue(const std::vector<ProfileSection> &sections, const char *section, const char *key,
             char *buffer, int size) {
    for (const ProfileSection &candidate : sections) {
        if (Folded(candidate.name) != Folded(section))
            continue;
        for (const ProfileKey &entry : candidate.keys) {
            if (Folded(entry.name) != Folded(key))
                continue;
            const int length = std::min(static_cast<int>(entry.value.size()), size - 1);
            std::memcpy(buffer, entry.value.data(), static_cast<size_t>(length));
            buffer[length] = '\0';
            return length;
        }
        return 0;
    }
    return 0;
}

struct Offer {
    int nIndex;
    std::string strName;
};

struct Package {
    std::map<std::string, std::string> files; // folded name: name as packed
    std::string catalogue;
};

bool ReadPackage(const char *path, Package &package) {
    archive::FileSource source;
    if (!source.open(path)) {
        std::printf("%s cannot be opened.\n", path);
        return false;
    }
    std::unique_ptr<archive::ArchiveReader> reader = archive::readerFor(source);
    const archive::Status status = reader ? reader->open(source) : archive::Status();
    if (!reader || !status) {
        std::printf("%s is not a ZIP or 7z archive the installer can unpack: %s\n", path,
                    reader ? status.message.c_str() : "unknown format");
        return false;
    }
    const std::vector<archive::ArchiveEntry> &entries = reader->entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].isDirectory)
            continue;
        std::string name = entries[i].name;
        std::replace(name.begin(), name.end(), '\\', '/');
        package.files[Folded(name)] = name;
        if (Folded(name) != Folded(kCatalogueName))
            continue;
        const archive::Status read =
            reader->extract(i, [&package](const std::uint8_t *data, std::size_t size) {
                package.catalogue.append(reinterpret_cast<const char *>(data), size);
                return archive::Status();
            });
        if (!read) {
            std::printf("%s: %s cannot be read: %s\n", path, name.c_str(), read.message.c_str());
            return false;
        }
    }
    if (package.files.count(Folded(kCatalogueName)) == 0) {
        std::printf("%s holds no %s: the installer offers no model.\n", path, kCatalogueName);
        return false;
    }
    return true;
}

// The package path of a file of a plan, as unpacked below the drive.
std::string PackagePath(const DriverPlan &plan, const DriverFile &file) {
    return std::string(plan.pszTree + std::strlen(kPackageDrive)) + "/" + file.folder + "/" +
           file.stem + file.extension;
}

struct Width {
    const char *pszName;
    const WidthProfile &profile;
};

class CPackageCheck {
public:
    explicit CPackageCheck(const Package &package) : m_package(package) {}

    int Run() {
        ReadCatalogue();
        ListModels();
        ListLackingFiles();
        ListUnusedFiles();
        ListTraps();
        if (m_nProblems == 0) {
            std::printf("\nResult: every offered model installs in both widths.\n");
            return 0;
        }
        std::printf("\nResult: %d problem(s); the package is not ready to ship.\n", m_nProblems);
        return 1;
    }

private:
    void ReadCatalogue() {
        m_sections = ParseProfile(m_package.catalogue);
        ReadCatalogueWith(
            [this](char *buffer, int size) { m_bListCut = SectionNames(m_sections, buffer, size); },
            [this](const char *section, const char *key, char *buffer, int size) {
                // Each section's reading starts at its own place in the list.
                if (section != m_pszLastSection)
                    m_sectionNames.push_back(section);
                m_pszLastSection = section;
                return KeyValue(m_sections, section, key, buffer, size);
            },
            [this](int nIndex, const char *name) {
                m_offers.push_back({nIndex, name});
            });
    }

    // The index an offered name installs with, as the window resolves it.
    int Installed(const Offer &offer) const {
        return LastIndexNaming(m_offers, offer.nIndex, offer.strName);
    }

    static bool IsDriver(int nIndex) { return nIndex >= 0 && nIndex < kCatalogueSize; }

    static DriverPlan PlanOf(int nIndex, const std::string &name, const WidthProfile &width) {
        if (nIndex < kReceiptDriverCount)
            return ReceiptDriverPlan(
                {nIndex, name.c_str(), ReceiptGroupOf(nIndex), width.pszPackageFolder});
        return LabelDriverPlan(nIndex - kReceiptDriverCount, width);
    }

    void ListModels() {
        std::printf("Models the catalogue offers (%zu names over %d drivers)\n", m_offers.size(),
                    kCatalogueSize);
        std::printf("  %5s  %-7s  %-32s  %s\n", "index", "family", "model", "driver registered");
        for (const Offer &offer : m_offers) {
            const int nIndex = Installed(offer);
            const char *family = !IsDriver(nIndex)              ? "none"
                                 : nIndex < kReceiptDriverCount ? "receipt"
                                                                : "label";
            const char *driver = !IsDriver(nIndex) ? "(none: no installable driver)"
                                 : nIndex < kReceiptDriverCount
                                     ? ReceiptDriverNames[nIndex]
                                     : LabelDriverNames[nIndex - kReceiptDriverCount];
            std::printf("  %5d  %-7s  %-32s  %s\n", nIndex, family, offer.strName.c_str(), driver);
        }
    }

    // Every file a plan copies, and every name its record gives that it never copies.
    void CheckPlan(const char *width, const Offer &offer, const DriverPlan &plan) {
        std::set<std::string> staged;
        for (const DriverFile &file : plan.files) {
            const std::string path = PackagePath(plan, file);
            staged.insert(Folded(file.stem + file.extension));
            m_used.insert(Folded(path));
            if (m_package.files.count(Folded(path)) == 0)
                Problem(width, offer, path + " is missing");
        }
        std::vector<std::string> named = {plan.driver, plan.data, plan.config, plan.help};
        for (const std::string &dependent : plan.dependents)
            named.push_back(dependent.substr(dependent[0] == '\\' ? 1 : 0));
        for (const std::string &name : named) {
            if (staged.count(Folded(name)) == 0)
                Problem(width, offer, name + " is named by the driver but never copied");
        }
    }

    void ListLackingFiles() {
        std::printf("\nFiles the installation copies or names that the package lacks\n");
        const int nBefore = m_nProblems;
        const Width widths[] = {{"x86", WidthProfileOf(false)}, {"x64", WidthProfileOf(true)}};
        for (const Width &width : widths) {
            for (const Offer &offer : m_offers) {
                const int nIndex = Installed(offer);
                if (IsDriver(nIndex))
                    CheckPlan(width.pszName, offer, PlanOf(nIndex, offer.strName, width.profile));
            }
        }
        if (m_nProblems == nBefore)
            std::printf("  none\n");
    }

    void ListUnusedFiles() {
        std::printf("\nFiles no offered model uses\n");
        int nUnused = 0;
        for (const auto &[folded, name] : m_package.files) {
            if (m_used.count(folded) == 0 && folded != Folded(kCatalogueName)) {
                std::printf("  %s\n", name.c_str());
                ++nUnused;
            }
        }
        if (nUnused == 0)
            std::printf("  none\n");
    }

    void ListTraps() {
        std::printf("\nCatalogue traps\n");
        const int nBefore = m_nProblems;
        if (m_bListCut)
            Trap("the section names fill more than " + std::to_string(kCatalogueSectionListSize) +
                 " bytes: the list is cut after \"" + m_sectionNames.back() +
                 "\"; later sections are never read");
        if (static_cast<int>(m_sectionNames.size()) > kCatalogueSize)
            Trap(std::to_string(m_sectionNames.size()) + " sections for the " +
                 std::to_string(kCatalogueSize) + " drivers: the models of [" +
                 m_sectionNames[kCatalogueSize] + "] and later have no driver");
        ListRepeatedNames();
        ListSectionTraps();
        if (m_nProblems == nBefore)
            std::printf("  none\n");
    }

    void ListRepeatedNames() {
        for (const Offer &offer : m_offers) {
            const int nIndex = Installed(offer);
            if (nIndex != offer.nIndex)
                Trap("\"" + offer.strName + "\" is offered at index " +
                     std::to_string(offer.nIndex) + " and again at " + std::to_string(nIndex) +
                     ", which wins: index " + std::to_string(offer.nIndex) +
                     " is never installed under this name");
        }
        for (size_t i = 0; i < m_sectionNames.size(); ++i) {
            for (size_t j = 0; j < i; ++j) {
                if (Folded(m_sectionNames[i]) == Folded(m_sectionNames[j])) {
                    Trap("section [" + m_sectionNames[i] + "] is repeated at index " +
                         std::to_string(i) + ": it reads the models of index " + std::to_string(j) +
                         ", its own are never offered");
                    break;
                }
            }
        }
    }

    // Sections that offer nothing and keys that are never offered.
    void ListSectionTraps() {
        for (size_t i = 0; i < m_sectionNames.size(); ++i) {
            const int nIndex = static_cast<int>(i);
            const bool bOffers =
                std::any_of(m_offers.begin(), m_offers.end(),
                            [nIndex](const Offer &o) { return o.nIndex == nIndex; });
            if (!bOffers && i + 1 < m_sectionNames.size())
                Trap("section [" + m_sectionNames[i] + "] at index " + std::to_string(i) +
                     " offers no model, yet counts: every later section stands one index away "
                     "from its name's place");
        }
        std::set<std::string> seen;
        for (const ProfileSection &section : m_sections) {
            const bool bRepeat = !seen.insert(Folded(section.name)).second;
            const bool bRead = std::any_of(m_sectionNames.begin(), m_sectionNames.end(),
                                           [&section](const std::string &name) {
                                               return Folded(name) == Folded(section.name);
                                           });
            for (const ProfileKey &key : section.keys) {
                int nNumber = 0;
                char cExtra = 0;
                if (std::sscanf(Folded(key.name).c_str(), "printname%d%c", &nNumber, &cExtra) !=
                        1 ||
                    (!bRepeat && IsOffered(section.name, key.value)))
                    continue;
                const char *reason = !bRead ? "its section is not in the list the installer reads"
                                     : bRepeat ? "its section repeats an earlier one, read instead"
                                     : key.value.empty() ? "it is empty, so the reading stops there"
                                     : nNumber > kCatalogueMaxModelNames ? "it is past PrintName50"
                                                                         : "it follows a gap";
                Trap("[" + section.name + "] " + key.name + "=" + key.value +
                     " is never offered: " + reason);
            }
        }
    }

    bool IsOffered(const std::string &section, const std::string &value) const {
        return std::any_of(m_offers.begin(), m_offers.end(), [&](const Offer &offer) {
            return offer.nIndex < static_cast<int>(m_sectionNames.size()) &&
                   Folded(m_sectionNames[static_cast<size_t>(offer.nIndex)]) == Folded(section) &&
                   offer.strName == value.substr(0, kCatalogueModelNameSize - 1);
        });
    }

    void Problem(const char *width, const Offer &offer, const std::string &text) {
        std::printf("  %s  %s (index %d): %s\n", width, offer.strName.c_str(), offer.nIndex,
                    text.c_str());
        ++m_nProblems;
    }

    void Trap(const std::string &text) {
        std::printf("  %s\n", text.c_str());
        ++m_nProblems;
    }

    const Package &m_package;
    std::vector<ProfileSection> m_sections;
    std::vector<std::string> m_sectionNames;
    const char *m_pszLastSection = nullptr;
    bool m_bListCut = false;
    std::vector<Offer> m_offers;
    std::set<std::string> m_used;
    int m_nProblems = 0;
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: package_check DRIVERDATA.DRV\n");
        return 2;
    }
    Package package;
    if (!ReadPackage(argv[1], package))
        return 1;
    std::printf("Package %s: %zu files\n\n", argv[1], package.files.size());
    return CPackageCheck(package).Run();
}
