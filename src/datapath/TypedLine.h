#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "datapath/TermKeys.h"
#include "datapath/text/TextEncoding.h"

namespace zenta {

// The line typed into the receive window, sent on Enter like a terminal would.
// Bytes are in the send code page (GB18030 by default: a typed Chinese character
// arrives as its two or four bytes).
class TypedLine {
  public:
    // One key press with the bytes of its text. Returns the bytes to write when the
    // key is Enter and the port is open (the line and its line end), else nullopt.
    // Backspace removes the last character, so what is sent is what the user sees;
    // other control keys and Delete are refused (refused() tells), never kept unseen in
    // the line.
    std::optional<std::string> OnKey(std::string_view keyText, bool portOpen);
    bool refused() const { return refused_; }

    void setLineEnd(LineEnd end) { lineEnd_ = end; }

    // The code page of the keys' bytes, for Backspace to remove whole characters.
    void setEncoding(TextEncoding encoding) { encoding_ = encoding; }

    const std::string& text() const { return line_; }
    void clear() { line_.clear(); }

  private:
    void RemoveLastCharacter();
    std::string line_;
    TextEncoding encoding_ = TextEncoding::Gb18030;
    LineEnd lineEnd_ = LineEnd::CrLf;
    bool refused_ = false;
};

}  // namespace zenta
