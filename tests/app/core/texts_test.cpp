#include <gtest/gtest.h>

#include <QSet>

#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "datapath/PacketHeader.h"
#include "text/Gb18030.h"

namespace zenta {
namespace {

TEST(Texts, PacketMarksDecodeToTheirCharacters) {
    const TimeOfDay t{9, 5, 0, 7};
    EXPECT_EQ(FromGb18030(ReceiveHeader(t, true)), QString::fromUtf8("\r\n[09:05:00.007]IN←◆"));
    EXPECT_EQ(FromGb18030(ReceiveHeader(t, false)), QString::fromUtf8("\r\n[09:05:00.007]收←◆"));
    EXPECT_EQ(FromGb18030(SendEcho("\x12\x0A", true, t, true)),
              QString::fromUtf8("\r\n[09:05:00.007]OUT→◇12 0A □"));
    EXPECT_EQ(FromGb18030(SendEcho("a\nb", false, t, false)),
              QString::fromUtf8("\r\n[09:05:00.007]发→◇a\r\nb□"));
}

TEST(Texts, CaptionTableOrderAndStates) {
    // Control, English, Chinese, and the pair shown in the control's other state (port
    // open, side panel shown), in the order the switch applies them.
    struct Expected {
        const char* name;
        const char* english;
        const char* chinese;
        const char* englishInState;
        const char* chineseInState;
    };
    const Expected expected[] = {
        {"openFileButton", "OpenFile", "打开文件", "", ""},
        {"sendFileButton", "SendFile", "发送文件", "", ""},
        {"stopButton", "Stop", "停止", "", ""},
        {"saveDataButton", "SaveData", "保存窗口和数据", "", ""},
        {"fontButton", "Font", "字体", "", ""},
        {"clearButton", "ClearData", "清除窗口", "", ""},
        {"captureCheck", "ReceivedToFile", "接收数据到文件", "", ""},
        {"helpButton", "Help", "帮助", "", ""},
        {"saveSettingsButton", "SaveConfig", "保存参数", "", ""},
        {"sidePanelButton", "EXT", "扩展", "Hide", "隐藏"},
        {"portLabel", "ComNum", "串口号", "", ""},
        {"baudLabel", "BaudRate", "波特率", "", ""},
        {"dataBitsLabel", "DataBit", "数据位", "", ""},
        {"stopBitsLabel", "StopBit", "停止位", "", ""},
        {"parityLabel", "VerifyBit", "校验位", "", ""},
        {"flowLabel", "FlowCtrl", "流  控", "", ""},
        {"openButton", "OpenCom", "打开串口", "CloseCom", "关闭串口"},
        {"moreSettingsButton", "More Settings", "更多串口设置", "", ""},
        {"sendButton", "SEND", "发  送", "", ""},
        {"hexDisplayCheck", "HEXShow", "HEX显示", "", ""},
        {"hexSendCheck", "SendHEX", "HEX发送", "", ""},
        {"crLfCheck", "AddCrLf", "加回车换行", "", ""},
        {"packetCheck", "PacketShow", "分包显示", "", ""},
        {"checksumLabel", "AddVerify:", "末尾加校验:", "", ""},
        {"timeoutLabel", "Over", "超时", "", ""},
        {"timedSendCheck", "SendEvery:", "定时发送:", "", ""},
        {"intervalUnitLabel", "ms/Times", "ms/次", "", ""},
        {"showChartButton", "ShowChart", "显示图表", "", ""},
        {"realTimeCheck", "RealTime", "实时刷新", "", ""},
        {"signedCheck", "Signed", "带符号数", "", ""},
        {"preparedPage", "Send Multi Char", "多条字符串发送", "", ""},
        {"dragHint", "<-Drag split line   ", "←拖动分割线    ", "", ""},
        {"loopCheck", "Round send,interval:", "自动循环发送, 间隔:", "", ""},
        {"textTitle", "Data (DbClick to Write notes)", "字符串(双击注释)          ", "", ""},
        {"sendTitle", "Send (note)   ", "点击发送    ", "", ""},
        {"ispStartButton", "Start Download", "开始下载STM32", "", ""},
        {"slowRadio", "64KBytes/10S Slower", "烧64K字节约10秒,稍慢(普通串口)", "", ""},
        {"middleRadio", "64KBytes/5.3S Middle(CH340)", "烧64K字节约5.3秒,适中(CH340)", "", ""},
        {"fastRadio", "Faster(Maybe Error!)", "最快(可能不稳定)", "", ""},
    };
    const auto table = CaptionTable();
    ASSERT_EQ(table.size(), std::size(expected));
    QSet<QString> names;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const CaptionEntry& e = table[i];
        const Expected& x = expected[i];
        EXPECT_STREQ(e.objectName, x.name);
        names.insert(QString::fromLatin1(e.objectName));
        EXPECT_EQ(CaptionText(e, true, false, false), QString::fromUtf8(x.english)) << x.name;
        EXPECT_EQ(CaptionText(e, false, false, false), QString::fromUtf8(x.chinese)) << x.name;
        const bool stateful = *x.englishInState != 0;
        EXPECT_EQ(CaptionText(e, true, true, true),
                  QString::fromUtf8(stateful ? x.englishInState : x.english))
            << x.name;
        EXPECT_EQ(CaptionText(e, false, true, true),
                  QString::fromUtf8(stateful ? x.chineseInState : x.chinese))
            << x.name;
    }
    EXPECT_EQ(names.size(), static_cast<int>(table.size()));
    // Only the state a caption follows changes it.
    EXPECT_EQ(ButtonOpenCaption(false, true), "OpenCom");
    EXPECT_EQ(Button5Caption(false, true), "EXT");
    EXPECT_EQ(ButtonOpenCaption(true, true), "CloseCom");
    EXPECT_EQ(ButtonOpenCaption(false, false), QString::fromUtf8("打开串口"));
    EXPECT_EQ(Button5Caption(true, false), QString::fromUtf8("隐藏"));
    EXPECT_EQ(Button5Caption(false, true), "EXT");
    EXPECT_TRUE(WindowCaption(true).startsWith("ZENTA V5.08d2 Serial data debugger,Author:"));
    EXPECT_TRUE(
        WindowCaption(false).startsWith(QString::fromUtf8("ZENTA V5.08d2 串口数据调试器,作者:")));
    EXPECT_TRUE(Stm32HelpText(false).startsWith("    \r\n    "));
}

TEST(Texts, MessagesUseRealLineBreaksAndFullWidthMarks) {
    const QString open = Msg(MsgId::OpenError, true);
    EXPECT_TRUE(open.contains(QString::fromUtf8("loose？\r\n2.")));
    EXPECT_FALSE(open.contains("\\r"));
    EXPECT_TRUE(Msg(MsgId::OpenError, false).startsWith(QString::fromUtf8("当前串口号无法打开")));
    EXPECT_EQ(Msg(MsgId::PortOpenedState, true), " Opened  ");
    EXPECT_EQ(Msg(MsgId::CustomBaudPrompt, false), "Please input  the custom baud rate:         ");
    EXPECT_TRUE(Msg(MsgId::InvalidHexSend, true).contains("(\"0-9\",\"A-F\",\"a-f\",\" \")!\r\n"));
    for (int i = 0; i <= static_cast<int>(MsgId::LoopIntervalZero); ++i) {
        EXPECT_FALSE(Msg(static_cast<MsgId>(i), true).isEmpty()) << i;
        EXPECT_FALSE(Msg(static_cast<MsgId>(i), false).isEmpty()) << i;
    }
}

}  // namespace
}  // namespace zenta
