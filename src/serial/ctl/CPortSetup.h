#pragma once
// Modal dialog that edits the main line settings of a port at once.

#include <QDialog>
#include <functional>

#include "serial/CPort.h"

class QGroupBox;
class QLabel;
class QPushButton;
class TComComboBox;

class TComSetupFrm : public QDialog {
    Q_OBJECT
  public:
    explicit TComSetupFrm(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    TComComboBox* Combo1;  // port
    TComComboBox* Combo2;  // bit rate
    TComComboBox* Combo3;  // data bits
    TComComboBox* Combo4;  // stop bits
    TComComboBox* Combo5;  // parity
    TComComboBox* Combo6;  // flow control
    QPushButton* Button1;  // OK
    QPushButton* Button2;  // Cancel

  private:
    void FitLabels();
};

// Shows the dialog for port; on OK applies all six values in one batch. Errors
// from applying reach the caller.
void EditComPort(TCustomComPort& port);

// Replaces the modal run of the dialog (returns QDialog::Accepted or Rejected);
// an empty function restores exec(). For tests and scripted use.
void SetSetupDialogRunner(std::function<int(TComSetupFrm&)> runner);

// Makes TCustomComPort::ShowSetupDialog open this dialog.
void InstallSetupDialog();
