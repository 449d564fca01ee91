// Unpacking of the driver package at start-up and its removal at the end.
#pragma once

#include "shell/archive_extractor.h"
#include "shell/package_footprint.h"

// Unpacks the package of the current directory into C:\, having noted what
// stood at its destinations before.
void UnpackPackage(CArchiveExtractor &extractor, CPackageFootprint &footprint);
// Removes what the unpack added, and nothing that was there before it.
void RemoveUnpackedPackage(const CPackageFootprint &footprint);
