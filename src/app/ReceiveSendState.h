#pragma once

#include <QTimer>

#include "app/ComMainForm.h"
#include "datapath/CaptureFile.h"
#include "datapath/TypedLine.h"

// What the receive path and the send line keep besides the window's named state.
struct TForm1::ReceiveSendState {
    zenta::CaptureFile capture;
    // Characters typed into the receive window since the last Enter.
    zenta::TypedLine typedLine;
    // The rest of a large burst is to be read from the event loop.
    bool restScheduled = false;
    // Value of the last step of the running conversion.
    int progressStep = 0;
    // Hides the conversion progress bar a little after the last long conversion.
    QTimer progressHide;
};
