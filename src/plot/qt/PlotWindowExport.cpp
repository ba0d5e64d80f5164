// Export of every kept point as CSV and of the view as PNG. A file name is taken only when
// no file of that name exists (created exclusively), so nothing is ever overwritten.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <algorithm>
#include <climits>
#include <fstream>
#include <memory>
#include <utility>

#include "plot/CsvExport.h"
#include "plot/qt/PlotCanvas.h"
#include "plot/qt/PlotFrame.h"
#include "plot/qt/PlotTexts.h"
#include "plot/qt/PlotWindow.h"

namespace zenta::plot {

QString PlotWindow::ReserveFile(const QString& extension, QString* error) const {
    if (!QDir().mkpath(exportFolder_)) {
        *error = QStringLiteral("cannot create folder");
        return {};
    }
    const QString stem =
        QDir(exportFolder_)
            .filePath(QStringLiteral("plot_") +
                      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
    for (int n = 0; n < 1000; ++n) {
        const QString path =
            (n == 0 ? stem : stem + QStringLiteral("_%1").arg(n)) + QLatin1Char('.') + extension;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return path;
        }
        if (!file.exists()) {
            *error = file.errorString();
            return {};
        }
    }
    *error = QStringLiteral("too many files of that name");
    return {};
}

QString PlotWindow::exportCsv() {
    FinishCsv();  // one at a time
    QString error;
    const QString path = ReserveFile(QStringLiteral("csv"), &error);
    if (path.isEmpty()) {
        SetNotice(texts_->saveFailed.arg(QDir::toNativeSeparators(exportFolder_), error), true);
        noticeIsSaved_ = true;
        return {};
    }
    std::vector<std::string> names;
    for (const QString& name : seriesNames()) {
        names.push_back(name.toStdString());
    }
    // Columns first, in their order in the line, then the named series as they came.
    const std::vector<SeriesInfo>& series = model_.Series();
    std::vector<std::size_t> order(series.size());
    for (std::size_t s = 0; s < order.size(); ++s) {
        order[s] = s;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int ca = series[a].column < 0 ? INT_MAX : series[a].column;
        const int cb = series[b].column < 0 ? INT_MAX : series[b].column;
        return ca < cb;
    });
    // The points as they are now; the window goes on receiving while the file is written.
    std::shared_ptr<const PointStore> points = model_.Store().Snapshot();
    csvPath_ = path;
    csvOk_ = false;
    csvButton_->setEnabled(false);
    SetNotice(texts_->saving.arg(QDir::toNativeSeparators(path)), false);
    noticeIsSaved_ = true;
    csvThread_ = std::thread([this, file = QFile::encodeName(path).toStdString(),
                              header = texts_->timeHeader.toStdString(), names = std::move(names),
                              order = std::move(order), points = std::move(points)] {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        const bool ok = out && WriteCsv(*points, header, names, order, out);
        out.close();
        csvOk_ = ok && out;
        QMetaObject::invokeMethod(
            this, [this] { FinishCsv(); }, Qt::QueuedConnection);
    });
    return path;
}

void PlotWindow::FinishCsv() {
    if (!csvThread_.joinable()) {
        return;
    }
    csvThread_.join();
    csvButton_->setEnabled(true);
    const QString path = std::exchange(csvPath_, QString());
    if (csvOk_) {
        SetNotice(texts_->saved.arg(QDir::toNativeSeparators(path)), false);
        emit exported(path);
    } else {
        SetNotice(
            texts_->saveFailed.arg(QDir::toNativeSeparators(path), QStringLiteral("write failed")),
            true);
    }
    noticeIsSaved_ = true;
}

QString PlotWindow::exportPng() {
    QString error;
    const QString path = ReserveFile(QStringLiteral("png"), &error);
    if (!path.isEmpty()) {
        // The view as it is now, drawn here (a file is written anyway), with the names of
        // the lines beside their colours: the window's legend is not in the picture.
        PlotFrame frame = BuildFrame();
        for (std::size_t s = 0; s < visible_.size(); ++s) {
            if (visible_[s]) {
                frame.legend.emplace_back(SeriesName(s), seriesColour(static_cast<int>(s)));
            }
        }
        LayOut(frame);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly) &&
            RenderFrame(frame).save(&file, "PNG")) {
            SetNotice(texts_->saved.arg(QDir::toNativeSeparators(path)), false);
            noticeIsSaved_ = true;
            emit exported(path);
            return path;
        }
        error = file.errorString();
    }
    SetNotice(texts_->saveFailed.arg(
                  QDir::toNativeSeparators(path.isEmpty() ? exportFolder_ : path), error),
              true);
    noticeIsSaved_ = true;
    return {};
}

}  // namespace zenta::plot
