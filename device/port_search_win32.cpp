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

// A property the device lacks, or one too long for the entry, reads as empty.
void readProperty(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property, char* text, DWORD size) {
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(devices, device, property, &type, reinterpret_cast<BYTE*>(text), size - 1,
                                           nullptr) ||
        type != REG_SZ)
        text[0] = '\0';
    text[size - 1] = '\0';
}

void readPortName(HDEVINFO devices, SP_DEVINFO_DATA* device, char* text, DWORD size) {
    text[0] = '\0';
    HKEY key = SetupDiOpenDevRegKey(devices, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return;
    DWORD type = 0;
    DWORD length = size - 1;
    if (RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(text), &length) != ERROR_SUCCESS ||
        type != REG_SZ)
        length = 0;
    text[length] = '\0';
    RegCloseKey(key);
}

// Fills presentPorts in the order SetupAPI lists the devices; returns how many.
unsigned listPresentPorts() {
    HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
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

// The settings file's bytes are in the ANSI code page; the error box takes UTF-8.
void ansiToUtf8(const char* text, char* utf8, int size) {
    wchar_t wide[64];
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    if (length == 0) wide[0] = L'\0';
    wide[std::size(wide) - 1] = L'\0';
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, size, nullptr, nullptr) == 0) utf8[0] = '\0';
}

}  // namespace

int openConfiguredPort(std::uint32_t portNumber, const char* productDesc) {
    if (portNumber == 0) {
        portNumber = findPortNumber(presentPorts, listPresentPorts(), productDesc);
        if (portNumber == 0) {
            ansiToUtf8(productDesc, productDescUtf8, sizeof productDescUtf8);
            std::snprintf(message, sizeof message, "ProductDesc (%s) に一致する仮想通信ポートが見付かりません。",
                          productDescUtf8);
            reportError(message);
            return 0;
        }
    }
    return openPort(portNumber);
}
