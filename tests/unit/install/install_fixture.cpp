#include "install/install_fixture.h"

#include "install/package_layout.h"

#include <cstdio>
#include <cstring>

namespace {

const HANDLE kNamesakeHandle = reinterpret_cast<HANDLE>(0x5151);
const HANDLE kAddedHandle = reinterpret_cast<HANDLE>(0x6161);

// The status line and the progress bar are subclassed to see every change,
// also those that a later one overwrites.
ShownLog *g_pLog = nullptr;
WNDPROC g_pfnStatusProc = nullptr;
WNDPROC g_pfnProgressProc = nullptr;

LRESULT CALLBACK StatusProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && g_pLog != nullptr) {
        const std::string text = reinterpret_cast<LPCSTR>(lParam);
        if (g_pLog->statuses.empty() || g_pLog->statuses.back() != text)
            g_pLog->statuses.push_back(text);
    }
    return ::CallWindowProcA(g_pfnStatusProc, hWnd, message, wParam, lParam);
}

LRESULT CALLBACK ProgressProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETPOS && g_pLog != nullptr)
        g_pLog->positions.push_back(static_cast<int>(wParam));
    return ::CallWindowProcA(g_pfnProgressProc, hWnd, message, wParam, lParam);
}

WNDPROC Subclass(HWND hWnd, WNDPROC pfnProc) {
    return reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnProc)));
}

std::string Text(LPCSTR psz) {
    return psz != nullptr ? psz : "<null>";
}

std::string Which(HANDLE hPrinter) {
    return hPrinter == kNamesakeHandle ? "namesake" : hPrinter == kAddedHandle ? "added" : "?";
}

} // namespace

void PrinterFake::Install(PlatformApi &api) {
    calls.clear();
    namesake.clear();
    dwAddError = 0;
    added.clear();
    api.OpenPrinterA = OpenPrinterA;
    api.SetPrinterA = SetPrinterA;
    api.DeletePrinter = DeletePrinter;
    api.AddPrinterA = AddPrinterA;
    api.ClosePrinter = ClosePrinter;
}

BOOL WINAPI PrinterFake::OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter,
                                      LPPRINTER_DEFAULTSA pDefault) {
    char defaults[64] = "no defaults";
    if (pDefault != nullptr)
        std::snprintf(defaults, sizeof(defaults), "%s%s access 0x%lX",
                      Text(pDefault->pDatatype).c_str(), pDefault->pDevMode ? " devmode" : "",
                      pDefault->DesiredAccess);
    calls.push_back("OpenPrinter " + Text(pPrinterName) + " " + defaults);
    if (namesake.empty() || namesake != Text(pPrinterName)) {
        ::SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    *phPrinter = kNamesakeHandle;
    return TRUE;
}

BOOL WINAPI PrinterFake::SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    calls.push_back("SetPrinter " + Which(hPrinter) + " level " + std::to_string(Level) +
                    (pPrinter ? " record" : "") + " command " + std::to_string(Command));
    return TRUE;
}

BOOL WINAPI PrinterFake::DeletePrinter(HANDLE hPrinter) {
    calls.push_back("DeletePrinter " + Which(hPrinter));
    return TRUE;
}

HANDLE WINAPI PrinterFake::AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
    const auto *pInfo = reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
    calls.push_back("AddPrinter " + Text(pInfo->pPrinterName));
    PRINTER_INFO_2A rest = *pInfo;
    rest.pPrinterName = rest.pPortName = rest.pDriverName = nullptr;
    rest.pPrintProcessor = rest.pDatatype = nullptr;
    const PRINTER_INFO_2A zero = {};
    added.push_back(
        {Text(pInfo->pPrinterName), Text(pInfo->pPortName), Text(pInfo->pDriverName),
         Text(pInfo->pPrintProcessor), Text(pInfo->pDatatype),
         pName == nullptr && Level == 2 && std::memcmp(&rest, &zero, sizeof(zero)) == 0});
    if (dwAddError != 0) {
        ::SetLastError(dwAddError);
        return nullptr;
    }
    return kAddedHandle;
}

BOOL WINAPI PrinterFake::ClosePrinter(HANDLE hPrinter) {
    if (Which(hPrinter) == "?")
        return ::ClosePrinter(hPrinter);
    calls.push_back("ClosePrinter " + Which(hPrinter));
    return TRUE;
}

void FileSpy::Install(PlatformApi &api) {
    copies.clear();
    deletions.clear();
    api.CopyFileA = CopyFileA;
    api.DeleteFileA = DeleteFileA;
}

BOOL WINAPI FileSpy::CopyFileA(LPCSTR lpExisting, LPCSTR lpNew, BOOL bFailIfExists) {
    copies.emplace_back(lpExisting, lpNew);
    return ::CopyFileA(lpExisting, lpNew, bFailIfExists);
}

BOOL WINAPI FileSpy::DeleteFileA(LPCSTR lpFileName) {
    deletions.push_back(lpFileName);
    return ::DeleteFileA(lpFileName);
}

void InstallTest::SetUp() {
    WriteTablesCatalogue();
    api().Sleep = NoPause;
    BoxFake::Install(api());
    PrinterFake::Install(api());
    ServiceFake::Install(api());
    FileSpy::Install(api());
    // Windows always has the key of the default printer; a new Wine prefix not yet.
    SetDefaultPrinterDevice("");
}

void InstallTest::TearDown() {
    m_pRunner.reset();
    m_pDlg.reset();
    g_pLog = nullptr;
    ::DeleteFileA(kCatalogueFile);
    PlatformTest::TearDown();
}

void InstallTest::StartRunner() {
    m_pRunner = std::make_unique<DialogRunner>(*m_pDlg);
    ASSERT_TRUE(m_pRunner->WaitStartup());
    // Boxes of the start-up (an absent package) are not the installation's.
    BoxFake::boxes.clear();
    g_pLog = &m_log;
    g_pfnStatusProc = Subclass(m_pRunner->Item(IDC_STATUS), StatusProc);
    g_pfnProgressProc = Subclass(m_pRunner->Item(IDC_PROGRESS), ProgressProc);
}

void SetList(CStringArray &list, const Texts &entries) {
    list.RemoveAll();
    for (const std::string &entry : entries)
        list.Add(entry.c_str());
}
