#include "datapath/qt/FontCoverage.h"

#include <fontconfig/fontconfig.h>

namespace zenta {

struct FontCoverage::Set {
    FcCharSet* chars = nullptr;
    ~Set() {
        if (chars != nullptr) {
            FcCharSetDestroy(chars);
        }
    }
};

FontCoverage& FontCoverage::Installed() {
    static FontCoverage coverage;
    return coverage;
}

FontCoverage::FontCoverage() : set_(std::make_unique<Set>()) {
    builder_ = std::thread([this] {
        FcCharSet* all = FcCharSetCreate();
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_CHARSET, nullptr);
        FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
        for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
            FcCharSet* chars = nullptr;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &chars) == FcResultMatch) {
                FcCharSetMerge(all, chars, nullptr);
            }
        }
        // Without a font list (fonts that Qt finds some other way) nothing is known.
        const bool listed = fonts != nullptr && fonts->nfont > 0;
        if (fonts != nullptr) {
            FcFontSetDestroy(fonts);
        }
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
        if (listed) {
            set_->chars = all;
        } else {
            FcCharSetDestroy(all);
        }
        ready_.store(true, std::memory_order_release);
        ready_.notify_all();
    });
}

FontCoverage::~FontCoverage() {
    if (builder_.joinable()) {
        builder_.join();
    }
}

FontCoverage::Answer FontCoverage::covers(char32_t c) const {
    if (!ready_.load(std::memory_order_acquire) || set_->chars == nullptr) {
        return Answer::Unknown;
    }
    return FcCharSetHasChar(set_->chars, c) ? Answer::Covered : Answer::Missing;
}

void FontCoverage::waitReady() const {
    ready_.wait(false, std::memory_order_acquire);
}

}  // namespace zenta
