// Opening and closing the serial port, and finding it by ProductDesc among
// the serial ports that SetupAPI lists.
#include <gtest/gtest.h>
#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <string>

#include "device/node_protocol.h"
#include "device/port_search.h"
#include "device/serial_port.h"
#include "device/serial_port_win32.h"
#include "tests/windows/device_doll.h"

namespace {

using Boxes = std::vector<std::string>;

TEST(SerialPort, OpensByNumberAndClosesHarmlessly) {
    ASSERT_GE(dollPort(), 10u) << "run with the doll on a two-digit port, as ctest does";
    struct Case {
        const char* name;
        std::uint32_t port;
        int opened;
        Boxes boxes;
    };
    const Case cases[] = {
        {"a port that does not exist", 250, 0, {"仮想通信ポート (COM250) に接続できません。"}},
        {"the doll's port", dollPort(), 1, {}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        int opened = -1;
        EXPECT_EQ(errorBoxesShownBy([&] { opened = openPort(row.port); }), row.boxes);
        EXPECT_EQ(opened, row.opened);
        EXPECT_EQ(portHandle != INVALID_HANDLE_VALUE, row.opened == 1);
        // The line reaches the doll only through the port just opened.
        EXPECT_EQ(identify(), row.opened);
        for (int close = 0; close < 2; ++close) {
            closePort();
            EXPECT_EQ(portHandle, INVALID_HANDLE_VALUE);
        }
    }
}

// A serial port as a driver's installation leaves it: a root-enumerated
// device of the ports class with a description, perhaps a friendly name, and
// the port name in its device key. Removed again at the end of the case.
class RegisteredPort {
public:
    RegisteredPort(const char* friendlyName, const char* description, const std::string& portName) {
        devices_ = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
        device_.cbSize = sizeof device_;
        registered_ = SetupDiCreateDeviceInfoA(devices_, "PORTS", &GUID_DEVCLASS_PORTS, description, nullptr,
                                               DICD_GENERATE_ID, &device_) &&
                      SetupDiRegisterDeviceInfo(devices_, &device_, 0, nullptr, nullptr, nullptr);
        EXPECT_TRUE(registered_);
        if (friendlyName != nullptr) {
            EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyA(devices_, &device_, SPDRP_FRIENDLYNAME,
                                                          reinterpret_cast<const BYTE*>(friendlyName),
                                                          lstrlenA(friendlyName) + 1));
        }
        HKEY key = SetupDiCreateDevRegKeyA(devices_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
        EXPECT_NE(key, INVALID_HANDLE_VALUE);
        RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName.c_str()),
                       static_cast<DWORD>(portName.size() + 1));
        RegCloseKey(key);
    }
    ~RegisteredPort() {
        if (registered_) SetupDiRemoveDevice(devices_, &device_);
        SetupDiDestroyDeviceInfoList(devices_);
    }

private:
    HDEVINFO devices_;
    SP_DEVINFO_DATA device_;
    bool registered_;
};

TEST(SerialPort, AutoFindsThePortByProductDesc) {
    ASSERT_NE(dollPort(), 0u) << "run through tools/with-virtual-doll";
    std::string portName = "COM" + std::to_string(dollPort());
    struct Case {
        const char* name;
        const char* friendlyName;
        const char* description;
        const char* productDesc;
        Boxes boxes;
    };
    const Case cases[] = {
        {"friendly name, another case", "Gestalyx Virtual Doll", "Communications Port", "virtual DOLL", {}},
        {"description alone", nullptr, "Gestalyx Virtual Doll", "GESTALYX", {}},
        {"no match", "Gestalyx Virtual Doll", "Communications Port", "Sensor Hub",
         {"ProductDesc (Sensor Hub) に一致する仮想通信ポートが見付かりません。"}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        RegisteredPort port(row.friendlyName, row.description, portName);
        int opened = -1;
        EXPECT_EQ(errorBoxesShownBy([&] { opened = openConfiguredPort(0, row.productDesc); }), row.boxes);
        EXPECT_EQ(opened, row.boxes.empty() ? 1 : 0);
        EXPECT_EQ(identify(), opened);
        closePort();
    }
}

}  // namespace
