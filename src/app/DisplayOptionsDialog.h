#pragma once
// A small dialog for the display options: encoding of received and sent text, colour
// sequences, and time stamps per line in the window and in the capture file.

#include <QDialog>

#include "app/ExtSettings.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

class DisplayOptionsDialog : public QDialog {
    Q_OBJECT
  public:
    DisplayOptionsDialog(const zenta::DisplayOptions& options, bool english,
                         QWidget* parent = nullptr);
    zenta::DisplayOptions Options() const;

    QComboBox* encodingBox = nullptr;
    QCheckBox* coloursCheck = nullptr;
    QCheckBox* stampsCheck = nullptr;
    QCheckBox* captureStampsCheck = nullptr;
    QCheckBox* crNewLineCheck = nullptr;
    QSpinBox* columnsBox = nullptr;
};
