// Colours drawn over the receive window's text: find matches and highlight rules.
#include "datapath/qt/ReceiveView.h"

namespace zenta {

void ReceiveView::setDecorator(Decorator decorator) {
    decorator_ = std::move(decorator);
    viewport()->update();
}

void ReceiveView::collectSpans() {
    spans_.clear();
    overlay_.reset(0, 0);
    const std::size_t rows = text_.rowCount();
    if (!decorator_ || rows == 0)
        return;
    const auto first = static_cast<std::size_t>(firstVisibleRow());
    if (first >= rows)
        return;
    const std::size_t last =
        std::min(rows - 1, first + static_cast<std::size_t>(std::max(visibleRowCount(), 1)));
    decorator_(text_.text(), text_.rowStart(first), text_.rowEnd(last), spans_);
}

bool ReceiveView::overlayRow(std::size_t row) {
    overlay_.reset(0, 0);
    if (spans_.empty())
        return false;
    const std::size_t s = text_.rowStart(row);
    const std::size_t e = text_.rowEnd(row);
    bool touched = false;
    for (const HighlightSpan& span : spans_) {
        if (span.to > s && span.from < e) {
            if (!touched)
                overlay_.reset(s, e);
            touched = true;
            overlay_.add(span);
        }
    }
    return touched;
}

}  // namespace zenta
