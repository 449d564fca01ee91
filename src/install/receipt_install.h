// A receipt-printer driver on the universal printer driver: the model's
// GPD, its group's DLL, Unidrv's own files and, for the models that carry
// it, the plug-in.
#pragma once

#include "install/driver_plan.h"

// The model to install, as the window resolved it.
struct ReceiptModel {
    int nIndex;
    // The text the driver list shows, which decides one DLL of group 2.
    const char *pszShownName;
    // Which group of the catalogue the model is in, counted from 1.
    int nGroup;
    const char *pszPackageFolder;
};

DriverPlan ReceiptDriverPlan(const ReceiptModel &model);
