#include <gtest/gtest.h>

#include <QSet>

#include "app/core/Gb18030.h"
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
    const auto table = CaptionTable();
    ASSERT_EQ(table.size(), 39u);
    EXPECT_STREQ(table.front().objectName, "Button3");
    EXPECT_STREQ(table.back().objectName, "writefast");
    QSet<QString> names;
    for (const CaptionEntry& e : table) {
        names.insert(QString::fromLatin1(e.objectName));
        EXPECT_FALSE(CaptionText(e, true, true, true).isEmpty()) << e.objectName;
        EXPECT_FALSE(CaptionText(e, false, false, false).isEmpty()) << e.objectName;
    }
    EXPECT_EQ(names.size(), 39);

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
