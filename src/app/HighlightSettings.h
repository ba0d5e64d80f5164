#pragma once
// Highlight rules of the receive window, kept in the second settings file.

#include <QSettings>
#include <vector>

#include "datapath/text/Highlight.h"

namespace zenta {

// The rules as stored: a group "highlight" with an array "rules" of pattern, regex,
// matchCase, colour ("#rrggbb") and background. A rule with an empty pattern or a
// colour that does not read is left out.
std::vector<HighlightRule> LoadHighlightRules(QSettings& settings);
void SaveHighlightRules(QSettings& settings, const std::vector<HighlightRule>& rules);

// What a fresh file starts with: errors in red letters, passes on green.
std::vector<HighlightRule> DefaultHighlightRules();

}  // namespace zenta
