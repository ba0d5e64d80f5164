#pragma once
// Qt controls bound to one port: parameter lists, an LED for a line signal.
// Bindings are weak: a control never owns its port and forgets it when the
// port is destroyed.

#include <QComboBox>
#include <QGroupBox>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "serial/CPort.h"
#include "serial/ctl/ComSelect.h"

class QButtonGroup;

// A drop-down list of one line parameter; item index = enumeration ordinal.
class TComComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TComComboBox(QWidget* parent = nullptr);
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return select_.ComPort(); }
    void SetComPort(TCustomComPort* port);
    TComProperty ComProperty() const { return select_.ComProperty(); }
    void SetComProperty(TComProperty property);
    bool AutoApply() const { return select_.AutoApply(); }
    void SetAutoApply(bool value) { select_.SetAutoApply(value); }

    // The selected item's text, empty when nothing is selected.
    QString Text() const;
    // Selects the item equal to text ignoring case; otherwise keeps the selection.
    void SetText(const QString& text);

    // Selects the item of the port's current value (-1 when the list lacks it).
    void UpdateSettings();
    void ApplySettings() { select_.ApplySettings(); }

    // Replaces the items (e.g. a refreshed port list) and selects index, all
    // without a change notification.
    void SetItems(const QStringList& items, int index = -1);

    // What a user's choice of an item does: store (and with AutoApply apply) the
    // value, then notify the owner. Exposed so code and tests can act as the user.
    void SelectByUser(int index);

    TComSelect& Select() { return select_; }

    // Owner's change handler, called after the pending value is stored.
    std::function<void(QObject* sender)> OnChange;

  signals:
    // Emitted together with OnChange.
    void userChanged();

  private:
    class Items;

    std::unique_ptr<Items> items_;
    TComSelect select_;
};

// A group of radio buttons for one line parameter; item index = enumeration ordinal.
class TComRadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    explicit TComRadioGroup(QWidget* parent = nullptr);
    ~TComRadioGroup() override;

    TCustomComPort* ComPort() const { return select_.ComPort(); }
    void SetComPort(TCustomComPort* port);
    TComProperty ComProperty() const { return select_.ComProperty(); }
    void SetComProperty(TComProperty property);
    bool AutoApply() const { return select_.AutoApply(); }
    void SetAutoApply(bool value) { select_.SetAutoApply(value); }

    int Count() const;
    QString ItemText(int index) const;
    int ItemIndex() const;
    // Checks one button (or none for -1) without a click notification.
    void SetItemIndex(int index);

    void UpdateSettings();
    void ApplySettings() { select_.ApplySettings(); }

    // A user's click on the item at index, as if the button was clicked.
    void ClickByUser(int index);

    TComSelect& Select() { return select_; }

    std::function<void(QObject* sender)> OnClick;

  signals:
    void userClicked();

  private:
    class Items;
    void ButtonClicked(int index);

    QButtonGroup* group_;
    std::unique_ptr<Items> items_;
    TComSelect select_;
    int lastReported_ = -1;
};

enum TComLedSignal : uint8_t { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum TLedKind : uint8_t {
    lkRedLight,
    lkGreenLight,
    lkBlueLight,
    lkYellowLight,
    lkPurpleLight,
    lkBulb,
    lkCustom
};
enum TLedState : uint8_t { lsOff, lsOn };

// The built-in 15x15 glyph of a kind and state; null for lkCustom.
QPixmap LedGlyph(TLedKind kind, TLedState state);
// The same by resource name ("LEDREDON" ... "LEDBULBOFF"); null when unknown.
QPixmap LedGlyph(const QString& name);

// A small lamp following one line signal of a port through a registered link.
class TComLed : public QWidget {
    Q_OBJECT
  public:
    explicit TComLed(QWidget* parent = nullptr);
    ~TComLed() override;

    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port);
    TComLedSignal LedSignal() const { return signal_; }
    void SetLedSignal(TComLedSignal signal);
    TLedKind Kind() const { return kind_; }
    void SetKind(TLedKind kind);
    const QPixmap& GlyphOn() const { return glyphOn_; }
    const QPixmap& GlyphOff() const { return glyphOff_; }
    // Only taken for lkCustom.
    void SetGlyphOn(const QPixmap& glyph);
    void SetGlyphOff(const QPixmap& glyph);

    TLedState State() const { return state_; }
    // By hand: refused with EComPort code 19 while a port is bound.
    void SetState(TLedState state);

    int RingDuration() const { return ringDuration_; }
    void SetRingDuration(int ms);

    // The link registered with the bound port (for code that drives it directly).
    TComLink& Link() { return *link_; }

    QSize sizeHint() const override { return {25, 25}; }

    std::function<void(QObject* sender, TLedState state)> OnChange;

  signals:
    void stateChanged(TLedState state);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void ApplyState(TLedState state);
    void SignalChange(bool on);
    void Ring();
    void RingEnded();
    void FillLink();
    void LoadKindGlyphs();
    bool SignalIsOn() const;
    void PortDestroyed();

    std::unique_ptr<TComLink> link_;
    TCustomComPort* port_ = nullptr;
    TComLedSignal signal_ = lsConn;
    TLedKind kind_ = lkRedLight;
    TLedState state_ = lsOff;
    int ringDuration_ = 1000;
    QPixmap glyphOn_;
    QPixmap glyphOff_;
    QTimer ringTimer_;
};
