#include "isp/IspTexts.h"

#include <cstdio>

#include "isp/HexImage.h"

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
        case IspText::NoFlashData:
            return english ? "\r\nThe file holds no data for the flash: the chip was not "
                             "touched.\r\n"
                           : "\r\n文件中没有要写入闪存的数据,未动芯片.\r\n";
        case IspText::ReadProtected:
            return english ? "\r\nThe chip's flash is read-protected: nothing was erased or "
                             "written.\r\n"
                           : "\r\n芯片闪存处于读保护状态,未擦除也未写入.\r\n";
        case IspText::AskReadoutUnprotect:
            return english
                       ? "The chip's flash is read-protected.\nRemoving the protection "
                         "ERASES THE WHOLE FLASH of the chip.\nRemove it and go on?"
                       : "芯片闪存处于读保护状态.\n解除保护将擦除芯片的整个闪存.\n解除并继续吗?";
        case IspText::AskWriteUnprotect:
            return english ? "The chip refused the erase: its flash is write-protected.\n"
                             "Removing the protection lets the WHOLE FLASH be erased.\n"
                             "Remove it and go on?"
                           : "芯片拒绝擦除:闪存处于写保护状态.\n解除保护后整个闪存将可被擦除.\n"
                             "解除并继续吗?";
        case IspText::Unprotected:
            return english ? "\r\nProtection removed; the chip restarts.\r\n"
                           : "\r\n保护已解除,芯片重新启动.\r\n";
        case IspText::EraseRefused:
            return english ? "\r\nThe chip refused the erase (write protection?): nothing "
                             "was written.\r\n"
                           : "\r\n芯片拒绝擦除(写保护?),未写入.\r\n";
        case IspText::EraseTimeout:
            return english ? "\r\nThe chip did not confirm the erase in time.\r\n"
                           : "\r\n芯片未在规定时间内确认擦除.\r\n";
        case IspText::PagesNeedKnownChip:
            return english ? "\r\nErasing only the image's pages needs a known chip: nothing "
                             "was erased.\r\n"
                           : "\r\n只擦除映像所占页需要已知芯片,未擦除.\r\n";
        case IspText::Verified:
            return english ? " verified" : " 校验通过";
        case IspText::BusySending:
            return english ? "A file is being sent: programming can start when it has ended."
                           : "正在发送文件,发送结束后才能烧写.";
    }
    return {};
}

namespace {

std::string Hex32(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

std::string Hex8(std::uint8_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v);
    return text;
}

}  // namespace

std::string OutsideFlashLine(std::uint32_t address, bool english) {
    return english ? "\r\nThe image holds data at " + Hex32(address) +
                         ", outside the chip's flash: the chip was not erased.\r\n"
                   : "\r\n映像在 " + Hex32(address) + " 处有数据,超出芯片闪存范围,未擦除.\r\n";
}

std::string TooLargeLine(std::uint32_t address, std::uint32_t flashKiB, bool english) {
    return english ? "\r\nThe image is too large: data at " + Hex32(address) + ", beyond the " +
                         std::to_string(flashKiB) + " KiB of flash; the chip was not erased.\r\n"
                   : "\r\n映像太大:" + Hex32(address) + " 处的数据超出 " +
                         std::to_string(flashKiB) + " KiB 闪存,未擦除.\r\n";
}

std::string VerifyMismatchLine(std::uint32_t address, std::uint8_t wrote, std::uint8_t read,
                               bool english) {
    return english ? "\r\nVerify failed at " + Hex32(address) + ": wrote " + Hex8(wrote) +
                         ", read " + Hex8(read) + "; the program was not started.\r\n"
                   : "\r\n校验失败,地址 " + Hex32(address) + ":写入 " + Hex8(wrote) + ",读回 " +
                         Hex8(read) + ";未运行程序.\r\n";
}

std::string UnknownChipLine(std::uint16_t productId, bool english) {
    char id[8];
    std::snprintf(id, sizeof id, "0x%03X", productId);
    return english ? std::string("\r\nUnknown chip, product ID ") + id +
                         ": flash size not checked, the whole chip is erased."
                   : std::string("\r\n未知芯片,产品ID ") + id + ":不检查闪存大小,擦除整片.";
}

std::string SizeUnreadableLine(std::uint32_t flashKiB, bool english) {
    return english ? "\r\nThe flash size register cannot be read; taking " +
                         std::to_string(flashKiB) + " KiB."
                   : "\r\n无法读取闪存容量寄存器,按 " + std::to_string(flashKiB) + " KiB 处理.";
}

std::string RefusedImageText(const HexParseResult& r, bool english) {
    std::string text;
    switch (r.format) {
        case ImageFormat::IntelHex:
            text = Text(IspText::NotHex, english);
            break;
        case ImageFormat::SRecord:
            text = english ? "\r\nThe file is not a valid S-record file!\r\n"
                           : "\r\n你打开的S-record文件有错误\r\n";
            break;
        case ImageFormat::Elf:
            text = english ? "\r\nThe ELF file cannot be flashed!\r\n" : "\r\nELF文件无法烧写\r\n";
            break;
        case ImageFormat::Binary:
            break;
    }
    const std::string l = std::to_string(r.line);
    const std::string c = std::to_string(r.column);
    const std::string where =
        english ? " in line " + l + ", column " + c + ".\r\n" : "(第" + l + "行第" + c + "列).\r\n";
    switch (r.status) {
        case HexStatus::Ok:
            return {};
        case HexStatus::NotHex:
            return text;
        case HexStatus::BadChecksum:
            return text + (english ? "Checksum error" : "校验和错误") + where;
        case HexStatus::CutShort:
            return text + (english ? "Record cut short" : "记录不完整") + where;
        case HexStatus::BadCharacter:
            return text + (english ? "Unexpected character" : "非法字符") + where;
        case HexStatus::BadLength:
            return text +
                   (english ? "Record length does not match its count" : "记录长度与计数不符") +
                   where;
        case HexStatus::BadType:
            return text + (english ? "Unknown record type" : "未知记录类型") + where;
        case HexStatus::AfterEnd:
            return text + (english ? "Records after the end record" : "结束记录之后还有记录") +
                   where;
        case HexStatus::BadCount:
            return text +
                   (english ? "Record count does not match the data records"
                            : "记录计数与数据记录数不符") +
                   where;
        case HexStatus::Overlap:
            if (r.format == ImageFormat::Elf) {
                return text + (english ? "Overlapping segments with different data at " +
                                             Hex32(r.address) + ".\r\n"
                                       : "段重叠且数据不同,地址 " + Hex32(r.address) + ".\r\n");
            }
            return text +
                   (english ? "Overlapping records with different data at " + Hex32(r.address)
                            : "记录重叠且数据不同,地址 " + Hex32(r.address)) +
                   where;
        case HexStatus::ElfClass:
            return text + (english ? "It is not a 32-bit little-endian ELF file.\r\n"
                                   : "不是32位小端ELF文件.\r\n");
        case HexStatus::ElfDamaged:
            return text + (english ? "Its headers or segments reach past the end of the file.\r\n"
                                   : "文件头或段超出文件末尾.\r\n");
        case HexStatus::AddressGiven:
            return english ? "\r\nThe file holds its own addresses: a start address is for "
                             "binary files only. The chip was not touched.\r\n"
                           : "\r\n文件自带地址:起始地址只用于二进制文件.未动芯片.\r\n";
    }
    return text;
}

std::string MissingEndLine(bool english) {
    return english ? "\r\nWarning: the file has no end record; it may be incomplete."
                   : "\r\n警告:文件没有结束记录,可能不完整.";
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
