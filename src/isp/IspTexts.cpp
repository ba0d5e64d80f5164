#include "isp/IspTexts.h"

namespace zenta::isp {

std::string Text(IspText id, bool english) {
    switch (id) {
        case IspText::PortError:
            return english ? "Current Serial port Error!\r\n1.The USB is loose?\r\n2.The Baudrate "
                             "is too high?Please select the slower mode."
                           : "串口错误!\r\n1.USB松了?\r\n2.波特率太高?请选择最慢的方式.";
        case IspText::SetBaudError:
            return "Set baudrate error!";
        case IspText::FileMissing:
            return english ? "Please click on the \"open file\" in the left and select a HEX file."
                           : "请点左边的\"打开文件\"选择一个HEX文件.";
        case IspText::NotHex:
            return english ? "\r\nThe file is not a HEX file!\r\n"
                           : "\r\n你打开的好像不是HEX文件\r\n";
        case IspText::ResetError:
            return " CPU RESET error!";
        case IspText::Connecting:
            return "\r\nStart connecting  MCU...\r\n";
        case IspText::Sync:
            return "7F ";
        case IspText::SendSyncError:
            return "\r\nSend 7F error";
        case IspText::AckError:
            return "\r\nack error";
        case IspText::Connected:
            return english ? " Has been connected to the MCU, Click \"stop\" to quit. |"
                           : " 已连接到单片机，点‘停止’可退出。 |";
        case IspText::Erased:
            return "\r\nerased OK!Start Download...\r\n";
        case IspText::Running:
            return english ? "\r\nUser's Program is Running!\r\n" : "\r\n用户程序已运行!\r\n";
        case IspText::NoConnection:
            return english ? "\r\nCan not connect \r\n1.Power off?Wrong serial number?\r\n2.RXD."
                             "TXD,DTR,RTS are no weld?\r\n3.Try the Slower mode.\r\n4.In the "
                             "manual mode,The MCU is not ISP state?"
                           : "\r\n无法连接MCU\r\n1.没有上电,串口号错误?\r\n2.连接线虚焊?\r\n3."
                             "试试最慢的速度.\r\n4.手动连接方式下,单片机未预先进入ISP状态?";
        case IspText::DataCheck:
            return english ? "\r\nData check error,Chick \"stop\" to quit.\r\n"
                           : "\r\n数据校验错误（ACKerr）.\r\n点‘停止’退出烧写。\r\n";
        case IspText::Abort:
            return english ? "\r\nUser abort!\r\n" : "\r\n用户中止！\r\n";
    }
    return {};
}

std::string ChecksumLine(std::uint32_t line, bool english) {
    return english ? "Checksum error in line " + std::to_string(line) + ".\r\n"
                   : "第" + std::to_string(line) + "行校验和错误.\r\n";
}

std::string FileLine(const std::string& name, std::uint64_t size, int bitRate) {
    return name + "\r\nSize:" + std::to_string(size) +
           "Bytes,Baudrate: " + std::to_string(bitRate) + " BPS";
}

std::string ReportLine(std::uint64_t writtenLength, std::uint64_t elapsedMs) {
    const std::uint64_t divisor = elapsedMs == 0 ? 1 : elapsedMs;
    return "\r\nProgram " + std::to_string(writtenLength) + " bytes,Used " +
           std::to_string(elapsedMs) + " mS." + std::to_string(writtenLength * 1000 / divisor) +
           " bytes/S.";
}

int SpeedOrdinal(bool /*low*/, bool middle, bool fast) {
    if (fast) {
        return 20;
    }
    return middle ? 17 : 13;
}

}  // namespace zenta::isp
