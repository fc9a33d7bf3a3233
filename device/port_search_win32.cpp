// The present serial ports as SetupAPI lists them: devices of the ports
// class, their friendly name and description, and the port name from the
// device's registry key.
#include "device/port_search.h"

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <cstdio>
#include <iterator>

#include "device/serial_port.h"
#include "platform/error_report.h"

namespace {

// One entry per possible port number.
PortEntry presentPorts[256];

// The ProductDesc bytes in UTF-8 (at most three bytes for each of 63), and the message.
char productDescUtf8[192];
char message[320];

// A registry text of up to 255 characters as UTF-8; one that does not fit reads as empty.
void toUtf8(const wchar_t* wide, char* text, int size) {
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, size, nullptr, nullptr) == 0) text[0] = '\0';
}

// The texts are read through the wide API, so that a Japanese name reaches
// the comparison whole, whatever the ANSI code page. A property the device
// lacks, or one too long for the entry, reads as empty.
void readProperty(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property, char* text, int size) {
    wchar_t wide[256];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(devices, device, property, &type, reinterpret_cast<BYTE*>(wide),
                                           sizeof wide - sizeof(wchar_t), nullptr) ||
        type != REG_SZ)
        wide[0] = L'\0';
    wide[std::size(wide) - 1] = L'\0';
    toUtf8(wide, text, size);
}

void readPortName(HDEVINFO devices, SP_DEVINFO_DATA* device, char* text, int size) {
    wchar_t wide[32];
    wide[0] = L'\0';
    HKEY key = SetupDiOpenDevRegKey(devices, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key != INVALID_HANDLE_VALUE) {
        DWORD type = 0;
        DWORD length = sizeof wide - sizeof(wchar_t);
        if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(wide), &length) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            length = 0;
        wide[length / sizeof(wchar_t)] = L'\0';
        RegCloseKey(key);
    }
    toUtf8(wide, text, size);
}

// Fills presentPorts in the order SetupAPI lists the devices; returns how many.
unsigned listPresentPorts() {
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return 0;
    unsigned count = 0;
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    for (DWORD index = 0; count < std::size(presentPorts) && SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        PortEntry& entry = presentPorts[count++];
        readProperty(devices, &device, SPDRP_FRIENDLYNAME, entry.friendlyName, sizeof entry.friendlyName);
        readProperty(devices, &device, SPDRP_DEVICEDESC, entry.deviceDescription, sizeof entry.deviceDescription);
        readPortName(devices, &device, entry.portName, sizeof entry.portName);
    }
    SetupDiDestroyDeviceInfoList(devices);
    return count;
}

// The settings file's bytes are in the ANSI code page; the search and the error box take UTF-8.
void ansiToUtf8(const char* text, char* utf8, int size) {
    wchar_t wide[64];
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    if (length == 0) wide[0] = L'\0';
    wide[std::size(wide) - 1] = L'\0';
    toUtf8(wide, utf8, size);
}

}  // namespace

int openConfiguredPort(std::uint32_t portNumber, const char* productDesc) {
    if (portNumber == 0) {
        ansiToUtf8(productDesc, productDescUtf8, sizeof productDescUtf8);
        portNumber = findPortNumber(presentPorts, listPresentPorts(), productDescUtf8);
        if (portNumber == 0) {
            std::snprintf(message, sizeof message, "ProductDesc (%s) に一致する仮想通信ポートが見付かりません。",
                          productDescUtf8);
            reportError(message);
            return 0;
        }
    }
    return openPort(portNumber);
}
