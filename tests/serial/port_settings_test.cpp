// Text forms, the flow-control summary, queue sizes and the device control record.
#include <gtest/gtest.h>

#include "serial/CPort.h"
#include "serial/posix/TermiosMap.h"

TEST(PortTexts, ConversionsCompareUpperCaseWithoutTrimming) {
    EXPECT_EQ(StrToBaudRate("115200"), br115200);
    EXPECT_EQ(StrToBaudRate("cUsToM"), brCustom);
    EXPECT_EQ(StrToBaudRate(""), br9600);
    EXPECT_EQ(StrToBaudRate("9601"), br9600);
    EXPECT_EQ(StrToBaudRate("115200 "), br9600);
    EXPECT_EQ(StrToFlowControl("none"), fcNone);
    EXPECT_EQ(StrToFlowControl("xyz"), fcCustom);
    EXPECT_EQ(StrToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(StrToStopBits("1.5"), sbOne5StopBits);
    EXPECT_EQ(StrToDataBits("9"), dbEight);
    EXPECT_EQ(StrToParity("SPACE"), prSpace);
    EXPECT_EQ(StrToParity(" Odd"), prNone);
}

TEST(PortTexts, EveryOrdinalRoundTripsThroughItsText) {
    for (int i = 0; i <= br2000000; ++i) {
        const auto b = static_cast<TBaudRate>(i);
        EXPECT_EQ(StrToBaudRate(BaudRateToStr(b)), b);
    }
    for (int i = 0; i <= prSpace; ++i) {
        EXPECT_EQ(StrToParity(ParityToStr(static_cast<TParityBits>(i))), i);
    }
    for (int i = 0; i <= fcCustom; ++i) {
        EXPECT_EQ(StrToFlowControl(FlowControlToStr(static_cast<TFlowControl>(i))), i);
    }
    EXPECT_EQ(BaudRateValue(br600000), 600000);
    EXPECT_EQ(BaudRateValue(brCustom), 0);
}

TEST(PortEvents, MaskConversionIgnoresUnknownFlags) {
    EXPECT_TRUE(MaskToEvents(0x0800).Empty());
    EXPECT_EQ(EventsToMask(AllComEvents), 0x05FFu);
    EXPECT_EQ(MaskToEvents(0x05FF), AllComEvents);
    EXPECT_EQ(EventsToMask({evTxEmpty, evRing}), EV_TXEMPTY | EV_RING);
}

TEST(PortEvents, ParityErrorsCountOnlyWhileChecking) {
    EXPECT_FALSE(ErrorWordToErrors(CE_RXPARITY, false).Contains(ceRxParity));
    EXPECT_TRUE(ErrorWordToErrors(CE_RXPARITY, true).Contains(ceRxParity));
    EXPECT_EQ(ErrorWordToErrors(CE_FRAME | CE_IOE, false), (TComErrors{ceFrame, ceIO}));
    EXPECT_EQ(ModemStatusToSignals(MS_CTS_ON | MS_RLSD_ON), (TComSignals{csCTS, csRLSD}));
}

TEST(FlowControlSummary, ReadsFromFourFieldsAndWritesThem) {
    TComFlowControl f;
    EXPECT_EQ(f.FlowControl(), fcNone);
    f.SetFlowControl(fcHardware);
    EXPECT_EQ(f.FlowControl(), fcHardware);
    f.SetOutDSRFlow(true);
    EXPECT_EQ(f.FlowControl(), fcHardware);
    f.SetXonXoffIn(true);
    EXPECT_EQ(f.FlowControl(), fcCustom);

    f.SetFlowControl(fcSoftware);
    EXPECT_EQ(f.ControlRTS(), rtsDisable);
    EXPECT_FALSE(f.OutCTSFlow());
    EXPECT_TRUE(f.OutDSRFlow());  // never touched by the summary
    f.SetFlowControl(fcCustom);
    EXPECT_TRUE(f.XonXoffIn() && f.XonXoffOut());
    EXPECT_EQ(f.FlowControl(), fcSoftware);
}

TEST(QueueSizes, OddSizesStoredOneLessButComparedBeforeRounding) {
    TComPort port;
    port.Buffer().SetInputSize(4095);
    EXPECT_EQ(port.Buffer().InputSize(), 4094);
    port.Buffer().SetInputSize(-3);
    EXPECT_EQ(port.Buffer().InputSize(), -3);
    port.Buffer().SetInputSize(4096);
    EXPECT_EQ(port.BuildDCB().XonLim, 1024);
    EXPECT_EQ(port.BuildDCB().XoffLim, 1024);
    port.Buffer().SetInputSize(1024);
    port.Buffer().SetInputSize(1025);  // differs before rounding: a real (re)store
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
}

TEST(ControlRecord, FlagWordFollowsEverySetting) {
    TComPort port;
    port.SetBaudRate(br115200);
    EXPECT_EQ(port.BuildDCB().Flags, 0x1u);
    EXPECT_EQ(port.BuildDCB().BaudRate, 115200u);

    port.FlowControl().SetFlowControl(fcHardware);
    port.FlowControl().SetControlDTR(dtrHandshake);
    port.Parity().SetCheck(true);
    EXPECT_EQ(port.BuildDCB().Flags, 0x1u | 0x2u | 0x4u | 0x20u | 0x2000u);
    EXPECT_EQ(port.BuildDCB().ErrorChar, 0);

    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('?');
    port.SetDiscardNull(true);
    port.FlowControl().SetFlowControl(fcSoftware);
    const TDCB d = port.BuildDCB();
    EXPECT_EQ(d.Flags & (DCB_fErrorChar | DCB_fNull | DCB_fOutX | DCB_fInX),
              DCB_fErrorChar | DCB_fNull | DCB_fOutX | DCB_fInX);
    EXPECT_EQ(d.ErrorChar, '?');
}

TEST(ControlRecord, CustomRateOnlyWhileCustomIsChosen) {
    TComPort port;
    port.SetCustomBaudRate(2000000);
    EXPECT_EQ(port.BuildDCB().BaudRate, 9600u);
    port.SetBaudRate(brCustom);
    EXPECT_EQ(port.BuildDCB().BaudRate, 2000000u);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prMark);
    const TDCB d = port.BuildDCB();
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_EQ(d.StopBits, 2);
    EXPECT_EQ(d.Parity, 3);
}

TEST(Termios, FrameParityAndFlowMapOntoTheLine) {
    TDCB d;
    d.BaudRate = 250000;  // no B constant: needs BOTHER
    d.ByteSize = 7;
    d.Parity = 3;
    d.StopBits = 2;
    d.Flags = DCB_fBinary | DCB_fOutxCtsFlow | DCB_fInX | DCB_fParity;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    struct termios2 t {};
    t.c_lflag = ICANON | ECHO;
    t.c_iflag = ICRNL | IXON;
    ASSERT_EQ(zenta::DcbToTermios2(d, t), 0);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR),
              static_cast<tcflag_t>(PARENB | PARODD | CMSPAR));
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(t.c_ospeed, 250000u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK), static_cast<tcflag_t>(IXOFF | INPCK));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);

    d.BaudRate = 115200;
    d.Parity = 4;
    d.ByteSize = 8;
    d.StopBits = 0;
    d.Flags = DCB_fBinary | (2u << DCB_fRtsControlShift);  // RTS handshake alone
    ASSERT_EQ(zenta::DcbToTermios2(d, t), 0);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(B115200));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | CMSPAR));
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST(Termios, EveryLineReadsBackAsWritten) {
    for (uint8_t size = 5; size <= 8; ++size) {
        for (uint8_t parity = 0; parity <= 4; ++parity) {
            for (uint8_t stop : {0, 2}) {
                TDCB d;
                d.BaudRate = size == 6 ? 250000u : 9600u;
                d.ByteSize = size;
                d.Parity = parity;
                d.StopBits = stop;
                struct termios2 t {};
                ASSERT_EQ(zenta::DcbToTermios2(d, t), 0);
                TDCB back;
                back.ByteSize = 0;
                zenta::Termios2ToLine(t, back);
                EXPECT_EQ(back.BaudRate, d.BaudRate);
                EXPECT_EQ(back.ByteSize, size);
                EXPECT_EQ(back.Parity, parity);
                EXPECT_EQ(back.StopBits, stop);
            }
        }
    }
}

TEST(Termios, ImpossibleLinesAreRefused) {
    struct termios2 t {};
    TDCB d;
    d.BaudRate = 0;
    EXPECT_EQ(zenta::DcbToTermios2(d, t), EINVAL);
    d.BaudRate = static_cast<uint32_t>(-5);
    EXPECT_EQ(zenta::DcbToTermios2(d, t), EINVAL);
    d.BaudRate = 9600;
    d.StopBits = 1;  // one and a half
    EXPECT_EQ(zenta::DcbToTermios2(d, t), EINVAL);
    d.StopBits = 0;
    d.ByteSize = 9;
    EXPECT_EQ(zenta::DcbToTermios2(d, t), EINVAL);
}

TEST(Errors, CodesCarryTextAndSystemError) {
    EComPort e(CError_OpenFailed, ENOENT);
    EXPECT_EQ(e.ErrorCode(), 1);
    EXPECT_EQ(e.SystemErrorCode(), ENOENT);
    EXPECT_EQ(EComPort(CError_HasLink).SystemErrorCode(), -1);
    EXPECT_EQ(ComErrorText(1), "Unable to open com port");
    EXPECT_EQ(ComErrorText(23), "Registry error");
    EXPECT_EQ(ComErrorText(0), "");
    EXPECT_EQ(ComErrorText(24), "");
}
