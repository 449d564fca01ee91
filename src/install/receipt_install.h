// Installation of a receipt-printer driver on the universal printer driver:
// its files staged in the spooler's driver directory, then the driver
// registered. The printer is created afterwards, as for every driver.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"
#include "install/width_profile.h"

#include <memory>

struct ReceiptPaths;

// The model to install, as the dialog resolved it.
struct ReceiptModel {
    int nIndex;
    // The text the driver list shows, which decides one DLL of group 2.
    LPCSTR pszShownName;
    // Which group of the catalogue the model is in, counted from 1.
    int nGroup;
    const WidthProfile &width;
};

class CReceiptInstallation {
public:
    explicit CReceiptInstallation(const ReceiptModel &model);
    ~CReceiptInstallation();
    CReceiptInstallation(const CReceiptInstallation &) = delete;
    CReceiptInstallation &operator=(const CReceiptInstallation &) = delete;

    LPCSTR DriverName() const;
    // Asks for the driver directory and forms every path before the first
    // copy; false, with the error to show, stops the installation with
    // nothing copied.
    bool Prepare(DWORD &dwError);
    void Stage(IInstallHost &host);
    // Registers the driver and removes the staged copies; false, with the
    // spooler's error, leaves them.
    bool Register(bool bWindowsNt, IInstallHost &host, DWORD &dwError);

private:
    ReceiptModel m_model;
    std::unique_ptr<ReceiptPaths> m_pPaths;
};

// The text of the box that reports a failure of the sequence.
CString DescribeReceiptFailure(DWORD dwError);
extern const char kReceiptFailureCaption[];
