#include "install/spooler_restart.h"

#include "install/install_constants.h"

void StartOrRestartSpooler(ServiceMode mode, IInstallHost &host) {
    const StepResult result = StartOrRestart(kSpoolerService, mode);
    if (result.Succeeded())
        return;
    const ServiceFailure failure = DescribeServiceFailure(result, kSpoolerService);
    host.ShowBox(failure.strText, nullptr, MB_OK | failure.nIcon);
}
