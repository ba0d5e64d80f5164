#include "app/UiPrompts.h"

#include "app/DisplayOptionsDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <limits>

namespace {
UiPrompts* g_installed = nullptr;
}  // namespace

void DialogPrompts::ShowMessage(const QString& text) {
    QWidget* parent = parent_ ? parent_ : QApplication::activeWindow();
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> DialogPrompts::InputQuery(const QString& caption, const QString& prompt,
                                                 const QString& value) {
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    // Its line edit stops at 32,767 characters: a longer note would be cut without a word.
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
        edit->setMaxLength(std::numeric_limits<int>::max());
    }
    dialog.setTextValue(value);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

std::optional<QFont> DialogPrompts::ChooseFont(const QFont& initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent_);
    if (!ok) {
        return std::nullopt;
    }
    return font;
}

QString DialogPrompts::OpenFile(const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(parent_, caption, QString(), filter);
}

std::optional<zenta::DisplayOptions> DialogPrompts::ChooseDisplayOptions(
    const zenta::DisplayOptions& current, bool english) {
    DisplayOptionsDialog dialog(current, english, parent_ ? parent_ : QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Options();
}

bool DialogPrompts::Confirm(const QString& text) {
    QWidget* parent = parent_ ? parent_ : QApplication::activeWindow();
    return QMessageBox::question(parent, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

UiPrompts& Prompts() {
    if (g_installed) {
        return *g_installed;
    }
    static DialogPrompts fallback;
    return fallback;
}

void SetPrompts(UiPrompts* p) {
    g_installed = p;
}
