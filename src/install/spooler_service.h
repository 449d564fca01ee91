// Print spooler service control: start a service if it is stopped, or
// restart it, and say how that went.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"

// The mode codes callers pass; every code but SVC_ENSURE_RUNNING restarts.
constexpr DWORD SVC_RESTART = 0;
constexpr DWORD SVC_ENSURE_RUNNING = 16;

enum class ServiceMode { EnsureRunning, Restart };
ServiceMode ServiceModeOf(DWORD dwMode);

enum class ServiceOutcome { Done, StatusUnknown, NotStopped, NotRunning };
ServiceOutcome StartOrRestart(LPCSTR lpszServiceName, ServiceMode mode);

// The message box text of an outcome; empty for Done.
CString DescribeServiceOutcome(ServiceOutcome outcome, LPCSTR lpszServiceName);
// The box's icon: the unknown status informs, a state not reached warns.
UINT ServiceOutcomeIcon(ServiceOutcome outcome);

// Starts or restarts the service; a failure shows its box through the host.
void StartOrRestartShown(LPCSTR lpszServiceName, ServiceMode mode, IInstallHost &host);
