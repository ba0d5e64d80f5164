#pragma once

#include <QString>

#include <span>

namespace zenta {

extern const char kVersionText[];

// Captions that depend on a state of the window take their second pair of texts
// while that state holds.
enum class CaptionState { None, PortOpen, SidePanelShown };

struct CaptionEntry {
    const char* objectName;  // the control's object name
    const char* english;     // UTF-8
    const char* chinese;
    CaptionState state = CaptionState::None;
    const char* englishWhenState = nullptr;
    const char* chineseWhenState = nullptr;
};

// The controls re-captioned by a language switch, in the order they are applied.
std::span<const CaptionEntry> CaptionTable();

// The caption of one entry for a language and the current window state.
QString CaptionText(const CaptionEntry& entry, bool english, bool portOpen, bool sidePanelShown);

QString ButtonOpenCaption(bool portOpen, bool english);     // the open button
QString Button5Caption(bool sidePanelShown, bool english);  // the side panel button

// "ZENTA V" + the version + " Serial data debugger,Author:" + credit, or the Chinese form.
QString WindowCaption(bool english);

// The programmer page's help text.
QString Stm32HelpText(bool english);

}  // namespace zenta
