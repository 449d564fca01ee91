// Unpacking of the driver package at start-up, into destinations of its own.
#pragma once

#include "framework/afx_string.h"
#include "framework/step_result.h"
#include "shell/archive_extractor.h"
#include "shell/package_staging.h"

// The steps after the staging's: the package opened, then extracted, whose
// error is the archive library's.
enum UnpackStep { kPackageReadStep = kStagingStepCount, kPackageExtractStep };

// Unpacks the package of the current directory into C:\, into destinations
// this run made.
StepResult UnpackPackage(CArchiveExtractor &extractor, CPackageStaging &staging);
// The status that says why no package was unpacked.
CString DescribeUnpackFailure(const StepResult &result, const CPackageStaging &staging);
