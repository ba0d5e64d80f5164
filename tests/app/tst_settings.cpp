// The settings file through the live window: defaults, round trips, key rules,
// long files and a folder that cannot be written.
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSettings>

#include "app/core/Messages.h"
#include "app/support/SettingsTestSupport.h"
#include "serial/ctl/CPortCtl.h"

using namespace zenta::test;

namespace {

// The file a fresh window writes, line by line from the key table.
QStringList DefaultLines(const QString& port) {
    QStringList l = {
        ";删除本文件可以恢复默认值。",
        ";这是ZENTA的设置保存文件,您在程序中设置好的串口参数和字符串数据都会自动保存,"
        "请最好不要用外部编辑器改动本文件!",
        ";如果文件被修改后程序不能打开,请删除本文件,程序将会自动生成一个新的ini文件.",
        ";靠行首的半角分号是注释符号",
        ";每行都以回车结束",
        ";C:Chinese汉语,E:English",
        "N100=,汉语",
        ";当前串口号Port",
        "N80=," + port,
        ";波特率Band rate",
        "N81=,115200",
        ";保存窗口宽度",
        "N82=,850",
        ";保存窗口高度",
        "N83=,600",
        ";保存窗口left",
        "N84=,250",
        ";保存窗口top",
        "N85=,180",
        ";分割线位置",
        "N86=,317",
        ";多条命令的宽度",
        "N87=,119",
        ";保存窗口字体名称",
        "N88=,Noto Sans Mono CJK SC",
        ";保存窗口字体大小",
        "N89=,9",
        ";\"=\"后面的H表示这是个HEX数据串",
        ";\"=\"后面的A表示这是个ASC字符串",
        ";Nx表示第几条定义的字符串(1<x<=50)",
        "N101=,十六进制数据串1",
        "N1=H,13 00 FF 88",
        "",
        "N102=,字符串1",
        "N2=A,output string",
        "",
    };
    for (int k = 3; k <= 50; ++k) {
        l << QStringLiteral("N%1=,%2无注释").arg(100 + k).arg(k) << QStringLiteral("N%1=A,").arg(k)
          << QString();
    }
    l << ";打开文件地址和名称"
      << "N52=,"
      << ""
      << ";主面板ASC字符串"
      << "N53=,abcdefg"
      << ";主面板HEX数据串"
      << "N54=,12 FF 00 30"
      << ";主面板发送方式(ASC or HEX)"
      << "N55=,A"
      << ";主面板字符串发送间隔时间ms"
      << "N56=,1000"
      << ";主面板字符串发送新行"
      << "N57=,N"
      << ";多条字符串发送间隔时间ms"
      << "N58=,1000"
      << ";接收窗口是否HEX显示方式"
      << "N59=,N"
      << ";校验方式,1=None，2=modbusCRC16，3=ADD，4=XOR"
      << "N60=,0"
      << ";是否超时换行"
      << "N64=,N"
      << ";换行超时时间ms"
      << "N65=,20"
      << ";end";
    return l;
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;

    // A window started on a file holding the given key lines (CR LF breaks).
    std::unique_ptr<MainWindow> StartWith(ProgramFolder& folder, const QStringList& lines) {
        folder.Write(FileOf(lines));
        return NewWindow();
    }

  private slots:
    void init() { InstallWindowHooks(prompts_); }
    void cleanup() { RemoveWindowHooks(); }

    void freshWindowLeavesTheDefaultFile() {
        ProgramFolder folder;
        auto form = NewWindow();
        // Start-up names the port from the list's current entry (COM1 without one).
        const QString port = QString::fromStdString(form->port.Port());
        if (form->connection->portBox->count() == 0) {
            QCOMPARE(port, QStringLiteral("COM1"));
        }
        QByteArray expected = zenta::ToGb18030(DefaultLines(port).join("\r\n"));
        expected.replace("\n", "\r\n");
        const QStringList got = zenta::FromGb18030(folder.Read()).split("\r\r\n");
        const QStringList want = zenta::FromGb18030(expected).split("\r\r\n");
        for (int i = 0; i < std::min(got.size(), want.size()); ++i) {
            QCOMPARE(got[i], want[i]);
        }
        QCOMPARE(folder.Read(), expected);
        QVERIFY(folder.Read().endsWith("\r\r\nN65=,20\r\r\n;end"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void writeLoadWriteIsStable() {
        ProgramFolder folder;
        QByteArray first;
        {
            auto form = NewWindow();
            form->prepared->edit(2)->setText(QStringLiteral("a=b,c=,d 汉字"));
            form->prepared->hexBox(2)->setChecked(true);
            form->prepared->SetNote(3, QStringLiteral("note=1,2"));
            form->prepared->edit(49)->setText(QStringLiteral("last"));
            form->prepared->edit(1)->clear();
            form->files->pathEdit->setText(QStringLiteral("/tmp/a=b,c.bin"));
            form->send->intervalEdit->setText(QStringLiteral("250"));
            form->prepared->loopIntervalEdit->setText(QStringLiteral("77"));
            form->receive->timeoutEdit->setText(QStringLiteral("35"));
            form->send->checksumBox->setCurrentIndex(2);
            form->setGeometry(120, 90, 780, 560);         // within the test screen
            form->connection->baudBox->SelectByUser(17);  // 460800, saves on its own
            panel_widgets::SetChecked(form->receive->packetCheck, true);
            panel_widgets::SetChecked(form->receive->hexDisplayCheck, true);
            panel_widgets::SetChecked(form->send->crLfCheck, true);
            form->send->lineEdit->setText(QStringLiteral("text, with = signs"));
            panel_widgets::InvokeClick(form->saveSettingsButton);
            first = folder.Read();
            form->close();
        }
        QVERIFY(first.contains("N81=,460800\r\r\n"));
        QVERIFY(first.contains(zenta::ToGb18030(QStringLiteral("N3=H,a=b,c=,d 汉字\r\r\n"))));
        QVERIFY(first.contains("N104=,note=1,2\r\r\n"));
        QVERIFY(first.contains("N53=,text, with = signs\r\r\n"));

        // The restart writes the file again at its end: nothing may change.
        auto again = NewWindow();
        QCOMPARE(folder.Read(), first);
        QCOMPARE(again->prepared->edit(2)->text(), QStringLiteral("a=b,c=,d 汉字"));
        QVERIFY(again->prepared->hexBox(2)->isChecked());
        QCOMPARE(again->prepared->sendButton(3)->text(), QStringLiteral("note=1,2"));
        QCOMPARE(again->prepared->edit(1)->text(), QString());
        QCOMPARE(again->geometry(), QRect(120, 90, 780, 560));
        QCOMPARE(again->port.BaudRate(), br460800);
        QCOMPARE(again->connection->baudBox->currentIndex(), 17);
        QCOMPARE(again->send->checksumBox->currentIndex(), 2);
        QVERIFY(again->receive->packetCheck->isChecked());
        QCOMPARE(again->send->lineEdit->text(), QStringLiteral("text, with = signs"));
        again.reset();

        // The same content with plain CR LF breaks loads the same.
        QByteArray crlf = first;
        crlf.replace("\r\r\n", "\r\n");
        folder.Write(crlf);
        auto third = NewWindow();
        QCOMPARE(folder.Read(), first);
    }

    void keyRulesThroughTheWindow() {
        ProgramFolder folder;
        struct Baud {
            const char* value;
            TBaudRate rate;
        };
        for (const Baud& b : {Baud{"460800", br460800}, Baud{"0", br115200},
                              Baud{"12345", br115200}, Baud{"110", br110}}) {
            auto form = StartWith(folder, {QStringLiteral("N81=,") + b.value});
            QCOMPARE(form->port.BaudRate(), b.rate);
            QCOMPARE(form->connection->baudBox->currentIndex(), static_cast<int>(b.rate));
        }
        {
            auto form = StartWith(folder, {"N82=,100", "N83=,abc", "N84=,-20", "N85=,x"});
            // Partly off the screen's left edge: moved onto it.
            QCOMPARE(form->geometry(), QRect(0, 180, 400, 600));
        }
        for (const QStringList& far : {QStringList{"N84=,-3000"}, QStringList{"N85=,-3000"},
                                       QStringList{"N84=,90000", "N85=,90000"}}) {
            // A position off every screen: the whole window comes back, size kept.
            auto form = StartWith(folder, far);
            QVERIFY2(MainWindow::ScreenAreaSource().contains(form->geometry()),
                     qPrintable(far.join(' ')));
            QCOMPARE(form->size(), QSize(850, 600));
        }
        {
            auto form = StartWith(folder, {"N5=H,01 02 03", "N6=A,01 02 03", "N7=,01 02 03",
                                           "N1=A,", "N105=,reset", "N80=,/dev/ttyNOPE9"});
            QVERIFY(form->prepared->hexBox(4)->isChecked());
            QCOMPARE(form->prepared->edit(4)->text(), QStringLiteral("01 02 03"));
            QVERIFY(!form->prepared->hexBox(5)->isChecked());
            QVERIFY(!form->prepared->hexBox(6)->isChecked());
            QCOMPARE(form->prepared->edit(6)->text(), QStringLiteral("01 02 03"));
            QVERIFY(!form->prepared->hexBox(0)->isChecked());
            QVERIFY(form->prepared->edit(0)->text().isEmpty());
            QCOMPARE(form->prepared->sendButton(4)->text(), QStringLiteral("reset"));
            QCOMPARE(form->prepared->sendButton(4)->toolTip(), QStringLiteral("reset"));
            QCOMPARE(form->prepared->edit(4)->toolTip(), QStringLiteral("reset"));
            // A name outside the list is kept and stays the port box's choice.
            QCOMPARE(form->port.Port(), std::string("/dev/ttyNOPE9"));
            QCOMPARE(form->connection->portBox->currentText(), QStringLiteral("/dev/ttyNOPE9"));
        }
        for (const char* line : {"N55=,H", "N55=H,"}) {
            auto form = StartWith(folder, {"N54=,AA BB", QString::fromLatin1(line)});
            QVERIFY2(form->send->hexSendCheck->isChecked(), line);
            QCOMPARE(form->send->lineEdit->text(), QStringLiteral("AA BB"));
        }
        {
            // Unknown keys, broken lines and a last line without a break are ignored.
            auto form =
                StartWith(folder, {"N60=,7", "N99=,x", "Nabc=,1", "N58", "N56=,300", "N64=,N"});
            QCOMPARE(form->send->checksumBox->currentIndex(), 0);
            QCOMPARE(form->send->intervalEdit->text(), QStringLiteral("300"));
            QVERIFY(!form->receive->packetCheck->isChecked());
            QCOMPARE(form->prepared->loopIntervalEdit->text(), QStringLiteral("1000"));
        }
        QVERIFY(prompts_.messages.isEmpty());
    }

    void longFileLosesNothing() {
        ProgramFolder folder;
        QStringList lines;
        QStringList texts;
        for (int k = 1; k <= 50; ++k) {
            const QString text = QStringLiteral("%1:").arg(k) + QString(380, QChar(u'0' + k % 10));
            texts << text;
            lines << QStringLiteral("N%1=,long note %1").arg(100 + k)
                  << QStringLiteral("N%1=A,").arg(k) + text;
        }
        lines << "N65=,45";
        QVERIFY(FileOf(lines).size() > 20000);
        auto form = StartWith(folder, lines);
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(form->prepared->edit(i)->text(), texts[i]);
            QCOMPARE(form->prepared->sendButton(i)->text(),
                     QStringLiteral("long note %1").arg(101 + i));
        }
        QCOMPARE(form->receive->timeoutEdit->text(), QStringLiteral("45"));
        QVERIFY(folder.Read().contains(zenta::ToGb18030("N50=A," + texts[49] + "\r\r\n")));
    }

    // Qt's line edits stop at 32,767 characters by default: a stored 12,000-byte HEX line
    // must load, send and save back whole.
    void longValuesAreNeverCut() {
        ProgramFolder folder;
        QString hex;
        for (int i = 0; i < 12000; ++i) {
            hex += QStringLiteral("%1 ").arg(i % 256, 2, 16, QChar(u'0')).toUpper();
        }
        hex.chop(1);
        const QString text(40000, QChar(u'x'));
        auto form = StartWith(folder, {"N1=H," + hex, "N53=," + text, "N56=," + text});
        QCOMPARE(form->prepared->edit(0)->text().size(), hex.size());
        QCOMPARE(form->send->lineEdit->text().size(), text.size());
        QCOMPARE(form->send->intervalEdit->text().size(), text.size());
        QVERIFY(folder.Read().contains(zenta::ToGb18030("N1=H," + hex + "\r\r\n")));
        QVERIFY(folder.Read().contains(zenta::ToGb18030("N53=," + text + "\r\r\n")));
        // Typing goes on past the old limit too.
        for (QLineEdit* edit : form->findChildren<QLineEdit*>()) {
            // The main window's edits; the plot window's number boxes hold no payload.
            if (edit->isReadOnly() || edit->window() != form.get()) {
                continue;
            }
            edit->setText(text);
            edit->end(false);
            QTest::keyClicks(edit, "1");
            QVERIFY2(edit->text().size() > text.size(), qPrintable(edit->objectName()));
        }

        // The whole row goes out, with its checksum.
        TPty pty;
        QVERIFY(OpenOn(*form, pty));
        form->send->checksumBox->setCurrentIndex(1);
        form->prepared->edit(0)->setText(hex);
        panel_widgets::InvokeClick(form->prepared->sendButton(0));
        QByteArray got;
        QTRY_VERIFY((got += ReadMaster(pty, 20)).size() >= 12002);
        QCOMPARE(got.size(), 12002);
    }

    // A change reaches both files within a second without a save of its own, so a window
    // that is killed loses nothing; nothing is written while nothing changes.
    void changesReachTheFilesWithinASecond() {
        ProgramFolder folder;
        auto form = NewWindow();
        QVERIFY(form->settingsKeeper->Writer());
        const auto* tick = form->findChild<QTimer*>(QStringLiteral("settingsTimer"));
        QVERIFY(tick && tick->isActive() && tick->interval() <= 1000);
        QVERIFY(!form->settingsKeeper->Check());

        form->send->lineEdit->setText(QStringLiteral("typed, never saved"));
        QVERIFY(form->settingsKeeper->Check());
        QVERIFY(folder.Read().contains("N53=,typed, never saved\r\r\n"));
        QVERIFY(!form->settingsKeeper->Check());

        zenta::DisplayOptions options = form->receive->Display();
        options.lineStamps = !options.lineStamps;
        form->receive->ApplyDisplayOptions(options);
        QVERIFY(form->settingsKeeper->Check());
        QSettings ext(folder.dir.filePath(QStringLiteral("zenta-ext.ini")), QSettings::IniFormat);
        QCOMPARE(ext.value(QStringLiteral("receive/timeStamps")).toBool(), options.lineStamps);
        QVERIFY(!form->settingsKeeper->Check());
        QVERIFY(prompts_.messages.isEmpty());
    }

    // Two windows on one settings folder: the first keeps it, the second reads it, says
    // once that it will not save, and never writes over the first's settings.
    void secondWindowOnTheFolderWritesNothing() {
        ProgramFolder folder;
        auto first = NewWindow();
        first->prepared->edit(5)->setText(QStringLiteral("first's"));
        QVERIFY(first->settingsKeeper->Check());

        auto second = NewWindow();
        QVERIFY(!second->settingsKeeper->Writer());
        QCOMPARE(
            prompts_.messages,
            QStringList{zenta::Msg(zenta::MsgId::SettingsInUse, false).arg(folder.dir.path())});
        QCOMPARE(second->prepared->edit(5)->text(), QStringLiteral("first's"));
        second->prepared->edit(6)->setText(QStringLiteral("second's"));
        panel_widgets::InvokeClick(second->saveSettingsButton);
        QVERIFY(!second->settingsKeeper->Check());
        second->close();
        second.reset();
        QVERIFY(!folder.Read().contains("second's"));
        QVERIFY(folder.Read().contains("N6=A,first's\r\r\n"));

        first->prepared->edit(7)->setText(QStringLiteral("later"));
        QVERIFY(first->settingsKeeper->Check());
        QVERIFY(folder.Read().contains("N8=A,later\r\r\n"));
        first.reset();
        // Released with the first window: the next one keeps the folder again.
        auto third = NewWindow();
        QVERIFY(third->settingsKeeper->Writer());
        QCOMPARE(prompts_.messages.size(), 1);
    }

    // A file the loader cannot read is the user's: kept as zenta5.ini.bak and said once.
    void unreadableFileIsKeptAndReportedOnce() {
        ProgramFolder folder;
        const QByteArray foreign("\xFF\xFEn\0o\0t\0 \0o\0u\0r\0s\0", 18);
        folder.Write(foreign);
        auto form = NewWindow();
        const QString kept = folder.dir.filePath(QStringLiteral("zenta5.ini.bak"));
        QCOMPARE(prompts_.messages,
                 QStringList{zenta::Msg(zenta::MsgId::SettingsKeptAs, false).arg(kept)});
        QFile bak(kept);
        QVERIFY(bak.open(QIODevice::ReadOnly));
        QCOMPARE(bak.readAll(), foreign);
        panel_widgets::InvokeClick(form->saveSettingsButton);
        form->close();
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY(!QFile::exists(folder.dir.filePath(QStringLiteral("zenta5.ini (2).bak"))));
    }

    void unwritableFolderReportsOnceAndCarriesOn() {
        ProgramFolder folder;
        // A write-protected file in a write-protected folder still loads.
        folder.Write(FileOf({"N105=,kept", "N100=,汉语"}));
        QFile::setPermissions(folder.Ini(), QFileDevice::ReadOwner);
        folder.SetWritable(false);
        auto form = NewWindow();
        QCOMPARE(form->prepared->sendButton(4)->text(), QStringLiteral("kept"));
        const QString chinese = zenta::Msg(zenta::MsgId::IniError, false);
        QCOMPARE(prompts_.messages, QStringList{chinese});
        // Every key release saves; the failure is not repeated.
        QTest::keyClicks(form->prepared->edit(3), QStringLiteral("abc"));
        panel_widgets::InvokeClick(form->saveSettingsButton);
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(form->prepared->edit(3)->text(), QStringLiteral("abc"));

        // Once a save works the next failure is reported again.
        folder.SetWritable(true);
        QFile::remove(folder.Ini());
        panel_widgets::InvokeClick(form->saveSettingsButton);
        QVERIFY(folder.Read().contains("N4=A,abc\r\r\n"));
        QFile::setPermissions(folder.Ini(), QFileDevice::ReadOwner);
        panel_widgets::InvokeClick(form->saveSettingsButton);
        QCOMPARE(prompts_.messages.size(), 2);
        QVERIFY(form->isEnabled());
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
