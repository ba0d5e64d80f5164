#pragma once
// A small editor of the receive window's highlight rules: text or regular expression,
// match case, colour, drawn as letters or background.

#include <QDialog>
#include <vector>

#include "datapath/text/Highlight.h"

class QTableWidget;
class QPushButton;

namespace zenta {

class HighlightRulesDialog : public QDialog {
    Q_OBJECT

  public:
    HighlightRulesDialog(const std::vector<HighlightRule>& rules, bool english,
                         QWidget* parent = nullptr);

    // The rules as edited (rows without a pattern are left out).
    std::vector<HighlightRule> rules() const;
    void addRule(const HighlightRule& rule);
    QTableWidget* table = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* removeButton = nullptr;

  private:
    void chooseColour(int row);
    bool english_;
};

}  // namespace zenta
