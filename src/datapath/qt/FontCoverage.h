#pragma once

#include <atomic>
#include <memory>
#include <thread>

namespace zenta {

// Which characters some installed font can draw, from fontconfig's character sets.
// Asking Qt instead, for a character no font has, walks every fallback font of the
// character's script before it settles on the missing-glyph box: tens of
// milliseconds for each new script, on the thread that asks. The set is built once, on
// a thread of its own; until it is ready nothing is known.
class FontCoverage {
  public:
    enum class Answer { Unknown, Covered, Missing };

    // The one set of this process (starts building it on first use).
    static FontCoverage& Installed();

    Answer covers(char32_t c) const;
    // Waits until the set is built (tests).
    void waitReady() const;

    ~FontCoverage();
    FontCoverage(const FontCoverage&) = delete;
    FontCoverage& operator=(const FontCoverage&) = delete;

  private:
    FontCoverage();
    struct Set;
    std::unique_ptr<Set> set_;
    std::atomic<bool> ready_{false};
    std::thread builder_;
};

}  // namespace zenta
