// Unpacking of the driver package at start-up and its removal at the end.
#include "shell/installer_dlg.h"

#include "system/platform.h"

namespace {

constexpr char kReadingStatus[] = "Reading driver file...";
constexpr char kPackageName[] = "\\DriverData.Drv";
constexpr char kDestination[] = "C:\\";
constexpr int kCurrentDirectorySize = 260;
constexpr char kLabelTree[] = "c:\\Barcode";
constexpr char kReceiptTree[] = "c:\\Ticket";
constexpr char kCatalogueFile[] = "c:\\DriverName.cfg";
const char *const kUnpackedPaths[] = {kLabelTree, kReceiptTree, kCatalogueFile};

} // namespace

void CInstallerDlg::UnpackDriverPackage() {
    ShowStatus(kReadingStatus);
    m_extractor.m_hOwner = m_hWnd;
    char szDirectory[kCurrentDirectorySize] = {};
    const DWORD dwLength = Platform().GetCurrentDirectoryA(kCurrentDirectorySize, szDirectory);
    // A longer directory is not read at all, so no cut path is ever tried.
    if (dwLength == 0 || dwLength >= kCurrentDirectorySize)
        return;
    const CString strPackage = CString(szDirectory) + kPackageName;
    m_footprint.Record(kUnpackedPaths, static_cast<int>(std::size(kUnpackedPaths)));
    m_extractor.Extract(strPackage, kDestination);
    m_extractor.FreeArchiveLibrary();
}

void CInstallerDlg::OnDestroy() {
    if (!m_footprint.Recorded())
        return;
    RemoveDirectoryTree(kLabelTree, m_footprint);
    RemoveDirectoryTree(kReceiptTree, m_footprint);
    if (!m_footprint.Existed(kCatalogueFile))
        Platform().DeleteFileA(kCatalogueFile);
}
