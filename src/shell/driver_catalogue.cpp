// The driver catalogue: model names by section of "C:\DriverName.cfg", the
// section's position being the catalogue index.
#include "shell/installer_dlg.h"

#include "res/resource.h"
#include "system/platform.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kCatalogueFile[] = "C:\\DriverName.cfg";
constexpr int kSectionListSize = 3000;
constexpr int kMaxModelNames = 50;
constexpr int kModelNameSize = 128;

// Calls visit(catalogue index, model name) for every model name, in file
// order. Section names are used in place, so a long one is never copied.
template <class Visitor> void WalkCatalogue(Visitor visit) {
    char sections[kSectionListSize] = {};
    Platform().GetPrivateProfileSectionNamesA(sections, kSectionListSize, kCatalogueFile);
    int nIndex = -1;
    int nStart = 0;
    for (int p = 0; p < kSectionListSize - 1; ++p) {
        if (sections[p] != '\0')
            continue;
        const char *pszSection = sections + nStart;
        ++nIndex;
        for (int k = 1; k <= kMaxModelNames; ++k) {
            char szKey[16];
            std::snprintf(szKey, sizeof(szKey), "PrintName%d", k);
            char szName[kModelNameSize] = {};
            if (Platform().GetPrivateProfileStringA(pszSection, szKey, "", szName, kModelNameSize,
                                                    kCatalogueFile) == 0)
                break;
            visit(nIndex, szName);
        }
        if (sections[p + 1] == '\0')
            break;
        nStart = p + 1;
    }
}

} // namespace

void CInstallerDlg::FillDriverList() {
    m_cboDriver.ResetContent();
    WalkCatalogue([this](int, const char *pszName) { m_cboDriver.AddString(pszName); });
    m_cboDriver.SetCurSel(0);
    OnSelchangeDriver();
    SendMessage(g_nMyUpdateDataMsg, 0, 0);
}

void CInstallerDlg::OnSelchangeDriver() {
    CString strText;
    m_cboDriver.GetWindowText(strText);
    GetDlgItem(IDC_PRINTER_NAME).SetWindowText(strText);
}

int CInstallerDlg::ResolveDriverIndex(int nSelection, const CString &strText) {
    int nResult = nSelection;
    WalkCatalogue([&](int nIndex, const char *pszName) {
        if (std::strcmp(pszName, strText) == 0)
            nResult = nIndex;
    });
    return nResult;
}
