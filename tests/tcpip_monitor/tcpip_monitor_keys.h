// Where the TCP/IP port monitor stand-in keeps its ports and reads the
// address its wizard adds, shared with the test that sets them.
#pragma once

#define TCPIP_MONITOR_KEY                                                                          \
    L"System\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port"

const wchar_t kMonitorKey[] = TCPIP_MONITOR_KEY;
// One key a port; its REG_DWORD Chinese, when 1, gives it the description
// a Simplified Chinese Windows gives it.
const wchar_t kPortsKey[] = TCPIP_MONITOR_KEY L"\\Ports";
const wchar_t kChineseValue[] = L"Chinese";
// REG_SZ under the monitor's key: the address the wizard's Finish adds.
const wchar_t kNextAddressValue[] = L"NextAddress";
