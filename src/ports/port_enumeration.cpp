// Port enumeration: the five port lists and the port kind that suits them.
#include "ports/port_enumeration.h"

#include "framework/owned_handle.h"
#include "system/platform.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

constexpr DWORD kPortInfoLevel = 2;
// Records from this position on are neither listed nor counted.
constexpr DWORD kMaxClassifiedPorts = 256;

constexpr char kSerialPrefix[] = "COM";
constexpr char kParallelPrefix[] = "LPT";
constexpr char kFilePrefix[] = "FILE";
constexpr char kUsbPrefix[] = "USB";
// The same description as the simplified-Chinese edition reports it, in code page 936.
constexpr char kTcpipDescriptionCp936[] = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";
static_assert(sizeof(kTcpipDescriptionCp936) == 17, "16 bytes and the terminator");

constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr char kDevicePrefix[] = "\\Device\\";
constexpr char kPortSuffix[] = ":";
constexpr DWORD kSerialValueBufferSize = 128;

template <size_t N> bool BeginsWith(LPCSTR pszName, const char (&prefix)[N]) {
    return std::strncmp(pszName, prefix, N - 1) == 0;
}

bool IsTcpipDescription(LPCSTR pszDescription) {
    return std::strcmp(pszDescription, kTcpipMonitor) == 0 ||
           std::strcmp(pszDescription, kTcpipDescriptionCp936) == 0;
}

LPCSTR TextOrEmpty(LPCSTR psz) {
    return psz != nullptr ? psz : "";
}

// Spooler ports by name prefix, counted independently of their class.
struct PortCounts {
    int nSerial = 0;
    int nParallel = 0;
    int nFile = 0;
    int nUsb = 0;
};

PortKind ChoosePortKind(DWORD cPorts, const PortCounts &counts) {
    if (cPorts == 0)
        return kPortKindUsb;
    if (counts.nUsb > 0)
        return kPortKindUsb;
    if (counts.nSerial > 0)
        return kPortKindSerial;
    if (counts.nParallel > 0)
        return kPortKindParallel;
    if (counts.nFile > 0)
        return kPortKindTcpip;
    return kPortKindUsb;
}

} // namespace

bool IsSerialPortName(LPCSTR pszName) {
    return BeginsWith(pszName, kSerialPrefix);
}

PortLists EnumeratePortLists() {
    PortLists lists;
    EnumerateSerialPorts(lists.arrSerial);

    DWORD cbNeeded = 0;
    DWORD cReturned = 0;
    Platform().EnumPortsA(nullptr, kPortInfoLevel, nullptr, 0, &cbNeeded, &cReturned);
    std::vector<BYTE> buffer(cbNeeded);
    // A port added between the two calls makes the second one fail; its
    // count then describes no records in the buffer.
    if (cbNeeded == 0 || !Platform().EnumPortsA(nullptr, kPortInfoLevel, buffer.data(), cbNeeded,
                                                &cbNeeded, &cReturned))
        cReturned = 0;

    const auto *pPorts = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
    PortCounts counts;
    for (DWORD i = 0; i < std::min(cReturned, kMaxClassifiedPorts); ++i) {
        const LPCSTR pszName = TextOrEmpty(pPorts[i].pPortName);
        const LPCSTR pszDescription = TextOrEmpty(pPorts[i].pDescription);

        if (IsSerialPortName(pszName))
            ++counts.nSerial;
        if (BeginsWith(pszName, kParallelPrefix))
            ++counts.nParallel;
        if (BeginsWith(pszName, kFilePrefix))
            ++counts.nFile;
        if (BeginsWith(pszName, kUsbPrefix))
            ++counts.nUsb;

        if (BeginsWith(pszName, kUsbPrefix))
            lists.arrUsb.Add(pszName);
        else if (IsTcpipDescription(pszDescription)) {
            lists.arrTcpip.Add(pszName);
            lists.arrTcpipDescriptions.Add(pszDescription);
        } else if (BeginsWith(pszName, kParallelPrefix)) {
            lists.arrParallel.Add(pszName);
            lists.arrParallelDescriptions.Add(pszDescription);
        }

        lists.arrAll.Add(pszName);
    }
    lists.kind = ChoosePortKind(cReturned, counts);
    return lists;
}

BOOL EnumerateSerialPorts(CStringArray &list) {
    list.RemoveAll();
    CRegKey key;
    if (Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS)
        return FALSE;

    for (DWORD dwIndex = 0;; ++dwIndex) {
        char szName[kSerialValueBufferSize] = {};
        BYTE data[kSerialValueBufferSize] = {};
        DWORD cchName = kSerialValueBufferSize;
        DWORD cbData = kSerialValueBufferSize;
        const LONG lResult = Platform().RegEnumValueA(key.Get(), dwIndex, szName, &cchName, nullptr,
                                                      nullptr, data, &cbData);
        // A value too long for the buffers is passed over; any other failure
        // would repeat at every index, so it ends the walk as the last value does.
        if (lResult == ERROR_MORE_DATA)
            continue;
        if (lResult != ERROR_SUCCESS)
            break;
        if (!BeginsWith(szName, kDevicePrefix))
            continue;
        // The data need not carry its terminator.
        const auto *pszData = reinterpret_cast<const char *>(data);
        const char *pszEnd =
            std::find(pszData, pszData + std::min(cbData, kSerialValueBufferSize), '\0');
        list.Add(CString(pszData, static_cast<int>(pszEnd - pszData)) + kPortSuffix);
    }
    return list.GetSize() > 0 ? TRUE : FALSE;
}

const PortLists &CPortSource::Read() {
    m_lists = EnumeratePortLists();
    return m_lists;
}

const CStringArray &PortsOfKind(const PortLists &lists, PortKind kind) {
    static constexpr CStringArray PortLists::*kLists[] = {
        &PortLists::arrSerial, &PortLists::arrUsb, &PortLists::arrParallel, &PortLists::arrTcpip};
    static_assert(std::size(kLists) == kPortKindCount &&
                      kLists[kPortKindTcpip] == &PortLists::arrTcpip,
                  "one list per port kind, in its order");
    return lists.*kLists[kind];
}
