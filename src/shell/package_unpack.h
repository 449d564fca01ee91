// Unpacking of the driver package at start-up, into destinations of its own.
#pragma once

#include "framework/afx_string.h"
#include "shell/archive_extractor.h"
#include "shell/package_staging.h"

// Unpacks the package of the current directory into C:\, into destinations
// this run made. Returns the status that says why no package was unpacked;
// empty when it was.
CString UnpackPackage(CArchiveExtractor &extractor, CPackageStaging &staging);
