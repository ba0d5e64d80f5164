#pragma once

#include <QWidget>

// Wiring of the one-key download cable: TXD/RXD crossed, DTR to NRST through a diode,
// RTS switching BOOT0 through an NPN transistor with a pull-up.
class TIspSchematic : public QWidget {
    Q_OBJECT
  public:
    explicit TIspSchematic(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {300, 210}; }
    // The two captions follow the interface language.
    void SetEnglish(bool english);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    bool english_ = false;
};
