// The find bar, the line filter and the highlight rules of the receive window.
#include "datapath/qt/FindBar.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>

#include "datapath/qt/ReceiveView.h"

namespace zenta {

namespace {

// How often new text is searched and filtered while the bar is in use.
constexpr int kRefreshMs = 250;
// Units of kept text the filter reads per turn of the event loop.
constexpr std::size_t kFilterBudget = 2 * 1024 * 1024;

QString viewOf(std::u16string_view s) {
    return QString::fromRawData(reinterpret_cast<const QChar*>(s.data()),
                                static_cast<qsizetype>(s.size()));
}

}  // namespace

FindBar::FindBar(ReceiveView* view) : QFrame(view), view_(view) {
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 3, 4, 3);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(2);
    findEdit = new QLineEdit(this);
    findEdit->setObjectName(QStringLiteral("findEdit"));
    findEdit->setClearButtonEnabled(true);
    auto tool = [this](const char* name, const QString& text) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setAutoRaise(true);
        return b;
    };
    previousButton = tool("findPrevious", QStringLiteral("▲"));
    nextButton = tool("findNext", QStringLiteral("▼"));
    matchCaseCheck = new QCheckBox(QStringLiteral("Aa"), this);
    matchCaseCheck->setObjectName(QStringLiteral("findMatchCase"));
    regexCheck = new QCheckBox(QStringLiteral(".*"), this);
    regexCheck->setObjectName(QStringLiteral("findRegex"));
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("findCount"));
    countLabel->setMinimumWidth(110);
    closeButton = tool("findClose", QStringLiteral("✕"));
    filterLabel = new QLabel(this);
    filterEdit = new QLineEdit(this);
    filterEdit->setObjectName(QStringLiteral("filterEdit"));
    filterEdit->setClearButtonEnabled(true);
    rulesButton = tool("highlightRules", QString());
    grid->addWidget(findEdit, 0, 0, 1, 2);
    grid->addWidget(previousButton, 0, 2);
    grid->addWidget(nextButton, 0, 3);
    grid->addWidget(matchCaseCheck, 0, 4);
    grid->addWidget(regexCheck, 0, 5);
    grid->addWidget(countLabel, 0, 6);
    grid->addWidget(closeButton, 0, 7);
    grid->addWidget(filterLabel, 1, 0);
    grid->addWidget(filterEdit, 1, 1, 1, 5);
    grid->addWidget(rulesButton, 1, 6, 1, 2);
    grid->setColumnStretch(1, 1);
    setEnglish(false);
    hide();

    connect(findEdit, &QLineEdit::textChanged, this, &FindBar::research);
    connect(matchCaseCheck, &QCheckBox::toggled, this, [this] {
        research();
        applyFilter();
    });
    connect(regexCheck, &QCheckBox::toggled, this, [this] {
        research();
        applyFilter();
    });
    connect(findEdit, &QLineEdit::returnPressed, this,
            [this] { step(!(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)); });
    connect(nextButton, &QToolButton::clicked, this, &FindBar::findNext);
    connect(previousButton, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(closeButton, &QToolButton::clicked, this, &FindBar::close);
    connect(rulesButton, &QToolButton::clicked, this, &FindBar::rulesRequested);
    // A filter is applied once typing pauses: each change reads the whole text.
    filterDelay_.setSingleShot(true);
    filterDelay_.setInterval(150);
    connect(filterEdit, &QLineEdit::textChanged, &filterDelay_, qOverload<>(&QTimer::start));
    connect(&filterDelay_, &QTimer::timeout, this, &FindBar::applyFilter);
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        feedFilter();
        refresh();
    });

    // Ctrl+F opens the bar from the window; Ctrl+Shift+F too (the form terminals use,
    // where Ctrl+F belongs to the device); Esc closes it, F3 steps.
    ctrlF_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), view_, nullptr, nullptr,
                           Qt::WidgetWithChildrenShortcut);
    connect(ctrlF_, &QShortcut::activated, this, &FindBar::open);
    auto* ctrlShiftF = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), view_, nullptr,
                                     nullptr, Qt::WidgetWithChildrenShortcut);
    connect(ctrlShiftF, &QShortcut::activated, this, &FindBar::open);
    connect(view_, &ReceiveView::findRequested, this, &FindBar::open);
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr,
                              Qt::WidgetWithChildrenShortcut);
    connect(esc, &QShortcut::activated, this, &FindBar::close);
    auto* f3 = new QShortcut(QKeySequence(Qt::Key_F3), view_, nullptr, nullptr,
                             Qt::WidgetWithChildrenShortcut);
    connect(f3, &QShortcut::activated, this, &FindBar::findNext);
    auto* shiftF3 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), view_, nullptr, nullptr,
                                  Qt::WidgetWithChildrenShortcut);
    connect(shiftF3, &QShortcut::activated, this, &FindBar::findPrevious);

    view_->installEventFilter(this);
    view_->setDecorator(
        [this](std::u16string_view text, std::size_t from, std::size_t to,
               std::vector<HighlightSpan>& out) { decorate(view_, text, from, to, out); });
}

FindBar::~FindBar() = default;

void FindBar::setEnglish(bool english) {
    english_ = english;
    findEdit->setPlaceholderText(english ? QStringLiteral("Find") : QStringLiteral("查找"));
    previousButton->setToolTip(english ? QStringLiteral("Previous (Shift+Enter)")
                                       : QStringLiteral("上一个 (Shift+Enter)"));
    nextButton->setToolTip(english ? QStringLiteral("Next (Enter)")
                                   : QStringLiteral("下一个 (Enter)"));
    matchCaseCheck->setToolTip(english ? QStringLiteral("Match case")
                                       : QStringLiteral("区分大小写"));
    regexCheck->setToolTip(english ? QStringLiteral("Regular expression (within a line)")
                                   : QStringLiteral("正则表达式（行内匹配）"));
    closeButton->setToolTip(english ? QStringLiteral("Close (Esc)") : QStringLiteral("关闭 (Esc)"));
    filterLabel->setText(english ? QStringLiteral("Filter") : QStringLiteral("过滤"));
    filterEdit->setPlaceholderText(english ? QStringLiteral("show only lines that contain")
                                           : QStringLiteral("只显示包含此内容的行"));
    rulesButton->setText(english ? QStringLiteral("Highlight...") : QStringLiteral("高亮规则..."));
    updateCount();
}

void FindBar::setHexMode(bool hex) {
    if (hex == hex_)
        return;
    hex_ = hex;
    research();
    applyFilter();
}

void FindBar::setRules(const std::vector<HighlightRule>& rules) {
    rules_.clear();
    for (const HighlightRule& r : rules) {
        const QString pattern = viewOf(r.pattern);
        auto m = MakeMatcher(QString(pattern), r.regex ? QueryKind::Regex : QueryKind::Text,
                             r.matchCase);
        if (m)
            rules_.push_back({std::move(m), r});
    }
    view_->viewport()->update();
    if (filtered_)
        filtered_->viewport()->update();
}

void FindBar::setCtrlFOpens(bool on) {
    ctrlF_->setEnabled(on);
}

void FindBar::open() {
    place();
    show();
    raise();
    refreshTimer_.start();
    findEdit->setFocus(Qt::ShortcutFocusReason);
    findEdit->selectAll();
    research();
}

void FindBar::close() {
    hide();
    // The window shows every line again: a filter left on behind a closed bar would
    // look like lost lines.
    if (!filterEdit->text().isEmpty()) {
        filterDelay_.stop();
        filterEdit->clear();
        applyFilter();
    }
    if (!filtered_)
        refreshTimer_.stop();
    matcher_.reset();
    live_.reset();
    beyond_.reset();
    shownView()->viewport()->update();
    shownView()->setFocus(Qt::OtherFocusReason);
}

ReceiveView* FindBar::shownView() const {
    return filtered_ ? filtered_.data() : view_;
}

QueryKind FindBar::kind() const {
    if (hex_)
        return QueryKind::HexBytes;
    return regexCheck->isChecked() ? QueryKind::Regex : QueryKind::Text;
}

void FindBar::research() {
    if (!isVisible())
        return;
    matcher_ = MakeMatcher(findEdit->text(), kind(), matchCaseCheck->isChecked(), &error_);
    live_.reset();
    beyond_.reset();
    current_ = 0;
    ReceiveView* v = shownView();
    if (matcher_) {
        live_.update(v->keptText(), *matcher_);
        // The first match from where the user is reading.
        const std::size_t from = v->hasSelection()
                                     ? static_cast<std::size_t>(v->caretPosition()) -
                                           static_cast<std::size_t>(v->selectedText().size())
                                     : static_cast<std::size_t>(v->caretPosition());
        const MatchList& list = live_.list();
        current_ = list.firstAtOrAfter(std::min(from, v->keptText().size()));
        if (current_ == list.matches.size())
            current_ = 0;
        if (!list.matches.empty())
            showCurrent(list.matches[current_]);
    }
    updateCount();
    v->viewport()->update();
}

void FindBar::refresh() {
    if (!isVisible() || !matcher_)
        return;
    ReceiveView* v = shownView();
    const std::size_t before = live_.list().total;
    if (live_.update(v->keptText(), *matcher_)) {
        current_ = std::min(current_, live_.list().matches.size());
        beyond_.reset();
    }
    if (live_.list().total != before) {
        updateCount();
        v->viewport()->update();
    }
}

void FindBar::findNext() {
    step(true);
}

void FindBar::findPrevious() {
    step(false);
}

void FindBar::step(bool forward) {
    if (!isVisible()) {
        open();
        return;
    }
    if (!matcher_)
        return;
    ReceiveView* v = shownView();
    refresh();
    const std::u16string& text = v->keptText();
    const MatchList& list = live_.list();
    const std::size_t n = list.matches.size();
    if (n == 0)
        return;
    const bool inList = current_ < n && !beyond_;
    if (inList && forward && (current_ + 1 < n || !list.capped)) {
        current_ = (current_ + 1) % n;
        showCurrent(list.matches[current_]);
    } else if (inList && !forward) {
        current_ = current_ > 0 ? current_ - 1 : n - 1;
        if (current_ == n - 1 && list.capped) {
            // Round the start into matches past the kept ones.
            beyond_ = FindPrevious(text, *matcher_, text.size());
            current_ = n;
            if (beyond_)
                showCurrent(*beyond_);
        } else {
            showCurrent(list.matches[current_]);
        }
    } else {
        // Past the kept matches: the text itself is searched.
        const std::size_t from =
            beyond_ ? (forward ? beyond_->end() : beyond_->pos) : list.matches.back().end();
        const auto m =
            forward ? FindNext(text, *matcher_, from) : FindPrevious(text, *matcher_, from);
        if (!m)
            return;
        current_ = list.firstAtOrAfter(m->pos);
        if (current_ < n && list.matches[current_].pos == m->pos) {
            beyond_.reset();
        } else {
            current_ = n;
            beyond_ = m;
        }
        showCurrent(*m);
    }
    updateCount();
    v->viewport()->update();
}

void FindBar::showCurrent(const TextMatch& m) {
    ReceiveView* v = shownView();
    v->select(static_cast<qsizetype>(m.pos), static_cast<qsizetype>(m.end()));
    // Not hidden under the bar: the match's row goes below it when the bar covers it.
    const QRect r = v->caretRectAt(static_cast<qsizetype>(m.pos));
    if (isVisible() && !r.isEmpty() && r.top() < geometry().bottom()) {
        QScrollBar* bar = v->verticalScrollBar();
        const int rowsUnder = (geometry().bottom() - r.top()) / std::max(1, r.height()) + 1;
        bar->setValue(bar->value() - rowsUnder);
    }
}

QString FindBar::countText() const {
    if (!error_.isEmpty())
        return error_;
    if (!matcher_)
        return QString();
    const MatchList& list = live_.list();
    if (list.total == 0)
        return english_ ? QStringLiteral("No matches") : QStringLiteral("无匹配");
    const QString total =
        QString::number(list.total) + (list.countCapped ? QStringLiteral("+") : QString());
    const bool known = !beyond_ && current_ < list.matches.size();
    if (!known)
        return english_ ? total + QStringLiteral(" matches") : QStringLiteral("共 ") + total;
    const QString index = QString::number(current_ + 1);
    return english_ ? index + QStringLiteral(" of ") + total
                    : QStringLiteral("第 ") + index + QStringLiteral(" 个，共 ") + total;
}

void FindBar::updateCount() {
    countLabel->setText(countText());
    QPalette pal = findEdit->palette();
    const bool bad = !error_.isEmpty() || (matcher_ && live_.list().total == 0);
    pal.setColor(QPalette::Base, bad ? QColor(0xFF, 0xD0, 0xD0) : palette().color(QPalette::Base));
    findEdit->setPalette(pal);
}

void FindBar::applyFilter() {
    const QString query = filterEdit->text();
    QString error;
    filterMatcher_ = MakeMatcher(query, kind(), matchCaseCheck->isChecked(), &error);
    filterEdit->setToolTip(error);
    if (!filterMatcher_) {
        if (filtered_) {
            // The window comes back as it was: it kept every line.
            delete filtered_.data();
            view_->viewport()->update();
            if (!isVisible())
                refreshTimer_.stop();
            research();
        }
        return;
    }
    if (!filtered_) {
        filtered_ = new ReceiveView(view_);
        filtered_->setObjectName(QStringLiteral("filteredView"));
        filtered_->setFont(view_->font());
        filtered_->setVerticalScrollBarPolicy(view_->verticalScrollBarPolicy());
        filtered_->setDecorator([bar = QPointer<FindBar>(this)](std::u16string_view text,
                                                                std::size_t from, std::size_t to,
                                                                std::vector<HighlightSpan>& out) {
            if (bar)
                bar->decorate(bar->filtered_, text, from, to, out);
        });
        // Typing into the filtered lines is typing into the window.
        connect(filtered_, &ReceiveView::keyTyped, view_, &ReceiveView::keyTyped);
        place();
        filtered_->show();
        if (isVisible())
            raise();
    }
    filtered_->setPlainText(QString());
    lineFilter_.reset();
    refreshTimer_.start();
    feedFilter();
    research();
}

void FindBar::feedFilter() {
    if (!filtered_ || !filterMatcher_)
        return;
    const std::u16string& text = view_->keptText();
    std::u16string lines;
    if (!lineFilter_.feed(text, *filterMatcher_, lines, kFilterBudget)) {
        filtered_->setPlainText(QString());
        lineFilter_.reset();
        lineFilter_.feed(text, *filterMatcher_, lines, kFilterBudget);
    }
    if (!lines.empty())
        filtered_->appendText(viewOf(lines));
    // A large text is read over several turns.
    if (!lineFilter_.caughtUp(text))
        QTimer::singleShot(0, this, &FindBar::feedFilter);
}

void FindBar::decorate(const ReceiveView* view, std::u16string_view text, std::size_t from,
                       std::size_t to, std::vector<HighlightSpan>& out) const {
    CollectRuleSpans(text, from, to, rules_, out);
    if (isVisible() && matcher_ && view == shownView()) {
        const MatchList& list = live_.list();
        CollectFindSpans(list, from, to, beyond_ ? list.matches.size() : current_, out);
    }
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    event->accept();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::Resize)
        place();
    return QFrame::eventFilter(watched, event);
}

void FindBar::place() {
    if (filtered_)
        filtered_->setGeometry(view_->rect());
    const int w = std::min(view_->viewport()->width(), std::max(360, sizeHint().width()));
    const QRect area = view_->viewport()->geometry();
    setGeometry(area.right() + 1 - w, area.top(), w, sizeHint().height());
}

}  // namespace zenta
