// What stood at the package's destinations before it was unpacked, so that
// the clean-up takes away only what the unpack added and never a user's own
// files that happen to bear the same names.
#pragma once

#include "framework/afx_string.h"

#include <set>
#include <string>

class CPackageFootprint {
public:
    // Notes every file and folder at and below each path that exists now.
    void Record(const char *const *ppszPaths, int nCount);
    bool Recorded() const { return m_bRecorded; }
    bool Existed(LPCSTR lpszPath) const;

private:
    void RecordTree(LPCSTR lpszPath);
    static std::string Key(LPCSTR lpszPath);

    std::set<std::string> m_existing;
    bool m_bRecorded = false;
};

// Removes, depth first, what below lpszPath did not exist when the footprint
// was recorded; returns true when the directory itself was removed.
bool RemoveDirectoryTree(LPCSTR lpszPath, const CPackageFootprint &before);
