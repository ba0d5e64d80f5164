#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zenta {

// Progress of a long conversion: Start (percent 0), Step (new percent), End.
enum class ProgressEvent { Start, Step, End };
using ProgressFn = std::function<void(ProgressEvent, int percent)>;

// Inputs at least this long report progress while they are converted.
inline constexpr std::size_t kDisplayProgressThreshold = 10000;

// HEX display form: two upper-case digits and one space per byte ("12 00 FF ").
std::string BytesToHex(std::string_view bytes);
void AppendHex(std::string& out, std::string_view bytes);

// Text display form: NUL becomes backslash + '0', LF becomes CR LF, a CR before an LF is
// dropped (a bare CR stays).
// For inputs of kDisplayProgressThreshold bytes or more, `progress` (if set) gets
// Start, then Step whenever index*100/(length+1) changes, then End.
std::string ToDisplayText(std::string_view bytes, const ProgressFn& progress = {});
void AppendDisplayText(std::string& out, std::string_view bytes, const ProgressFn& progress = {});

}  // namespace zenta
