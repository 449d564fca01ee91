#include "install/printer_creation_fixture.h"

#include "install/driver_tables.h"
#include "support/wine_files.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

namespace {

const char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
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

std::string Catalogue() {
    std::string text;
    char section[64];
    for (int i = 0; i < kReceiptDriverCount + kLabelDriverCount; ++i) {
        std::snprintf(section, sizeof(section), "[Driver%02d]\r\n", i);
        text += section;
        text += "PrintName1=";
        text += i < kReceiptDriverCount ? ReceiptDriverNames[i]
                                        : LabelDriverNames[i - kReceiptDriverCount];
        text += "\r\n";
        if (i == 19)
            text += std::string("PrintName2=") + kAliasOfModel19 + "\r\n";
        text += "\r\n";
    }
    return text;
}

} // namespace

int InstallTestDlg::ChooseParallelPort() {
    ++m_nPortChoices;
    return m_nParallelChoice;
}

int InstallTestDlg::ChooseTcpipPort() {
    ++m_nPortChoices;
    if (!m_tcpipPortsAfterChoice.empty()) {
        m_arrTcpipPorts.RemoveAll();
        for (const std::string &port : m_tcpipPortsAfterChoice)
            m_arrTcpipPorts.Add(port.c_str());
    }
    return m_nTcpipChoice;
}

void InstallTestDlg::DetectUsbPort(LPCSTR lpszPrinterName) {
    m_usbDetections.push_back(lpszPrinterName);
}

bool ShownLog::Showed(const std::string &status) const {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
}

std::vector<BoxSeen> BoxFake::boxes;
int BoxFake::nAnswer = IDOK;

int WINAPI BoxFake::MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    boxes.push_back({hWnd, Text(lpText), Text(lpCaption), uType});
    return nAnswer;
}

std::vector<std::string> PrinterFake::calls;
std::string PrinterFake::namesake;
std::string PrinterFake::openedDatatype;
bool PrinterFake::bOpenedWithoutDevMode = false;
DWORD PrinterFake::dwOpenedAccess = 0;
DWORD PrinterFake::dwAddError = 0;
std::vector<AddedPrinter> PrinterFake::added;

void PrinterFake::Reset() {
    calls.clear();
    namesake.clear();
    openedDatatype.clear();
    bOpenedWithoutDevMode = false;
    dwOpenedAccess = 0;
    dwAddError = 0;
    added.clear();
}

void PrinterFake::Install(PlatformApi &api) {
    api.OpenPrinterA = OpenPrinterA;
    api.SetPrinterA = SetPrinterA;
    api.DeletePrinter = DeletePrinter;
    api.AddPrinterA = AddPrinterA;
    api.ClosePrinter = ClosePrinter;
}

BOOL WINAPI PrinterFake::OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter,
                                      LPPRINTER_DEFAULTSA pDefault) {
    calls.push_back("OpenPrinter " + Text(pPrinterName));
    if (pDefault != nullptr) {
        openedDatatype = Text(pDefault->pDatatype);
        bOpenedWithoutDevMode = pDefault->pDevMode == nullptr;
        dwOpenedAccess = pDefault->DesiredAccess;
    }
    if (namesake.empty() || namesake != Text(pPrinterName)) {
        ::SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    *phPrinter = kNamesakeHandle;
    return TRUE;
}

BOOL WINAPI PrinterFake::SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    calls.push_back("SetPrinter " + std::string(hPrinter == kNamesakeHandle ? "namesake" : "?") +
                    " level " + std::to_string(Level) +
                    (pPrinter == nullptr ? " no record" : " record") + " command " +
                    std::to_string(Command));
    return TRUE;
}

BOOL WINAPI PrinterFake::DeletePrinter(HANDLE hPrinter) {
    calls.push_back(hPrinter == kNamesakeHandle ? "DeletePrinter namesake" : "DeletePrinter ?");
    return TRUE;
}

HANDLE WINAPI PrinterFake::AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
    const auto *pInfo = reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
    calls.push_back("AddPrinter " + Text(pInfo->pPrinterName));
    AddedPrinter record;
    record.dwLevel = Level;
    record.printerName = Text(pInfo->pPrinterName);
    record.portName = Text(pInfo->pPortName);
    record.driverName = Text(pInfo->pDriverName);
    record.printProcessor = Text(pInfo->pPrintProcessor);
    record.datatype = Text(pInfo->pDatatype);
    record.bOtherFieldsZero =
        pName == nullptr && pInfo->pServerName == nullptr && pInfo->pShareName == nullptr &&
        pInfo->pComment == nullptr && pInfo->pLocation == nullptr && pInfo->pDevMode == nullptr &&
        pInfo->pSepFile == nullptr && pInfo->pParameters == nullptr &&
        pInfo->pSecurityDescriptor == nullptr && pInfo->Attributes == 0 && pInfo->Priority == 0 &&
        pInfo->DefaultPriority == 0 && pInfo->StartTime == 0 && pInfo->UntilTime == 0 &&
        pInfo->Status == 0 && pInfo->cJobs == 0 && pInfo->AveragePPM == 0;
    added.push_back(record);
    if (dwAddError != 0) {
        ::SetLastError(dwAddError);
        return nullptr;
    }
    return kAddedHandle;
}

BOOL WINAPI PrinterFake::ClosePrinter(HANDLE hPrinter) {
    if (hPrinter != kNamesakeHandle && hPrinter != kAddedHandle)
        return ::ClosePrinter(hPrinter);
    calls.push_back(hPrinter == kNamesakeHandle ? "ClosePrinter namesake" : "ClosePrinter added");
    return TRUE;
}

DWORD ServiceFake::dwState = SERVICE_RUNNING;
int ServiceFake::nStops = 0;
int ServiceFake::nStarts = 0;

void ServiceFake::Reset() {
    dwState = SERVICE_RUNNING;
    nStops = 0;
    nStarts = 0;
}

void ServiceFake::Install(PlatformApi &api) {
    api.QueryServiceStatus = QueryServiceStatus;
    api.ControlService = ControlService;
    api.StartServiceA = StartServiceA;
}

BOOL WINAPI ServiceFake::QueryServiceStatus(SC_HANDLE, LPSERVICE_STATUS lpStatus) {
    *lpStatus = {};
    lpStatus->dwCurrentState = dwState;
    return TRUE;
}

BOOL WINAPI ServiceFake::ControlService(SC_HANDLE, DWORD dwControl, LPSERVICE_STATUS lpStatus) {
    if (dwControl == SERVICE_CONTROL_STOP) {
        ++nStops;
        dwState = SERVICE_STOPPED;
    }
    *lpStatus = {};
    lpStatus->dwCurrentState = dwState;
    return TRUE;
}

BOOL WINAPI ServiceFake::StartServiceA(SC_HANDLE, DWORD, LPCSTR *) {
    ++nStarts;
    dwState = SERVICE_RUNNING;
    return TRUE;
}

void InstallTest::SetUp() {
    WriteTextFile(kCatalogueFile, Catalogue());
    BoxFake::boxes.clear();
    BoxFake::nAnswer = IDOK;
    api().MessageBoxA = BoxFake::MessageBoxA;
    PrinterFake::Reset();
    ServiceFake::Reset();
    ServiceFake::Install(api());
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
    ASSERT_TRUE(DialogRunner::WaitFor([&] { return m_pRunner->Enabled(1012); }));
    // Boxes of the start-up (an absent package) are not the installation's.
    BoxFake::boxes.clear();
    g_pLog = &m_log;
    g_pfnStatusProc = Subclass(m_pRunner->Item(1011), StatusProc);
    g_pfnProgressProc = Subclass(m_pRunner->Item(1007), ProgressProc);
}

void InstallTest::SelectModel(const std::string &name) const {
    const HWND hList = m_pRunner->Item(1000);
    const LRESULT nEntry = ::SendMessageA(hList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(nEntry, CB_ERR) << name;
    ::SendMessageA(hList, CB_SETCURSEL, nEntry, 0);
}

void InstallTest::SetPrinterName(const std::string &name) const {
    ::SetWindowTextA(m_pRunner->Item(1001), name.c_str());
}

void InstallTest::SetDefaultTicked(bool bTicked) const {
    ::SendMessageA(m_pRunner->Item(1002), BM_SETCHECK, bTicked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void InstallTest::SelectPortKind(int nRow) const {
    LVITEMA item = {};
    item.state = LVIS_SELECTED;
    item.stateMask = LVIS_SELECTED;
    ::SendMessageA(m_pRunner->Item(1004), LVM_SETITEMSTATE, nRow, reinterpret_cast<LPARAM>(&item));
}

void InstallTest::PressInstall() const {
    ::SendMessageA(Window(), WM_COMMAND, MAKEWPARAM(1012, BN_CLICKED),
                   reinterpret_cast<LPARAM>(m_pRunner->Item(1012)));
}

int InstallTest::Progress() const {
    return static_cast<int>(::SendMessageA(m_pRunner->Item(1007), PBM_GETPOS, 0, 0));
}

std::string DefaultPrinterDevice() {
    char value[512] = {};
    DWORD cbValue = sizeof(value) - 1;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kWindowsKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return "";
    ::RegQueryValueExA(hKey, "Device", nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &cbValue);
    ::RegCloseKey(hKey);
    return value;
}

void SetDefaultPrinterDevice(const std::string &device) {
    HKEY hKey = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kWindowsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey,
                      nullptr);
    ::RegSetValueExA(hKey, "Device", 0, REG_SZ, reinterpret_cast<const BYTE *>(device.c_str()),
                     static_cast<DWORD>(device.size() + 1));
    ::RegCloseKey(hKey);
}
