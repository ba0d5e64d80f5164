// The plot window as a user drives it: series from received lines, both languages and
// encodings, pause, zoom, export round trip and stored settings.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <map>

#include "plot/qt/PlotCanvas.h"
#include "plot/qt/PlotWindow.h"

using zenta::plot::PlotWindow;
using zenta::plot::XMode;

namespace {

// GBK: 温度=23.5℃ 湿度=41%
const QByteArray kGbkLine("\xCE\xC2\xB6\xC8=23.5\xA1\xE6 \xCA\xAA\xB6\xC8=41%\r\n");
const QString kTemperature = QString::fromUtf8("温度");
const QString kHumidity = QString::fromUtf8("湿度");

// The canvas' next finished picture after a redraw.
QImage NextPicture(PlotWindow& w) {
    auto* canvas = w.findChild<zenta::plot::PlotCanvas*>();
    w.redrawNow();
    const quint64 mine = canvas->LastSubmitted();
    if (!QTest::qWaitFor([&] { return canvas->LastShown() >= mine; })) {
        return {};
    }
    return canvas->Picture().convertToFormat(QImage::Format_RGB32);
}

int CountColour(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixelColor(x, y) == colour;
        }
    }
    return n;
}

// Splits a CSV line (no quoting needed for these names).
QStringList Cells(const QString& line) {
    return line.split(QLatin1Char(','));
}

}  // namespace

class PlotWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void namesFollowEncodingAndLanguage();
    void pauseFreezesTheViewButKeepsRecording();
    void zoomAndResetView();
    void csvHoldsEveryPointAndNeverOverwrites();
    void picturesShowTheSeriesWhereTheyAre();
    void pngOfTheView();
    void droppedPointsAreAnnounced();
    void limitsThatCutDataAreShown();
    void narrowWindowKeepsItsWidth();
    void settingsRoundTrip();
};

void PlotWindowTest::namesFollowEncodingAndLanguage() {
    PlotWindow w;
    // Byte by byte: the GBK names and the numbers arrive in pieces.
    for (char c : kGbkLine) {
        w.feed(&c, 1, 1000);
    }
    w.feed(QByteArray("1,2,3\n"), 1100);
    QCOMPARE(w.seriesNames(), QStringList({kTemperature, kHumidity, QStringLiteral("列1"),
                                           QStringLiteral("列2"), QStringLiteral("列3")}));
    QCOMPARE(w.lastValue(0), std::optional<double>(23.5));
    QCOMPARE(w.lastValue(4), std::optional<double>(3));
    QVERIFY(!w.lastValue(5));

    w.setEnglish(true);
    QCOMPARE(w.seriesNames().at(2), QStringLiteral("Column 1"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Plot"));
    // The same names in UTF-8, once the receive window decodes UTF-8.
    w.setEncoding(PlotWindow::Encoding::Utf8);
    w.feed(QString::fromUtf8("温度=24\n").toUtf8(), 1200);
    QCOMPARE(w.seriesNames().size(), 6);
    QCOMPARE(w.seriesNames().at(5), kTemperature);
    QVERIFY(w.seriesNames().at(0) != kTemperature);  // GBK bytes read as UTF-8 now
    w.setEncoding(PlotWindow::Encoding::Gb18030);
    QCOMPARE(w.seriesNames().at(0), kTemperature);
    w.setEnglish(false);
    QCOMPARE(w.windowTitle(), QStringLiteral("绘图"));
}

void PlotWindowTest::pauseFreezesTheViewButKeepsRecording() {
    PlotWindow w;
    w.setRolling(false, 10);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i <= 10; ++i) {
        w.feed(QByteArray::number(i) + '\n', 1000 + i * 1000);
    }
    w.redrawNow();
    QCOMPARE(w.viewRange().left(), 0.0);
    QCOMPARE(w.viewRange().right(), 10.0);
    w.setPaused(true);
    for (int i = 11; i <= 20; ++i) {
        w.feed(QByteArray::number(i) + '\n', 1000 + i * 1000);
    }
    QTest::qWait(300);
    QCOMPARE(w.viewRange().right(), 10.0);
    QCOMPARE(w.lastValue(0), std::optional<double>(20));
    QVERIFY(!w.noticeText().isEmpty());
    w.setPaused(false);
    QTRY_COMPARE(w.viewRange().right(), 20.0);
    // Rolling view: the last 5 seconds; sample numbers as x.
    w.setRolling(true, 5);
    w.redrawNow();
    QCOMPARE(w.viewRange().left(), 15.0);
    w.setXMode(XMode::Sample);
    w.redrawNow();
    QCOMPARE(w.viewRange().left(), 15.0);
    QCOMPARE(w.viewRange().right(), 20.0);
}

void PlotWindowTest::zoomAndResetView() {
    PlotWindow w;
    w.setRolling(false, 10);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i <= 100; ++i) {
        w.feed(QByteArray::number(i % 7) + '\n', 1000 + i * 100);
    }
    w.redrawNow();
    const QRectF whole = w.viewRange();
    auto* view = w.findChild<zenta::plot::PlotCanvas*>();
    QVERIFY(view);
    const QPointF centre = QRectF(view->PlotArea()).center();
    QWheelEvent wheel(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    const QRectF zoomed = w.viewRange();
    QVERIFY(zoomed.width() < whole.width() * 0.7);
    // New points do not move a view the user chose.
    w.feed(QByteArray("50\n"), 20000);
    w.redrawNow();
    QCOMPARE(w.viewRange(), zoomed);
    // The cursor readout names each series' value at the mouse.
    QTest::mouseMove(view, centre.toPoint());
    QTRY_VERIFY(w.readoutText().contains(QStringLiteral("列1 = ")));
    QTest::mouseDClick(view, Qt::LeftButton, {}, centre.toPoint());
    w.redrawNow();
    QCOMPARE(w.viewRange().right(), 19.0);
    // Autoscale: 5 % above and below the values shown (0 .. 50).
    QCOMPARE(w.viewRange().top(), -2.5);
    QCOMPARE(w.viewRange().bottom(), 52.5);

    // A left drag zooms into the rectangle dragged; a click alone does not zoom.
    const QRect area = view->PlotArea();
    const QPoint from(area.left() + area.width() / 4, area.top() + area.height() / 4);
    const QPoint to(area.left() + area.width() * 3 / 4, area.top() + area.height() * 3 / 4);
    QTest::mouseClick(view, Qt::LeftButton, {}, from);
    QCOMPARE(w.viewRange(), QRectF(QPointF(0, -2.5), QPointF(19, 52.5)));
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
    const QRectF band = w.viewRange();
    QVERIFY(std::abs(band.left() - 19 * 0.25) < 0.1 && std::abs(band.right() - 19 * 0.75) < 0.1);
    QVERIFY(std::abs(band.top() - 11.25) < 0.5 && std::abs(band.bottom() - 38.75) < 0.5);
    // A right drag pans: the values under the mouse follow it.
    const QPointF grabbed = view->MapToValue(centre);
    QTest::mousePress(view, Qt::RightButton, {}, centre.toPoint());
    QTest::mouseMove(view, centre.toPoint() + QPoint(40, -30));
    QTest::mouseRelease(view, Qt::RightButton, {}, centre.toPoint() + QPoint(40, -30));
    QCOMPARE(w.viewRange().size(), band.size());
    const QPointF now = view->MapToValue(centre + QPointF(40, -30));
    QVERIFY(std::abs(now.x() - grabbed.x()) < 1e-9 && std::abs(now.y() - grabbed.y()) < 1e-9);
}

void PlotWindowTest::csvHoldsEveryPointAndNeverOverwrites() {
    QTemporaryDir dir;
    PlotWindow w;
    w.setExportFolder(dir.path());
    // Two lines in one millisecond stay two rows; a series missing from a line leaves
    // its cell empty; names with a comma in them are quoted.
    w.feed(QByteArray("1.5,2\n3,4\n"), 5000);
    w.feed(kGbkLine, 5250);
    w.feed(QByteArray("0.1e-3,-7 x=1e300\n"), 7001);
    const auto& store = w.model().Store();
    std::map<int, std::vector<std::pair<double, double>>> expected;
    for (std::size_t s = 0; s < store.SeriesCount(); ++s) {
        for (std::size_t i = 0; i < store.Size(s); ++i) {
            expected[int(s)].push_back({store.X(s, i, XMode::Time), store.Value(s, i)});
        }
    }
    QSignalSpy exported(&w, &PlotWindow::exported);
    const QString path = w.exportCsv();
    QVERIFY2(!path.isEmpty(), qPrintable(w.noticeText()));
    // The file holds the points of the moment of the click; lines that arrive while it
    // is written (into the same chunk of memory) are not in it and do not disturb it.
    for (int i = 0; i < 200; ++i) {
        w.feed(QByteArray("9,9\n"), 8000 + i);
    }
    QVERIFY(exported.wait(10000));
    QCOMPARE(exported.at(0).at(0).toString(), path);
    QVERIFY(w.noticeText().contains(QDir::toNativeSeparators(path)));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines =
        QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(Cells(lines[0]),
             QStringList({QStringLiteral("时间(秒)"), QStringLiteral("列1"), QStringLiteral("列2"),
                          kTemperature, kHumidity, QStringLiteral("x")}));
    // Read back, every series has exactly the points the store holds.
    std::map<int, std::vector<std::pair<double, double>>> back;
    for (int r = 1; r < lines.size(); ++r) {
        const QStringList cells = Cells(lines[r]);
        QCOMPARE(cells.size(), 6);
        for (int c = 1; c < cells.size(); ++c) {
            if (!cells[c].isEmpty()) {
                back[c - 1].push_back({cells[0].toDouble(), cells[c].toDouble()});
            }
        }
    }
    QCOMPARE(back.size(), expected.size());
    for (const auto& [s, points] : expected) {
        QCOMPARE(back[s].size(), points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            QCOMPARE(back[s][i].first, points[i].first);
            QCOMPARE(back[s][i].second, points[i].second);  // exact, not rounded
        }
    }
    QCOMPARE(lines.size(), 5);
    const QString again = w.exportCsv();
    QVERIFY(!again.isEmpty() && again != path);
    QVERIFY(exported.wait(10000));
    QCOMPARE(QFile(path).size(), bytes.size());
    QVERIFY(QFile(again).size() > bytes.size());  // now with the later lines

    // A folder that cannot be made: no file, and the notice says why.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    w.setExportFolder(dir.filePath(QStringLiteral("blocker/sub")));
    QVERIFY(w.exportCsv().isEmpty());
    QVERIFY(w.noticeText().contains(QStringLiteral("blocker")));
}

void PlotWindowTest::picturesShowTheSeriesWhereTheyAre() {
    PlotWindow w;
    w.resize(640, 400);
    w.setRolling(false, 10);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Column 1 flat at 10, column 2 a ramp from 0 to 20, over 10 seconds.
    for (int i = 0; i <= 100; ++i) {
        w.feed(QByteArray("10,") + QByteArray::number(i / 5.0) + '\n', 1000 + i * 100);
    }
    const QColor red(255, 0, 0);
    const QColor blue(0, 0, 255);
    w.setSeriesColour(0, red);
    w.setSeriesColour(1, blue);
    QTest::qWait(20);  // the legend's new rows settle the layout
    QImage image = NextPicture(w);
    QVERIFY(!image.isNull());
    auto* canvas = w.findChild<zenta::plot::PlotCanvas*>();
    const QRectF range = canvas->ValueRange();
    const QRect area = canvas->PlotArea();
    QCOMPARE(image.size(), canvas->size());
    // Near where each point lies, within a pixel: the series' colour.
    auto near = [&](QPointF value, QColor colour) {
        const QPoint c = zenta::plot::ValueToPixel(range, area, value).toPoint();
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (image.pixelColor(c + QPoint(dx, dy)) == colour) {
                    return true;
                }
            }
        }
        return false;
    };
    for (double x : {0.5, 3.0, 7.0, 9.5}) {
        QVERIFY2(near({x, 10}, red), qPrintable(QString::number(x)));
        QVERIFY2(near({x, x * 2}, blue), qPrintable(QString::number(x)));
    }
    // Where the two cross the ramp, drawn later, lies on top.
    QVERIFY(near({5, 10}, blue));
    QVERIFY(image.pixelColor(zenta::plot::ValueToPixel(range, area, {5, 10}).toPoint()) != red);
    // A flat line is one pixel thick across the plot area, nothing outside it.
    const int flat = CountColour(image, red);
    QVERIFY2(flat >= area.width() - 8 && flat <= area.width() + 2,
             qPrintable(QStringLiteral("%1 of %2").arg(flat).arg(area.width())));
    const QPoint above = zenta::plot::ValueToPixel(range, area, {2, 15}).toPoint();
    QVERIFY(image.pixelColor(above) != red && image.pixelColor(above) != blue);
    // Hidden: gone from the picture; recoloured: drawn in the new colour.
    w.setSeriesVisible(1, false);
    const QColor green(0, 160, 0);
    w.setSeriesColour(0, green);
    image = NextPicture(w);
    QCOMPARE(CountColour(image, blue), 0);
    QCOMPARE(CountColour(image, red), 0);
    QVERIFY(near({5, 10}, green));
}

void PlotWindowTest::pngOfTheView() {
    QTemporaryDir dir;
    PlotWindow w;
    w.setExportFolder(dir.path());
    w.resize(640, 400);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.feed(QByteArray("1\n5\n2\n"), 1000);
    w.redrawNow();
    const QString first = w.exportPng();
    const QString second = w.exportPng();
    QVERIFY(!first.isEmpty() && !second.isEmpty() && first != second);
    QImage image(first);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() > 100 && image.height() > 100);
}

void PlotWindowTest::droppedPointsAreAnnounced() {
    PlotWindow w(nullptr, 100);
    w.setEnglish(true);
    QByteArray lines;
    for (int i = 0; i < 60; ++i) {
        lines += QByteArray::number(i) + ',' + QByteArray::number(-i) + '\n';
    }
    w.feed(lines, 1000);
    // Told at once, not at the next picture (the window is not even shown).
    QCOMPARE(w.model().Store().TotalPoints(), std::size_t(100));
    QVERIFY(w.noticeText().contains(QStringLiteral("20 points were dropped")));
    w.clear();
    QVERIFY(w.seriesNames().isEmpty());
    QVERIFY(!w.noticeText().contains(QStringLiteral("dropped")));
}

void PlotWindowTest::limitsThatCutDataAreShown() {
    PlotWindow w;
    w.setEnglish(true);
    w.setPaused(true);  // shown even while the plot stands still
    QByteArray names;
    for (int i = 0; i < 300; ++i) {
        names += "n" + QByteArray::number(i) + "=1\n";
    }
    w.feed(names, 1000);
    QVERIFY2(w.noticeText().contains(QStringLiteral("44 values not plotted: at most 256 series")),
             qPrintable(w.noticeText()));
    w.feed(QByteArray(5000, '7') + '\n', 1100);
    QTRY_VERIFY(w.noticeText().contains(QStringLiteral("1 lines longer than 4096 bytes")));
    QByteArray many;
    for (int i = 0; i < 70; ++i) {
        many += QByteArray::number(i) + ' ';
    }
    w.feed(many + '\n', 1200);
    QTRY_VERIFY(w.noticeText().contains(QStringLiteral("6 values not plotted: at most 64")));
    QVERIFY(w.noticeText().contains(QStringLiteral("256 series")));
    w.clear();
    QVERIFY(!w.noticeText().contains(QStringLiteral("not plotted")));
    QVERIFY(!w.noticeText().contains(QStringLiteral("longer")));
}

void PlotWindowTest::narrowWindowKeepsItsWidth() {
    for (bool english : {false, true}) {
        PlotWindow w;
        w.setEnglish(english);
        w.resize(600, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.width(), 600);
        QVERIFY(w.minimumSizeHint().width() <= 600);
        // Long names, many series and a long notice do not widen it.
        QByteArray line;
        for (int i = 0; i < 300; ++i) {
            line += "a_rather_long_series_name_" + QByteArray::number(i) + "=1 ";
            if (i % 50 == 49) {
                w.feed(line + '\n', 1000 + i);
                line.clear();
            }
        }
        w.feed(QByteArray(5000, '7') + '\n', 2000);
        w.setPaused(true);
        w.redrawNow();
        QTest::qWait(50);
        QCOMPARE(w.width(), 600);
        QVERIFY(w.minimumSizeHint().width() <= 600);
    }
}

void PlotWindowTest::settingsRoundTrip() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("zenta-ext.ini"));
    {
        PlotWindow w;
        w.feed(kGbkLine, 1000);
        w.setXMode(XMode::Sample);
        w.setRolling(false, 42);
        w.setSeriesColour(0, QColor(0x12, 0x34, 0x56));
        w.feed(QByteArray("1,2\n"), 1000);
        w.setSeriesColour(3, QColor(0x65, 0x43, 0x21));
        w.setGeometry(100, 120, 600, 450);
        w.setSeparator('|');
        QSettings settings(ini, QSettings::IniFormat);
        w.saveState(settings);
    }
    PlotWindow w;
    QSettings settings(ini, QSettings::IniFormat);
    w.restoreState(settings);
    QCOMPARE(w.xMode(), XMode::Sample);
    QVERIFY(!w.isRolling());
    QCOMPARE(w.rollingSeconds(), 42);
    QCOMPARE(w.size(), QSize(600, 450));
    QCOMPARE(w.separator(), '|');
    // The colour belongs to the name: the series gets it when it appears again.
    w.feed(QByteArray("1,2\n"), 1000);
    w.feed(kGbkLine, 1000);
    QCOMPARE(w.seriesColour(2), QColor(0x12, 0x34, 0x56));
    QVERIFY(w.seriesColour(3) != QColor(0x12, 0x34, 0x56));
    QVERIFY(w.seriesColour(0) != QColor(0x65, 0x43, 0x21));
    // A column keeps its colour in the other language.
    QCOMPARE(w.seriesColour(1), QColor(0x65, 0x43, 0x21));
    w.setEnglish(true);
    QCOMPARE(w.seriesColour(1), QColor(0x65, 0x43, 0x21));
    // The separator splits the fields of the lines that follow.
    w.feed(QByteArray("4|5|6\n"), 2000);
    QCOMPARE(w.lastValue(1), std::optional<double>(5));  // column 2

    // A hand-edited file: only one of the offered characters is taken.
    for (const char* bad : {"ab", ".", "=", ":"}) {
        settings.setValue(QStringLiteral("Plot/separator"), QString::fromLatin1(bad));
        w.restoreState(settings);
        QCOMPARE(w.separator(), '\0');
    }
}

QTEST_MAIN(PlotWindowTest)
#include "tst_plot_window.moc"
