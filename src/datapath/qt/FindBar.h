#pragma once

#include <QFrame>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "datapath/qt/RegexMatcher.h"
#include "datapath/text/Highlight.h"
#include "datapath/text/LineFilter.h"
#include "datapath/text/LiveMatches.h"
#include "datapath/text/TextSearch.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QShortcut;
class QToolButton;

namespace zenta {

class ReceiveView;

// The find bar over the receive window (Ctrl+F, Esc closes): next / previous, match case,
// regular expression, a match count, every visible match highlighted and the current one
// selected. It also holds the line filter (only matching lines are shown, in a view laid
// over the window; the window itself keeps every line) and draws the highlight rules.
// In HEX view a query is bytes typed as hex.
class FindBar : public QFrame {
    Q_OBJECT

  public:
    // Most matches kept for highlighting and stepping through, and most counted.
    static constexpr std::size_t kKeptMatches = 100'000;
    static constexpr std::size_t kCountedMatches = 1'000'000;

    explicit FindBar(ReceiveView* view);
    ~FindBar() override;

    void open();
    void close();
    // Captions in English or Chinese.
    void setEnglish(bool english);
    // Whether the window shows HEX text (queries are then bytes).
    void setHexMode(bool hex);
    void setRules(const std::vector<HighlightRule>& rules);
    // Whether Ctrl+F opens the bar (on by default). Where Ctrl+F belongs to the device
    // (typing goes out key by key), Ctrl+Shift+F still does.
    void setCtrlFOpens(bool on);

    // Steps to the next / previous match from the current one (or the caret) and
    // selects it.
    void findNext();
    void findPrevious();
    // The count as shown ("3 of 120"); the kept matches; the current match's index
    // into them (none: size()).
    QString countText() const;
    const MatchList& matches() const { return live_.list(); }
    std::size_t currentIndex() const { return current_; }
    // The view the user reads: the filtered one while a filter is set.
    ReceiveView* shownView() const;
    ReceiveView* filteredView() const { return filtered_; }

    QLineEdit* findEdit = nullptr;
    QToolButton* previousButton = nullptr;
    QToolButton* nextButton = nullptr;
    QCheckBox* matchCaseCheck = nullptr;
    QCheckBox* regexCheck = nullptr;
    QLabel* countLabel = nullptr;
    QToolButton* closeButton = nullptr;
    QLabel* filterLabel = nullptr;
    QLineEdit* filterEdit = nullptr;
    QToolButton* rulesButton = nullptr;

  signals:
    // "Highlight rules..." pressed: the owner edits the rules and calls setRules.
    void rulesRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Keys the bar's fields leave (Enter above all) stop here: passed on, they would be
    // typed into the window beneath.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void place();
    QueryKind kind() const;
    // The query changed: searches the whole text again from the caret.
    void research();
    // New text came (or the view changed): the kept matches follow it.
    void refresh();
    void step(bool forward);
    void showCurrent(const TextMatch& m);
    void updateCount();
    void applyFilter();
    void feedFilter();
    void decorate(const ReceiveView* view, std::u16string_view text, std::size_t from,
                  std::size_t to, std::vector<HighlightSpan>& out) const;

    ReceiveView* view_;
    QPointer<ReceiveView> filtered_;
    bool english_ = false;
    bool hex_ = false;
    std::unique_ptr<TextMatcher> matcher_;
    QString error_;
    LiveMatches live_{kKeptMatches, kCountedMatches};
    std::size_t current_ = 0;
    // The current match when it lies past the kept ones.
    std::optional<TextMatch> beyond_;
    std::vector<ActiveRule> rules_;
    std::unique_ptr<TextMatcher> filterMatcher_;
    LineFilter lineFilter_;
    QShortcut* ctrlF_ = nullptr;
    QTimer refreshTimer_;
    QTimer filterDelay_;
};

}  // namespace zenta
