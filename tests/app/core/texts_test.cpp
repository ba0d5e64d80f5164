#include <gtest/gtest.h>

#include <QSet>

#include "text/Gb18030.h"
#include "app/core/LanguageTable.h"
#include "app/core/Messages.h"
#include "datapath/PacketHeader.h"

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
        {"Button3", "OpenFile", "打开文件", "", ""},
        {"Button4", "SendFile", "发送文件", "", ""},
        {"Button8", "Stop", "停止", "", ""},
        {"Button42", "SaveData", "保存窗口和数据", "", ""},
        {"SpeedButton2", "Font", "字体", "", ""},
        {"Button1", "ClearData", "清除窗口", "", ""},
        {"CheckBox19", "ReceivedToFile", "接收数据到文件", "", ""},
        {"Button2", "Help", "帮助", "", ""},
        {"saveconfig", "SaveConfig", "保存参数", "", ""},
        {"Button5", "EXT", "扩展", "Hide", "隐藏"},
        {"Label23", "ComNum", "串口号", "", ""},
        {"Label18", "BaudRate", "波特率", "", ""},
        {"Label19", "DataBit", "数据位", "", ""},
        {"Label20", "StopBit", "停止位", "", ""},
        {"Label4", "VerifyBit", "校验位", "", ""},
        {"Label8", "FlowCtrl", "流  控", "", ""},
        {"Button_Open", "OpenCom", "打开串口", "CloseCom", "关闭串口"},
        {"BitBtn4", "More Settings", "更多串口设置", "", ""},
        {"Button_Send", "SEND", "发  送", "", ""},
        {"CheckBox5", "HEXShow", "HEX显示", "", ""},
        {"CheckBox4", "SendHEX", "HEX发送", "", ""},
        {"NewLine_CB", "AddCrLf", "加回车换行", "", ""},
        {"timeoutCRLF", "PacketShow", "分包显示", "", ""},
        {"Label10", "AddVerify:", "末尾加校验:", "", ""},
        {"Label1", "Over", "超时", "", ""},
        {"CheckBox3", "SendEvery:", "定时发送:", "", ""},
        {"Label2", "ms/Times", "ms/次", "", ""},
        {"BitBtn1", "ShowChart", "显示图表", "", ""},
        {"CheckBox14", "RealTime", "实时刷新", "", ""},
        {"CheckBox13", "Signed", "带符号数", "", ""},
        {"TabSheet1", "Send Multi Char", "多条字符串发送", "", ""},
        {"Label5", "<-Drag split line   ", "←拖动分割线    ", "", ""},
        {"CheckBox6", "Round send,interval:", "自动循环发送, 间隔:", "", ""},
        {"Label24", "Data (DbClick to Write notes)", "字符串(双击注释)          ", "", ""},
        {"Label25", "Send (note)   ", "点击发送    ", "", ""},
        {"isp255_stm32", "Start Download", "开始下载STM32", "", ""},
        {"writelow", "64KBytes/10S Slower", "烧64K字节约10秒,稍慢(普通串口)", "", ""},
        {"writemiddle", "64KBytes/5.3S Middle(CH340)", "烧64K字节约5.3秒,适中(CH340)", "", ""},
        {"writefast", "Faster(Maybe Error!)", "最快(可能不稳定)", "", ""},
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
