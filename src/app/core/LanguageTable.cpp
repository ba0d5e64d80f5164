#include "app/core/LanguageTable.h"

#include <array>

namespace zenta {

namespace {

constexpr std::array<CaptionEntry, 39> kCaptions = {{
    {"Button3", "OpenFile", "打开文件"},
    {"Button4", "SendFile", "发送文件"},
    {"Button8", "Stop", "停止"},
    {"Button42", "SaveData", "保存窗口和数据"},
    {"SpeedButton2", "Font", "字体"},
    {"Button1", "ClearData", "清除窗口"},
    {"CheckBox19", "ReceivedToFile", "接收数据到文件"},
    {"Button2", "Help", "帮助"},
    {"saveconfig", "SaveConfig", "保存参数"},
    {"Button5", "EXT", "扩展", CaptionState::SidePanelShown, "Hide", "隐藏"},
    {"Label23", "ComNum", "串口号"},
    {"Label18", "BaudRate", "波特率"},
    {"Label19", "DataBit", "数据位"},
    {"Label20", "StopBit", "停止位"},
    {"Label4", "VerifyBit", "校验位"},
    {"Label8", "FlowCtrl", "流  控"},
    {"Button_Open", "OpenCom", "打开串口", CaptionState::PortOpen, "CloseCom", "关闭串口"},
    {"BitBtn4", "More Settings", "更多串口设置"},
    {"Button_Send", "SEND", "发  送"},
    {"CheckBox5", "HEXShow", "HEX显示"},
    {"CheckBox4", "SendHEX", "HEX发送"},
    {"NewLine_CB", "AddCrLf", "加回车换行"},
    {"timeoutCRLF", "PacketShow", "分包显示"},
    {"Label10", "AddVerify:", "末尾加校验:"},
    {"Label1", "Over", "超时"},
    {"CheckBox3", "SendEvery:", "定时发送:"},
    {"Label2", "ms/Times", "ms/次"},
    {"BitBtn1", "ShowChart", "显示图表"},
    {"CheckBox14", "RealTime", "实时刷新"},
    {"CheckBox13", "Signed", "带符号数"},
    {"TabSheet1", "Send Multi Char", "多条字符串发送"},
    {"Label5", "<-Drag split line   ", "←拖动分割线    "},
    {"CheckBox6", "Round send,interval:", "自动循环发送, 间隔:"},
    {"Label24", "Data (DbClick to Write notes)", "字符串(双击注释)          "},
    {"Label25", "Send (note)   ", "点击发送    "},
    {"isp255_stm32", "Start Download", "开始下载STM32"},
    {"writelow", "64KBytes/10S Slower", "烧64K字节约10秒,稍慢(普通串口)"},
    {"writemiddle", "64KBytes/5.3S Middle(CH340)", "烧64K字节约5.3秒,适中(CH340)"},
    {"writefast", "Faster(Maybe Error!)", "最快(可能不稳定)"},
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
    return CaptionText(FindEntry("Button_Open"), english, portOpen, false);
}

QString Button5Caption(bool sidePanelShown, bool english) {
    return CaptionText(FindEntry("Button5"), english, false, sidePanelShown);
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
