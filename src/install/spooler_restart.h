// The spooler started or restarted for an installation or the start-up,
// with the box of its failure shown through the host: the one place a
// spooler that does not answer is reported.
#pragma once

#include "install/install_host.h"
#include "install/spooler_service.h"

void StartOrRestartSpooler(ServiceMode mode, IInstallHost &host);
