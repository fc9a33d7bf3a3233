// The device link on the real serial port, the virtual doll on COM12 (two digits, so that every open names
// "\\.\COM12"): the worked frames byte for byte, what exchanges cost, opening, closing and finding the port.
#include "tests/windows/support.h"

#include <devguid.h>
#include <setupapi.h>

#include "device/port_search.h"
#include "device/serial_port.h"
#include "device/serial_port_win32.h"
#include "tests/common/worked_exchanges.h"

namespace {

class DeviceLine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(dollPort(), 10u) << "run with the doll on a two-digit port through tools/with-virtual-doll";
        ASSERT_EQ(openPort(dollPort()), 1);
        controlDoll("--clear-faults");
    }
    void TearDown() override { closePort(); }
};

TEST_F(DeviceLine, WorkedFramesAndSequencesGoOnTheLineByteForByte) {
    for (const WorkedExchange& exchange : readWorkedExchanges("Z:" + dataFile("worked_exchanges.txt"))) {
        SCOPED_TRACE(exchange.call);
        sequenceNibble = static_cast<std::uint8_t>(exchange.nibbleBefore);
        std::size_t mark = dollLog().size();
        EXPECT_EQ(runWorkedCall(exchange.call), 1);
        EXPECT_EQ(sequenceNibble, exchange.nibbleAfter);
        std::string expected;
        for (const std::string& request : exchange.requests) expected += (expected.empty() ? "" : " ") + request;
        EXPECT_EQ(requestsSince(mark, exchange.requests.size()), expected);
    }
}

// A silent attempt (calls of the worked exchanges) waits out the read time-out: 300 ms for a 5-byte reply,
// 400 ms for 7; three attempts, and a node operation ends with its first failed exchange. A healthy
// exchange is far quicker.
TEST_F(DeviceLine, ExchangesCostTheirReadTimeOutsOnlyWhenSilent) {
    const struct { const char *control, *call, *requests; ULONGLONG ms; } cases[] = {
        {"--fault silent@30", "sendAddress node 30 register 3", "a3003 a3003 a3003", 900},
        {"--fault silent@31", "sendRead node 31", "r31 r31 r31", 1200},
        {"--fault silent@30", "readActiveOffsets node 30", "a3003 a3003 a3003", 900},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.call);
        controlDoll(std::string("--clear-faults\n") + row.control);
        std::size_t mark = dollLog().size();
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(runWorkedCall(row.call), 0);
        ULONGLONG elapsed = GetTickCount64() - start;
        EXPECT_GE(elapsed, row.ms * 9 / 10);
        EXPECT_LE(elapsed, row.ms * 11 / 10 + 100);
        EXPECT_EQ(requestsSince(mark, 3), row.requests);
    }
    controlDoll("--clear-faults");
    ULONGLONG start = GetTickCount64();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(runWorkedCall("sendAddress node 30 register 3"), 1);
    EXPECT_LT(GetTickCount64() - start, 10 * 100u) << "a third of a 5-byte time-out each, on average";
}

// A missing port by number, or by ProductDesc (port 0) in the friendly name or else the description of a
// port that SetupAPI lists, in any case: the port opens or its message shows, and closing it, twice even,
// leaves no handle. A port is registered as a driver's installation leaves it: a root-enumerated device
// of the ports class, the port name in its device key.
TEST(SerialPort, OpensByNumberOrProductDescAndClosesHarmlessly) {
    const std::string dollPortName = "COM" + std::to_string(dollPort());
    const struct {
        const char *friendlyName, *description;  // no description: no port registered
        unsigned port;
        const char* productDesc;
        std::vector<std::string> boxes;
    } cases[] = {
        {nullptr, nullptr, 250, "", {"仮想通信ポート (COM250) に接続できません。"}},
        {"Gestalyx Virtual Doll", "Communications Port", 0, "virtual DOLL", {}},
        {nullptr, "Gestalyx Virtual Doll", 0, "GESTALYX", {}},
        {"Gestalyx Virtual Doll", "Communications Port", 0, "Sensor Hub",
         {"ProductDesc (Sensor Hub) に一致する仮想通信ポートが見付かりません。"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << row.port << " " << row.productDesc);
        HDEVINFO devices = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
        SP_DEVINFO_DATA device{sizeof device, {}, 0, 0};
        if (row.description != nullptr) {
            EXPECT_TRUE(SetupDiCreateDeviceInfoA(devices, "PORTS", &GUID_DEVCLASS_PORTS, row.description, nullptr,
                                                 DICD_GENERATE_ID, &device) &&
                        SetupDiRegisterDeviceInfo(devices, &device, 0, nullptr, nullptr, nullptr));
            if (row.friendlyName != nullptr)
                SetupDiSetDeviceRegistryPropertyA(devices, &device, SPDRP_FRIENDLYNAME,
                    reinterpret_cast<const BYTE*>(row.friendlyName), lstrlenA(row.friendlyName) + 1);
            HKEY key = SetupDiCreateDevRegKeyA(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
            RegSetKeyValueA(key, nullptr, "PortName", REG_SZ, dollPortName.c_str(), dollPortName.size() + 1);
            RegCloseKey(key);
        }
        int opened = -1;
        EXPECT_EQ(errorBoxesShownBy([&] { opened = openConfiguredPort(row.port, row.productDesc); }), row.boxes);
        EXPECT_EQ(opened, row.boxes.empty() ? 1 : 0);
        EXPECT_EQ(portHandle != INVALID_HANDLE_VALUE, opened == 1);
        EXPECT_EQ(identify(), opened) << "the line reaches the doll only through the port just opened";
        closePort();
        closePort();
        EXPECT_EQ(portHandle, INVALID_HANDLE_VALUE);
        SetupDiRemoveDevice(devices, &device);
        SetupDiDestroyDeviceInfoList(devices);
    }
}

}  // namespace
