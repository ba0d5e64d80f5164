#pragma once

#include <QFont>
#include <QString>
#include <optional>

#include "app/ExtSettings.h"

class QWidget;

// Every modal question the window asks goes through here, so tests can answer without
// blocking and record what was shown.
class UiPrompts {
  public:
    virtual ~UiPrompts() = default;
    virtual void ShowMessage(const QString& text) = 0;
    // The entered text, or nothing when the user cancelled.
    virtual std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                              const QString& value) = 0;
    // The chosen font, or nothing when the user cancelled.
    virtual std::optional<QFont> ChooseFont(const QFont& initial) = 0;
    // The chosen file, or an empty string when the user cancelled.
    virtual QString OpenFile(const QString& caption, const QString& filter) = 0;
    // A question answered Yes or No; No unless the user says Yes.
    virtual bool Confirm(const QString& /*text*/) { return false; }
    // The display options as the user left them, or nothing when cancelled.
    virtual std::optional<zenta::DisplayOptions> ChooseDisplayOptions(
        const zenta::DisplayOptions& /*current*/, bool /*english*/) {
        return std::nullopt;
    }
};

// Real dialogs (QMessageBox, QInputDialog, QFontDialog, QFileDialog) over the given parent.
class DialogPrompts : public UiPrompts {
  public:
    explicit DialogPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void ShowMessage(const QString& text) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      const QString& value) override;
    std::optional<QFont> ChooseFont(const QFont& initial) override;
    QString OpenFile(const QString& caption, const QString& filter) override;
    std::optional<zenta::DisplayOptions> ChooseDisplayOptions(const zenta::DisplayOptions& current,
                                                              bool english) override;
    bool Confirm(const QString& text) override;

  private:
    QWidget* parent_;
};

// The prompts in use: the installed ones, or real dialogs when none is installed.
UiPrompts& Prompts();
// Installs p (not owned); nullptr goes back to the real dialogs.
void SetPrompts(UiPrompts* p);
