#pragma once
// The plot window's captions in the two interface languages.

#include <QString>

namespace zenta::plot {

struct PlotTexts {
    QString title;
    QString pause;
    QString resume;
    QString clear;
    QString exportCsv;
    QString exportPng;
    QString resetView;
    QString xTime;
    QString xSample;
    QString rolling;
    QString seconds;
    QString autoY;
    QString yFrom;
    QString yTo;
    QString column;        // "%1": column number from 1
    QString timeHeader;    // first CSV header cell, title of a time axis
    QString sampleHeader;  // title of a sample number axis
    QString dropped;       // "%1": points dropped, "%2": the limit
    QString linesCut;      // "%1": lines, "%2": the limit in bytes
    QString valuesLeft;    // "%1": values, "%2": the limit per line
    QString noSeries;      // "%1": values, "%2": the limit of series
    QString separator;     // caption of the separator box
    QString noSeparator;   // its first entry: blanks, commas and semicolons only
    QString saving;        // "%1": path
    QString saved;         // "%1": path
    QString saveFailed;    // "%1": path, "%2": reason
    QString paused;
    QString legendHint;
    QString noData;

    static const PlotTexts& Get(bool english);
};

}  // namespace zenta::plot
