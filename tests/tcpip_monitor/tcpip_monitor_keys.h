// Where the TCP/IP port monitor stand-in keeps its ports and reads its
// switches, shared with the tests that set them.
#pragma once

#define TCPIP_MONITOR_NAME L"Standard TCP/IP Port"

const wchar_t kMonitorName[] = TCPIP_MONITOR_NAME;
const wchar_t kMonitorKey[] =
    L"System\\CurrentControlSet\\Control\\Print\\Monitors\\" TCPIP_MONITOR_NAME;
const wchar_t kPortsKey[] =
    L"System\\CurrentControlSet\\Control\\Print\\Monitors\\" TCPIP_MONITOR_NAME L"\\Ports";
// Of a port: its address, which makes the key a port, and, when 1, the
// description a Simplified Chinese Windows gives it.
const wchar_t kAddressValue[] = L"HostAddress";
const wchar_t kChineseValue[] = L"Chinese";
const wchar_t kDescriptionChinese[] = L"\x6807\x51C6 TCP/IP \x7AEF\x53E3";
// Switches: the address the wizard's Finish adds (REG_SZ), and the errors
// configure and delete fail with after their OK (REG_DWORD, 0 for none).
const wchar_t kNextAddressValue[] = L"NextAddress";
const wchar_t kConfigureErrorValue[] = L"ConfigureError";
const wchar_t kDeleteErrorValue[] = L"DeleteError";
