#include "datapath/FileTexts.h"

#include <cstring>

namespace zenta {

namespace {

std::string Pick(bool english, std::string en, std::string cn) {
    return english ? std::move(en) : std::move(cn);
}

}  // namespace

std::string PreviewHeader(std::int64_t length, bool english) {
    const std::string n = std::to_string(length);
    return english ? "FileSize:" + n + "bytes. The first 4K data is:\r\n\r\n"
                   : "文件大小:" + n + "字节,下面是预览的4K字节内容:\r\n\r\n";
}

std::string FileSendReport(std::int64_t length, std::int64_t baud, std::int64_t seconds,
                           bool english) {
    std::string t = (english ? "FileSize: " : "文件大小: ") + std::to_string(length);
    if (english) {
        t += "\r\nBaudRate " + std::to_string(baud) +
             "bps\r\nTime require: " + std::to_string(seconds) + " S\r\nWait...\r\n";
    } else {
        t += "\r\n波特率 " + std::to_string(baud) + "bps\r\n需要时间:大约 " +
             std::to_string(seconds) + " 秒\r\n请稍候...\r\n";
    }
    return t;
}

std::string UserAbortText(bool english) {
    return Pick(english, "User abort!\r\n", "用户中止！\r\n");
}

std::string SendOkText(bool english) {
    return Pick(english, "Send ok!", "发送完毕！");
}

std::string FileUnreadableText(const std::string& path, const FileRead& why, bool english) {
    std::string t = Pick(english, "File does not exist or has been opened by another program!",
                         "文件不存在或者已经被别的程序打开!");
    std::string cause;
    switch (why.error) {
        case FileReadError::None:
            return t;
        case FileReadError::Missing:
            cause = Pick(english, "No such file: ", "找不到文件: ");
            break;
        case FileReadError::NoPermission:
            cause = Pick(english, "No permission to read: ", "没有读取权限: ");
            break;
        case FileReadError::Folder:
            cause = Pick(english, "This is a folder, not a file: ", "这是文件夹,不是文件: ");
            break;
        case FileReadError::NotAFile:
            cause = Pick(english, "This is not an ordinary file: ", "这不是普通文件: ");
            break;
        case FileReadError::ReadFailed:
            cause = Pick(english, "The file cannot be read: ", "文件读取失败: ");
            break;
    }
    t += "\r\n" + cause + path;
    if (why.error == FileReadError::ReadFailed && why.sysError != 0) {
        t += std::string(" (") + std::strerror(why.sysError) + ")";
    }
    return t;
}

std::string FileSendPortErrorText(bool english) {
    return Pick(english,
                "Current Serial port Error!!!\r\n1.The USB is loose？\r\n2.The Baudrate is too "
                "high？\r\n3.The mainboard COM Should be Lower than 115200BPS..\r\nPlease test: "
                "115200,8,1,None,None\r\n4.it is occupied by other programs?",
                "当前串口号无效!\r\n请检查后重新打开!如usb串口松了。\r\n或者被其他程序占用了.");
}

std::string SavedText(const std::string& dataPath, const std::string& windowPath, bool english) {
    return english ? "The data has been saved in the current directory!,file name:\r\n" + dataPath +
                         "\r\nWindow contents has been saved to:\r\n" + windowPath
                   : "收到的原始数据已保存在当前目录!,文件名:\r\n" + dataPath +
                         "\r\n接收窗口的内容保存在:\r\n" + windowPath;
}

std::string SaveFailedText(const std::string& path, const std::string& reason, bool english) {
    return Pick(english, "The data could not be saved:\r\n", "数据无法保存:\r\n") + path + "\r\n" +
           reason;
}

std::string CaptureStartedText(const std::string& path, bool english) {
    return Pick(english, "The later received data will be saved to:\r\n",
                "之后接收到的数据都将存到：\r\n") +
           path;
}

std::string CaptureFailedText(const std::string& path, const std::string& reason, bool english) {
    return Pick(english, "The file for the received data cannot be created:\r\n",
                "无法创建保存接收数据的文件:\r\n") +
           path + "\r\n" + reason;
}

std::string CaptureStoppedText(const CaptureFailure& failure, bool english) {
    const std::string count = std::to_string(failure.bytesKept);
    return english
               ? "Saving the received data has stopped: the file cannot be written:\r\n" +
                     failure.path + "\r\n" + failure.reason + "\r\n" + count +
                     " bytes were saved to it before that; later data is not in it."
               : "接收数据的保存已停止,文件无法写入:\r\n" + failure.path + "\r\n" + failure.reason +
                     "\r\n此前已保存" + count + "字节,之后收到的数据不在文件中。";
}

}  // namespace zenta
