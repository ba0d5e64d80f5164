// Keyboard, mouse, input method and context menu of the receive window.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QScrollBar>

#include "datapath/TermKeys.h"
#include "datapath/qt/ReceiveView.h"

namespace zenta {

namespace {

// The character a key press stands for, as a terminal would see it.
QString typedText(const QKeyEvent* e) {
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return QStringLiteral("\r");
    if (key == Qt::Key_Backspace)
        return QStringLiteral("\b");
    if (key == Qt::Key_Escape)
        return QStringLiteral("\x1b");
    // Delete edits the view; it stands for no character of the typed line.
    if (key == Qt::Key_Delete)
        return {};
    const auto mods = e->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && key >= Qt::Key_A &&
        key <= Qt::Key_Z)
        return QString(QChar(key - Qt::Key_A + 1));
    if (mods & Qt::ControlModifier)
        return {};
    return e->text();
}

std::optional<TermKey> termKey(int key) {
    switch (key) {
        case Qt::Key_Up:
            return TermKey::Up;
        case Qt::Key_Down:
            return TermKey::Down;
        case Qt::Key_Right:
            return TermKey::Right;
        case Qt::Key_Left:
            return TermKey::Left;
        case Qt::Key_Home:
            return TermKey::Home;
        case Qt::Key_End:
            return TermKey::End;
        case Qt::Key_Insert:
            return TermKey::Insert;
        case Qt::Key_Delete:
            return TermKey::Delete;
        case Qt::Key_PageUp:
            return TermKey::PageUp;
        case Qt::Key_PageDown:
            return TermKey::PageDown;
        default:
            break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        return static_cast<TermKey>(static_cast<int>(TermKey::F1) + (key - Qt::Key_F1));
    }
    return std::nullopt;
}

// What a terminal sends for a key in character mode; empty for keys that send nothing.
QString terminalText(const QKeyEvent* e) {
    const int key = e->key();
    const auto mods = e->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return QStringLiteral("\r");
    if (key == Qt::Key_Backspace)
        return QStringLiteral("\b");
    if (key == Qt::Key_Tab)
        return QStringLiteral("\t");
    if (key == Qt::Key_Backtab)
        return QStringLiteral("\x1b[Z");
    if (key == Qt::Key_Escape)
        return QStringLiteral("\x1b");
    if (const std::optional<TermKey> k = termKey(key)) {
        return QString::fromLatin1(TermKeySequence(*k));
    }
    if (ctrl && !alt) {
        const QString t = e->text();
        char c = 0;
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            c = static_cast<char>('a' + (key - Qt::Key_A));
        else if (key >= 0x20 && key < 0x7F)
            c = static_cast<char>(key);
        if (const std::optional<char> control = ControlCharacter(c))
            return QString(QChar(static_cast<char16_t>(*control)));
        return {};
    }
    const QString t = e->text();
    if (alt && !t.isEmpty())
        return QStringLiteral("\x1b") + t;  // Meta sends ESC first
    return t;
}

bool isPrintable(const QString& s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

bool isWordUnit(char16_t c) {
    return c == u'_' || QChar(c).isLetterOrNumber();
}

}  // namespace

bool ReceiveView::terminalKey(QKeyEvent* event) {
    const auto mods = event->modifiers();
    if ((mods & Qt::ControlModifier) && (mods & Qt::ShiftModifier)) {
        switch (event->key()) {
            case Qt::Key_C:
                copy();
                return true;
            case Qt::Key_V:
                paste();
                return true;
            case Qt::Key_F:
                emit findRequested();
                return true;
            default:
                break;
        }
    }
    if (event->key() == Qt::Key_Insert && mods == Qt::ShiftModifier) {
        paste();
        return true;
    }
    const QString text = terminalText(event);
    if (text.isEmpty())
        return false;
    bool consumed = false;
    emit keyTyped(event->key(), text, &consumed);
    return true;
}

void ReceiveView::paste() {
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    bool consumed = false;
    emit pasteTyped(text, &consumed);
    if (!consumed)
        insertAtCaret(text);
}

void ReceiveView::keyPressEvent(QKeyEvent* event) {
    if (charMode_ && terminalKey(event)) {
        event->accept();
        return;
    }
    const QString typed = typedText(event);
    if (!typed.isEmpty()) {
        bool consumed = false;
        emit keyTyped(event->key(), typed, &consumed);
        if (consumed) {
            event->accept();
            return;
        }
    }
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (event == QKeySequence::Cut) {
        copy();
        replaceSelection({});
    } else if (event == QKeySequence::Paste) {
        paste();
    } else if (handleNavigation(event)) {
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        replaceSelection(u"\n");
    } else if (event->key() == Qt::Key_Backspace) {
        deleteBackward();
    } else if (event->key() == Qt::Key_Delete) {
        deleteForward();
    } else if (isPrintable(typed)) {
        insertAtCaret(typed);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool ReceiveView::handleNavigation(QKeyEvent* event) {
    const bool keep = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const auto& t = text_.text();
    const std::size_t row = text_.rowOf(caret_);
    const auto lastRow = text_.rowCount() - 1;
    std::size_t pos = caret_;
    auto rowMove = [&](std::ptrdiff_t n) {
        const auto target = std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(row) + n, 0,
                                                       static_cast<std::ptrdiff_t>(lastRow));
        return offsetAt(static_cast<std::size_t>(target), cellX(columnOf(caret_)) + 0.5);
    };
    switch (event->key()) {
        case Qt::Key_Left:
            if (!keep && hasSelection())
                pos = std::min(anchor_, caret_);
            else if (pos > 0)
                pos -= (pos >= 2 && QChar::isLowSurrogate(t[pos - 1])) ? 2 : 1;
            break;
        case Qt::Key_Right:
            if (!keep && hasSelection())
                pos = std::max(anchor_, caret_);
            else if (pos < t.size())
                pos += (pos + 1 < t.size() && QChar::isHighSurrogate(t[pos])) ? 2 : 1;
            break;
        case Qt::Key_Up:
            pos = rowMove(-1);
            break;
        case Qt::Key_Down:
            pos = rowMove(1);
            break;
        case Qt::Key_PageUp:
            pos = rowMove(-visibleRowCount());
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
            break;
        case Qt::Key_PageDown:
            pos = rowMove(visibleRowCount());
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            break;
        case Qt::Key_Home:
            pos = ctrl ? 0 : text_.rowStart(row);
            break;
        case Qt::Key_End:
            pos = ctrl ? t.size() : text_.rowEnd(row);
            break;
        default:
            return false;
    }
    moveCaret(pos, keep);
    return true;
}

void ReceiveView::moveCaret(std::size_t pos, bool keepAnchor) {
    caret_ = pos;
    if (!keepAnchor)
        anchor_ = pos;
    ensureCaretVisible();
    restartBlink();
    viewport()->update();
}

void ReceiveView::restartBlink() {
    caretOn_ = true;
    blinksLeft_ = kBlinks;
    if (hasFocus())
        blink_.start();
}

void ReceiveView::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (!commit.isEmpty()) {
        bool consumed = false;
        emit keyTyped(0, commit, &consumed);
        if (!consumed)
            insertAtCaret(commit);
    }
    event->accept();
}

QVariant ReceiveView::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return caretRect().translated(viewport()->geometry().topLeft());
        case Qt::ImFont:
            return font();
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void ReceiveView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    dragPos_ = event->position().toPoint();
    moveCaret(offsetAt(dragPos_), event->modifiers() & Qt::ShiftModifier);
}

void ReceiveView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    dragPos_ = event->position().toPoint();
    const bool outside = dragPos_.y() < 0 || dragPos_.y() >= viewport()->height();
    if (outside && !dragScroll_.isActive())
        dragScroll_.start();
    else if (!outside)
        dragScroll_.stop();
    moveCaret(offsetAt(dragPos_), true);
}

void ReceiveView::dragTick() {
    const int dir = dragPos_.y() < 0 ? -1 : 1;
    QScrollBar* sb = verticalScrollBar();
    sb->setValue(sb->value() + dir);
    caret_ = offsetAt(dragPos_);
    viewport()->update();
}

void ReceiveView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    dragScroll_.stop();
    QClipboard* cb = QApplication::clipboard();
    if (hasSelection() && cb->supportsSelection())
        cb->setText(selectedText(), QClipboard::Selection);
}

void ReceiveView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || text_.size() == 0)
        return;
    const std::size_t pos = offsetAt(event->position().toPoint());
    if (pos < text_.size() && isWordUnit(text_.text()[pos])) {
        anchor_ = wordStart(pos);
        moveCaret(wordEnd(pos), true);
    } else {
        anchor_ = pos;
        moveCaret(std::min(pos + 1, text_.size()), true);
    }
    dragging_ = false;
}

std::size_t ReceiveView::wordStart(std::size_t pos) const {
    const auto& t = text_.text();
    while (pos > 0 && isWordUnit(t[pos - 1]))
        --pos;
    return pos;
}

std::size_t ReceiveView::wordEnd(std::size_t pos) const {
    const auto& t = text_.text();
    while (pos < t.size() && isWordUnit(t[pos]))
        ++pos;
    return pos;
}

void ReceiveView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(menuCopy_, this, [this] { copy(); });
    copyAction->setEnabled(hasSelection());
    QAction* copyPlainAction = menu.addAction(menuCopyPlain_, this, [this] { copyPlain(); });
    copyPlainAction->setEnabled(hasSelection());
    menu.addAction(menuSelectAll_, this, &ReceiveView::selectAll);
    menu.addSeparator();
    menu.addAction(menuClear_, this, [this] {
        if (isSignalConnected(QMetaMethod::fromSignal(&ReceiveView::clearRequested)))
            emit clearRequested();
        else
            clear();
    });
    menu.exec(event->globalPos());
}

void ReceiveView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void ReceiveView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    blink_.stop();
    viewport()->update();
}

}  // namespace zenta
