// The package's destinations under the root of the drive, made by this run
// alone: whatever stands at one of them is set aside first, renamed as it
// stands, and put back at the end. A crash leaves it set aside, never lost.
#pragma once

#include "framework/afx_string.h"
#include "framework/step_result.h"

// The steps of Prepare that can fail, at one destination.
enum StagingStep {
    kStagingLinkStep = 1,
    kStagingNoFreeNameStep,
    kStagingSetAsideStep,
    kStagingCreateStep,
    kStagingStepCount
};

class CPackageStaging {
public:
    // Sets aside what stands at the destinations and creates the two folders
    // anew, protected. On failure nothing of it stays, and the result names
    // the step; FailedPath() the destination.
    StepResult Prepare();
    // Removes what the run staged, then puts back what was set aside.
    void CleanUpAndPutBack();
    // The destination where Prepare failed.
    LPCSTR FailedPath() const;

private:
    static constexpr int kDestinationCount = 3;
    // The name each destination was set aside under, empty where none stood.
    CString m_strAside[kDestinationCount];
    // Whether what stands at a destination is this run's: the folders it
    // made, the catalogue's name once freed for the unpack.
    bool m_bClaimed[kDestinationCount] = {};
    int m_nFailed = 0;
};
