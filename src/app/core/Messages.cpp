#include "app/core/Messages.h"

namespace zenta {

namespace {

struct Pair {
    const char* english;  // UTF-8
    const char* chinese;  // nullptr: the English text is the only one
};

Pair Texts(MsgId id) {
    switch (id) {
        case MsgId::TraditionalSystemWarning: {
            static const char* t =
                "您的系统是繁体.为了避免显示乱码,请按如下设置:\r\n控制面板 / 区域和语言 / 管理 / "
                "非Unicode程序的语言 / 更改系统区域语言设置为:中文(简体,中国)\r\n\r\n";
            return {t, nullptr};
        }
        case MsgId::EnglishSystemWarning:
            return {
                "Your Windows system is English.In order to avoid the garbled,Please change "
                "language:\r\nControl panel / regional and language / management / non Unicode "
                "program language / change system regional language settings: Chinese "
                "(simplified, China)\r\n\r\n",
                nullptr};
        case MsgId::OpenError:
            return {
                "Current Serial port Error!!!\r\n1.The USB is loose？\r\n2.The Baudrate is too "
                "high？\r\n3.The mainboard COM Should be Lower than 115200BPS..\r\nPlease test: "
                "115200,8,1,None,None\r\n4.it is occupied by other programs?",
                "当前串口号无法打开!请检查后重新打开!\r\n1.usb串口松了？\r\n2.波特率设置太高？"
                "\r\n3.主板串口不能大于115200BPS且停止位不能用1.5位.USB串口无此限制.\r\n"
                "请试一下: 115200,8,1,None,None\r\n4.是否被其他程序占用了？"};
        case MsgId::DtrError:
            return {
                "Unable to set DTR!!!\r\n1.The USB is loose？\r\n2.The Baudrate is too high？"
                "\r\n3.The mainboard COM Should be Lower than 115200BPS..\r\nPlease test: "
                "115200,8,1,None,None\r\n4.it is occupied by other programs?",
                "DTR无法设置!请检查后重新打开!\r\n1.usb串口松了？\r\n2.波特率设置太高？\r\n"
                "(建议试试115200,8,1,None,None)\r\n3.被其他程序占用了？"};
        case MsgId::RtsError:
            return {
                "Unable to set RTS!!!\r\n1.The USB is loose？\r\n2.The Baudrate is too high？"
                "\r\n3.The mainboard COM Should be Lower than 115200BPS..\r\nPlease test: "
                "115200,8,1,None,None\r\n4.it is occupied by other programs?",
                "RTS无法设置!请检查后重新打开!\r\n1.usb串口松了？\r\n2.波特率设置太高？\r\n"
                "(建议试试115200,8,1,None,None)\r\n3.被其他程序占用了？"};
        case MsgId::CustomBaudCaption:
            return {"Custom baudrate", nullptr};
        case MsgId::CustomBaudPrompt:
            return {"Please input  the custom baud rate:         ", nullptr};
        case MsgId::CustomBaudNotANumber:
            return {"please input a number!", nullptr};
        case MsgId::CustomBaudNone:
            return {"It's none!", nullptr};
        case MsgId::CustomBaudTooHigh:
            return {"The highest baudrate is 50M BPS", nullptr};
        case MsgId::CustomBaudTooLow:
            return {"The lowest baudrate is 110 BPS", nullptr};
        case MsgId::CustomBaudUnsupported:
            return {"This Port does not support the baudrate,Please try 115200BPS!", nullptr};
        case MsgId::IniError:
            return {"The ini file can't be created.please Check the folder is read-only?",
                    "配置文件无法建立.请检查zenta.ini文件或者所在文件夹是否只读!"};
        case MsgId::PortOpenedState:
            return {" Opened  ", " 已打开  "};
        case MsgId::PortClosedState:
            return {" Closed  ", " 已关闭  "};
        case MsgId::PacketTimeoutNote:
            return {
                "\r\nNOTE:\"ShowPacket time\" must be lesser than Packet interval time.\r\n"
                "Between ◇ and □,It's Transmitted data.After ◆,It's Received data.\r\n",
                "\r\n提示:‘超时换行时间’必须比收到的数据包之间的间隔时间短一些，才能正确显示。"
                "\r\n◇和□之间是发送的数据包,◆之后是接收的数据包."};
        case MsgId::InvalidHexSend:
            return {
                "Input valid HEX data，Input(\"0-9\",\"A-F\",\"a-f\",\" \")!\r\nFor Example: FF "
                "81 55 Aa",
                "不是有效HEX字符组合，请输入(\"0-9\",\"A-F\",\"a-f\",\" \")!\r\n"
                "每两个字符之间空一个空格."};
        case MsgId::InvalidHexKey:
            return {
                "Input valid HEX data(\"0-9\",\"A-F\",\"a-f\",\" \")!\r\nFor Example: FF 81 55 "
                "Aa",
                "不是有效HEX字符组合(\"0-9\",\"A-F\",\"a-f\",\" \")!\r\n每两个字符之间空一个空格."};
        case MsgId::EmptyPayloadChecksum:
            return {
                "Nothing to send: the line gives no bytes, so no checksum was sent.\r\n"
                "Enter the data, or choose \"None\" as the checksum.",
                "没有可发送的数据:这一行不含任何字节,因此校验值也没有发送.\r\n"
                "请输入数据,或者把校验方式选为\"None\"."};
        case MsgId::OpeningPort:
            return {"\r\nopen the port...\r\n", "\r\n正在打开串口...\r\n"};
        case MsgId::AutoRepair:
            return {"\r\nCOM is Error,auto repair...", "\r\n串口号故障!自动修复中..."};
        case MsgId::ClosingPort:
            return {"\r\nClose the port...", "\r\n关闭串口..."};
        case MsgId::ReopeningPort:
            return {"\r\nOpen the port...\r\n", "\r\n打开串口...\r\n"};
        case MsgId::ReopenFailed:
            return {"\r\nUnable to open the serial port,Please check it!\r\n",
                    "\r\n无法打开串口,请检查!\r\n"};
        case MsgId::TimedIntervalEmpty:
            return {"Set interVal!", "请设置时钟间隔!"};
        case MsgId::TimedIntervalZero:
            return {"Please enter a number", "请设置非0数据!"};
        case MsgId::NotePrompt:
            return {"Please enter the note:", "Please enter the note:/请输入条目的注释:       "};
        case MsgId::LoopIntervalEmpty:
            return {"Please set interval!", "请设置时钟间隔!"};
        case MsgId::SettingsKeptAs:
            return {
                "The settings file could not be read. It was kept as %1 and a new one was "
                "written.",
                "配置文件无法读取，已另存为 %1，并写入了新的配置文件。"};
        case MsgId::SettingsInUse:
            return {
                "Another zenta window keeps its settings in %1. This window reads them but "
                "does not save its own changes.",
                "另一个 zenta 窗口正在使用 %1 中的配置文件。本窗口只读取它，不保存自己的设置。"};
        case MsgId::LineNotTaken:
            return {"The port does not take this setting: %1.", "串口不支持此设置：%1。"};
        case MsgId::LoopIntervalZero:
            return {"please enter a number!", "请设置非0数据!"};
    }
    return {"", nullptr};
}

}  // namespace

QString Msg(MsgId id, bool english) {
    const Pair p = Texts(id);
    return QString::fromUtf8(english || !p.chinese ? p.english : p.chinese);
}

QString CtsText(bool on) {
    return on ? QStringLiteral("CTS=1 ") : QStringLiteral("CTS=0 ");
}
QString DsrText(bool on) {
    return on ? QStringLiteral("DSR=1 ") : QStringLiteral("DSR=0 ");
}
QString RlsdText(bool on) {
    return on ? QStringLiteral("RLSD=1 ") : QStringLiteral("RLSD=0 ");
}

}  // namespace zenta
