#include "app/core/LanguageTable.h"

#include <array>

namespace zenta {

const char kVersionText[] = ZENTA_VERSION;


namespace {

constexpr std::array<CaptionEntry, 39> kCaptions = {{
    {"openFileButton", "OpenFile", "打开文件"},
    {"sendFileButton", "SendFile", "发送文件"},
    {"stopButton", "Stop", "停止"},
    {"saveDataButton", "SaveData", "保存窗口和数据"},
    {"fontButton", "Font", "字体"},
    {"clearButton", "ClearData", "清除窗口"},
    {"captureCheck", "ReceivedToFile", "接收数据到文件"},
    {"helpButton", "Help", "帮助"},
    {"saveSettingsButton", "SaveConfig", "保存参数"},
    {"sidePanelButton", "EXT", "扩展", CaptionState::SidePanelShown, "Hide", "隐藏"},
    {"portLabel", "ComNum", "串口号"},
    {"baudLabel", "BaudRate", "波特率"},
    {"dataBitsLabel", "DataBit", "数据位"},
    {"stopBitsLabel", "StopBit", "停止位"},
    {"parityLabel", "VerifyBit", "校验位"},
    {"flowLabel", "FlowCtrl", "流  控"},
    {"openButton", "OpenCom", "打开串口", CaptionState::PortOpen, "CloseCom", "关闭串口"},
    {"moreSettingsButton", "More Settings", "更多串口设置"},
    {"sendButton", "SEND", "发  送"},
    {"hexDisplayCheck", "HEXShow", "HEX显示"},
    {"hexSendCheck", "SendHEX", "HEX发送"},
    {"crLfCheck", "AddCrLf", "加回车换行"},
    {"packetCheck", "PacketShow", "分包显示"},
    {"checksumLabel", "AddVerify:", "末尾加校验:"},
    {"timeoutLabel", "Over", "超时"},
    {"timedSendCheck", "SendEvery:", "定时发送:"},
    {"intervalUnitLabel", "ms/Times", "ms/次"},
    {"showChartButton", "ShowChart", "显示图表"},
    {"realTimeCheck", "RealTime", "实时刷新"},
    {"signedCheck", "Signed", "带符号数"},
    {"preparedPage", "Send Multi Char", "多条字符串发送"},
    {"dragHint", "<-Drag split line   ", "←拖动分割线    "},
    {"loopCheck", "Round send,interval:", "自动循环发送, 间隔:"},
    {"textTitle", "Data (DbClick to Write notes)", "字符串(双击注释)          "},
    {"sendTitle", "Send (note)   ", "点击发送    "},
    {"ispStartButton", "Start Download", "开始下载STM32"},
    {"slowRadio", "64KBytes/10S Slower", "烧64K字节约10秒,稍慢(普通串口)"},
    {"middleRadio", "64KBytes/5.3S Middle(CH340)", "烧64K字节约5.3秒,适中(CH340)"},
    {"fastRadio", "Faster(Maybe Error!)", "最快(可能不稳定)"},
}};

const CaptionEntry& FindEntry(const char* name) {
    for (const CaptionEntry& e : kCaptions) {
        if (QLatin1String(e.objectName) == QLatin1String(name)) {
            return e;
        }
    }
    return kCaptions.front();
}

constexpr char kHelpEnglish[] =
    "According to the schematic you can make ONEKEY automatic ISP Programming.Just click "
    "'download' will automatically set the ‘boot and reset’ state,and start to ISP Programming. "
    "After download, the user program will running.For manual ISP, You must set up the boot0=1 "
    "and reset the MCU into the ISP mode,wait to be connected, and then point 'download'.";

constexpr char kHelpChinese[] =
    "    \r\n    按下图制作的isp线可以实现一键自动ISP。只要点一下‘下载’将自动设置boot状态和复位，"
    "并自动开始下载，下载完毕之后将运行用户程序。\r\n"
    "    如需手动ISP，请先设置boot0=1并复位单片机，进入ISP待连接状态，再点‘下载’。\r\n\r\n"
    "    一键下载ISP线电路图：\r\n";

}  // namespace

std::span<const CaptionEntry> CaptionTable() {
    return kCaptions;
}

QString CaptionText(const CaptionEntry& entry, bool english, bool portOpen, bool sidePanelShown) {
    const bool alt = (entry.state == CaptionState::PortOpen && portOpen) ||
                     (entry.state == CaptionState::SidePanelShown && sidePanelShown);
    const char* text = alt ? (english ? entry.englishWhenState : entry.chineseWhenState)
                           : (english ? entry.english : entry.chinese);
    return QString::fromUtf8(text);
}

QString ButtonOpenCaption(bool portOpen, bool english) {
    return CaptionText(FindEntry("openButton"), english, portOpen, false);
}

QString Button5Caption(bool sidePanelShown, bool english) {
    return CaptionText(FindEntry("sidePanelButton"), english, false, sidePanelShown);
}

QString WindowCaption(bool english) {
    const QString base = QStringLiteral("ZENTA V") + QLatin1String(kVersionText);
    return english ? base + QStringLiteral(" Serial data debugger,Author:zenta developers")
                   : base + QString::fromUtf8(" 串口数据调试器,作者:zenta 开发者");
}

QString Stm32HelpText(bool english) {
    return QString::fromUtf8(english ? kHelpEnglish : kHelpChinese);
}

}  // namespace zenta
