#include "device/serial_port_win32.h"

#include <cstdio>

#include "device/serial_port.h"
#include "platform/error_report.h"

HANDLE portHandle = INVALID_HANDLE_VALUE;
bool portBroken = false;

const DCB portSettings = {
    .DCBlength = sizeof(DCB),
    .BaudRate = 38400,
    .fBinary = 1,
    .fParity = 0,
    .fOutxCtsFlow = 0,
    .fOutxDsrFlow = 0,
    .fDtrControl = DTR_CONTROL_DISABLE,
    .fDsrSensitivity = 0,
    .fTXContinueOnXoff = 0,
    .fOutX = 0,
    .fInX = 0,
    .fErrorChar = 0,
    .fNull = 0,
    .fRtsControl = RTS_CONTROL_DISABLE,
    .fAbortOnError = 0,
    .fDummy2 = 0,
    .wReserved = 0,
    .XonLim = 0,
    .XoffLim = 0,
    .ByteSize = 7,
    .Parity = EVENPARITY,
    .StopBits = ONESTOPBIT,
    .XonChar = 0x11,
    .XoffChar = 0x13,
    .ErrorChar = static_cast<char>(0xFF),
    .EofChar = static_cast<char>(0xFF),
    .EvtChar = 0x00,
    .wReserved1 = 0,
};

const COMMTIMEOUTS portTimeouts = {
    .ReadIntervalTimeout = 50,
    .ReadTotalTimeoutMultiplier = 50,
    .ReadTotalTimeoutConstant = 50,
    .WriteTotalTimeoutMultiplier = 100,
    .WriteTotalTimeoutConstant = 100,
};

namespace {

// "\\.\COM" and up to ten digits.
char portName[24];
// The message with the longest number.
char message[96];

}  // namespace

// Exclusive and without FILE_FLAG_OVERLAPPED, so every transfer blocks.
// Once the handle is valid the port counts as open, whatever the settings give.
static int openNamedPort() {
    portHandle = CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    portBroken = false;
    if (portHandle == INVALID_HANDLE_VALUE) return 0;
    applyPortSettings();
    return 1;
}

int openPort(std::uint32_t number) {
    std::snprintf(portName, sizeof portName, "\\\\.\\COM%u", static_cast<unsigned>(number));
    if (!openNamedPort()) {
        std::snprintf(message, sizeof message, "仮想通信ポート (COM%u) に接続できません。", static_cast<unsigned>(number));
        reportError(message);
        return 0;
    }
    return 1;
}

int reopenPort() {
    closePort();
    return openNamedPort();
}

void closePort() {
    if (portHandle == INVALID_HANDLE_VALUE) return;
    PurgeComm(portHandle, purgeMask);
    CloseHandle(portHandle);
    portHandle = INVALID_HANDLE_VALUE;
}

int purgePort() {
    return PurgeComm(portHandle, purgeMask);
}

int applyPortSettings() {
    // The Win32 calls take the records as writable; the constants stay untouched.
    DCB settings = portSettings;
    COMMTIMEOUTS timeouts = portTimeouts;
    PurgeComm(portHandle, purgeMask);
    SetCommState(portHandle, &settings);
    return SetCommTimeouts(portHandle, &timeouts);
}

int writeAll(const char* text) {
    DWORD length = lstrlenA(text);
    DWORD written = 0;
    if (WriteFile(portHandle, text, length, &written, nullptr)) return written == length;
    portBroken = true;
    return 0;
}

int readExact(char* buffer, unsigned count) {
    DWORD got = 0;
    if (ReadFile(portHandle, buffer, count, &got, nullptr)) return got == count;
    portBroken = true;
    return 0;
}
