// Print spooler service control: start a service if it is stopped, or
// restart it, and say how that went.
#pragma once

#include "framework/afx_string.h"
#include "framework/step_result.h"

enum class ServiceMode { EnsureRunning, Restart };

// What a failed start or restart could not do, as its result's step.
enum ServiceStep { kServiceStatusStep = 1, kServiceStopStep, kServiceStartStep };
StepResult StartOrRestart(LPCSTR lpszServiceName, ServiceMode mode);

// The message box of a failure: the unknown status informs, a state not
// reached warns.
struct ServiceFailure {
    CString strText;
    UINT nIcon;
};
ServiceFailure DescribeServiceFailure(const StepResult &result, LPCSTR lpszServiceName);
