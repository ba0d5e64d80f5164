#pragma once

#include <QColor>
#include <QFrame>
#include <QString>
#include <array>

class QLabel;

// A status bar of five text panels with a settable background colour. A panel keeps its
// set width unless its text needs more; the last panel also takes what is left of the bar.
// The bar never sets the window's minimum width: what does not fit is clipped.
class TStatusPanels : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kPanels = 5;

    explicit TStatusPanels(QWidget* parent = nullptr);

    void SetPanelWidth(int index, int width);
    int PanelWidth(int index) const;
    void SetPanelText(int index, const QString& text);
    QString PanelText(int index) const;
    QLabel* Panel(int index) const { return panels_.at(index); }

    // An invalid colour returns to the palette's window colour.
    void SetColor(const QColor& color);
    QColor Color() const { return color_; }

    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    void Fit(int index);
    void Place();

    std::array<QLabel*, kPanels> panels_{};
    std::array<int, kPanels> widths_{};
    std::array<int, kPanels> needed_{};  // width of each panel's text
    QColor color_;
};

// Status panel 0 at rest: the configured home page, else the program's name.
QString HomePanelText();
