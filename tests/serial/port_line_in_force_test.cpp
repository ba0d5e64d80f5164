// Line settings read back from a real pseudo-terminal, which takes every setting without an
// error but keeps 8 data bits and no parity.
#include <gtest/gtest.h>

#include "serial/CPort.h"
#include "serial/support/PortProbe.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

struct LineInForce : ::testing::Test {
    TPty pty;
    TQueueDispatcher dispatcher;
    TComPort port;
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        port.SetPort(pty.SlavePath());
        port.SetDispatcher(&dispatcher);
        port.SetBaudRate(br115200);
    }
};

}  // namespace

TEST_F(LineInForce, ValuesTheDeviceDoesNotHoldAreReplacedByWhatItHolds) {
    port.Open();
    EXPECT_EQ(port.RefusedLine(), 0u);

    port.SetDataBits(dbFive);
    EXPECT_EQ(port.RefusedLine(), uint32_t{lvDataBits});
    EXPECT_EQ(port.DataBits(), dbEight);

    port.Parity().SetBits(prMark);
    EXPECT_EQ(port.RefusedLine(), uint32_t{lvParity});
    EXPECT_EQ(port.Parity().Bits(), prNone);

    // What it does hold is kept, and a later change does not report an old refusal.
    port.SetStopBits(sbTwoStopBits);
    EXPECT_EQ(port.RefusedLine(), 0u);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(250000);
    EXPECT_EQ(port.RefusedLine(), 0u);
    EXPECT_EQ(pty.SlaveSpeed(), 250000);
    port.Close();
}

TEST_F(LineInForce, AStoredLineTheDeviceLacksStillOpens) {
    port.SetDataBits(dbSeven);
    port.Parity().SetBits(prEven);
    port.Open();
    ASSERT_TRUE(port.Connected());
    EXPECT_EQ(port.RefusedLine(), uint32_t{lvDataBits | lvParity});
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    port.Close();
    // Reopened as shown: nothing is refused any more.
    port.Open();
    EXPECT_EQ(port.RefusedLine(), 0u);
    port.Close();
}

TEST_F(LineInForce, ARefusedValueGoesBackToTheOneInForce) {
    port.SetStopBits(sbTwoStopBits);
    port.Open();
    try {
        port.SetStopBits(sbOne5StopBits);  // no such setting on this system
        FAIL() << "one and a half stop bits taken";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.ErrorCode(), CError_SetStateFailed);
    }
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(port.RefusedLine(), uint32_t{lvStopBits});
    // The refused value does not ride along with the next change.
    port.SetBaudRate(br9600);
    EXPECT_EQ(port.RefusedLine(), 0u);
    EXPECT_EQ(pty.SlaveSpeed(), 9600);
    port.Close();
}
