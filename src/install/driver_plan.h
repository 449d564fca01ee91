// What a family of drivers lays out for one driver: the package files it
// stages and the driver record that names them. Plain C++, so the package
// check reads the same plans the installation carries out.
#pragma once

#include <string>
#include <vector>

// A file of the package, below its tree: folder, stem and extension.
struct DriverFile {
    std::string folder, stem, extension;
};

// One driver as a family lays it out.
struct DriverPlan {
    const char *pszDriverName;
    const char *pszTree;
    // Staged in this order.
    std::vector<DriverFile> files;
    // Rows of files removed once the driver is registered, in this order.
    std::vector<int> removals;
    // What the record names: files of the driver directory, and the
    // dependent files as the record lists them.
    std::string driver, data, config, help;
    std::vector<std::string> dependents;
    const char *pszMonitor;
};
