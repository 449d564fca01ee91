#include "support/fakes.h"

#include <cstring>

void BoxFake::Install(PlatformApi &api) {
    boxes.clear();
    api.MessageBoxA = MessageBoxA;
}

int WINAPI BoxFake::MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT) {
    boxes.push_back({lpText ? lpText : "<null>", lpCaption ? lpCaption : "<null>"});
    return IDOK;
}

std::vector<std::string> BoxFake::Texts() {
    std::vector<std::string> texts;
    for (const Box &box : boxes)
        texts.push_back(box.text);
    return texts;
}

BOOL WINAPI PortsFake::EnumPortsA(LPSTR, DWORD, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned) {
    DWORD cbNeeded = static_cast<DWORD>(ports.size() * sizeof(PORT_INFO_2A));
    for (const auto &port : ports)
        cbNeeded += static_cast<DWORD>(port.first.size() + port.second.size() + 2);
    *pcbNeeded = cbNeeded;
    // A failed call's count describes nothing in the buffer.
    *pcReturned = static_cast<DWORD>(ports.size());
    if (cbBuf < *pcbNeeded)
        return FALSE;
    auto *pRecords = reinterpret_cast<PORT_INFO_2A *>(pBuffer);
    char *pText = reinterpret_cast<char *>(pBuffer + ports.size() * sizeof(PORT_INFO_2A));
    const auto store = [&](const std::string &text) {
        LPSTR psz = std::strcpy(pText, text.c_str());
        pText += text.size() + 1;
        return psz;
    };
    for (size_t i = 0; i < ports.size(); ++i) {
        pRecords[i] = {};
        pRecords[i].pPortName = store(ports[i].first);
        pRecords[i].pDescription = store(ports[i].second);
    }
    return TRUE;
}

std::string Joined(const std::vector<std::string> &entries) {
    std::string text;
    for (const std::string &entry : entries)
        text += (text.empty() ? "" : "; ") + entry;
    return text;
}
