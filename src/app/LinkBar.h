#pragma once
// The link bar: five captions that open web addresses, highlighted under the pointer.
// The update page may replace their captions and addresses. Needs nothing from outside.

#include <QObject>
#include <QString>
#include <array>

class ClickLabel;
class PanelFrame;
class QWidget;

class LinkBar : public QObject {
    Q_OBJECT
  public:
    static constexpr int kLinks = 5;

    explicit LinkBar(QWidget* parent);

    PanelFrame* bar = nullptr;
    std::array<ClickLabel*, kLinks> labels{};  // "zenta 串口调试助手", …, "联系与反馈"
    // Address each caption opens; empty until the update check or its fallback sets it.
    std::array<QString, kLinks> addresses;

    // The built-in captions in the interface's language; captions the update page set
    // are its own and stay.
    void SetEnglish(bool english);
    bool pageCaptions = false;  // the update page replaced the captions

    void onLinkClicked(int index);
    // Colours the label under the pointer; nullptr clears every highlight.
    void Highlight(const ClickLabel* over);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
};
