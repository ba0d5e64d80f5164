#pragma once

#include <cstdint>
#include <string>

#include "datapath/CaptureFile.h"
#include "datapath/FileSend.h"

// Texts of the file row and the data saving, UTF-8, chosen by language when shown.
namespace zenta {

std::string PreviewHeader(std::int64_t length, bool english);
std::string FileSendReport(std::int64_t length, std::int64_t baud, std::int64_t seconds,
                           bool english);
std::string UserAbortText(bool english);
std::string SendOkText(bool english);
// The file to send could not be taken: the general line, then what exactly went wrong.
std::string FileUnreadableText(const std::string& path, const FileRead& why, bool english);
// A write to the port failed during a file send.
std::string FileSendPortErrorText(bool english);
std::string SavedText(const std::string& dataPath, const std::string& windowPath, bool english);
std::string SaveFailedText(const std::string& path, const std::string& reason, bool english);
std::string CaptureStartedText(const std::string& path, bool english);
std::string CaptureFailedText(const std::string& path, const std::string& reason, bool english);
// A capture stopped because a write failed (disk full): path, reason, bytes kept.
std::string CaptureStoppedText(const CaptureFailure& failure, bool english);

}  // namespace zenta
