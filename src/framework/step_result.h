// What every step of an installation returns: whether it succeeded, the
// system's error code when it did not, and, where a box must name it,
// which part of the step failed.
#pragma once

#include <windows.h>

struct StepResult {
    // A failure keeps the error as the system gave it, even when that is 0.
    static StepResult Failure(DWORD dwError, int nStep = 0) { return {false, dwError, nStep}; }
    // A registry call's status: anything but ERROR_SUCCESS fails.
    static StepResult OfStatus(LONG lStatus, int nStep = 0) {
        return {lStatus == ERROR_SUCCESS, static_cast<DWORD>(lStatus), nStep};
    }

    bool bSucceeded = true;
    DWORD dwError = ERROR_SUCCESS;
    int nStep = 0;

    bool Succeeded() const { return bSucceeded; }
};
