#pragma once
// The prepared-string page: fifty rows of HEX box, text and send button, their notes,
// the send buttons' width and loop send. Needs from outside: the send line (a row is
// sent through it), the port state and the settings save, through WindowLinks.

#include <QList>
#include <QObject>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTimer;
class QWidget;
class PanelFrame;
class WindowLinks;

class PreparedPanel : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRows = 50;

    PreparedPanel(QWidget* page, WindowLinks& window);

    // ---- controls
    QWidget* page = nullptr;  // "多条字符串发送"
    PanelFrame* loopRow = nullptr;
    QCheckBox* loopCheck = nullptr;         // "自动循环发送, 间隔:"
    QLineEdit* loopIntervalEdit = nullptr;  // loop interval in ms (N58)
    QLabel* loopUnitLabel = nullptr;        // "ms"
    QLabel* dragHint = nullptr;             // "←拖动分割线"
    QLabel* hexTitle = nullptr;             // "HEX"
    QLabel* textTitle = nullptr;            // "字符串(双击注释)"
    QLabel* sendTitle = nullptr;            // "点击发送"
    QPushButton* widerButton = nullptr;     // "<": widens the send buttons
    QPushButton* narrowerButton = nullptr;  // ">": narrows them
    QTimer* loopTimer = nullptr;
    // The rows scroll below the titles: fifty rows never fit a window's height.
    QScrollArea* rowsArea = nullptr;
    QWidget* rowsHost = nullptr;

    QCheckBox* hexBox(int row) const { return hexBoxes_[row]; }
    QLineEdit* edit(int row) const { return edits_[row]; }
    QPushButton* sendButton(int row) const { return sendButtons_[row]; }

    // ---- handlers
    void onRowSendClicked(int row);
    void onRowNoteRequested(int row);  // double-click on a row's text
    void onWiderClicked();
    void onNarrowerClicked();
    void onLoopClicked();
    void onLoopTick();

    // A row's note as the settings file keeps it; shown as the hint of its text and the
    // caption of its send button, in the interface's language.
    QString Note(int row) const;
    void SetNote(int row, const QString& note);
    // Shows every note again (the language changed).
    void ShowNotes();
    // Widths of the rows follow the page (splitter moves, resizes).
    void LayoutRows();
    void StopLoopSend();
    int RowHeight() const;

    // Loop send: number of the entry taken last, and empty entries skipped in a row.
    int loopPosition = 0;
    int loopEmptyCount = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void ShowNote(int row);
    void BuildControls();
    void CreateRows();
    void WidenSendButtons(int dx);
    int RowTop() const;

    WindowLinks& window_;
    QList<QCheckBox*> hexBoxes_;
    QList<QLineEdit*> edits_;
    QList<QPushButton*> sendButtons_;
};
