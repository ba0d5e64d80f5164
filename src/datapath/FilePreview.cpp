#include "datapath/FilePreview.h"

#include "datapath/ByteForms.h"
#include "datapath/FileTexts.h"

namespace zenta {

FilePreviewText ApplyFilePreview(ReceiveState& rx, std::string_view firstBytes, std::int64_t length,
                                 bool hexDisplay, bool english) {
    const std::string_view shown = firstBytes.substr(0, kPreviewBytes);
    rx.rxRawAll = ToDisplayText(shown);
    rx.SetHexAll(BytesToHex(shown));
    FilePreviewText t;
    t.header = PreviewHeader(length, english);
    t.body = hexDisplay ? rx.HexAll() : rx.rxRawAll;
    return t;
}

}  // namespace zenta
