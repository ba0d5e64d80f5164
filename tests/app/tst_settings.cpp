// The settings file through the live window: defaults, round trips, key rules,
// long files and a folder that cannot be written.
#include <QComboBox>
#include <QLabel>

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
    std::unique_ptr<TForm1> StartWith(ProgramFolder& folder, const QStringList& lines) {
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
        const QString port = QString::fromStdString(form->ComPort.Port());
        if (form->ComComboBox1->count() == 0) {
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
            form->RowEdit(2)->setText(QStringLiteral("a=b,c=,d 汉字"));
            form->RowHexBox(2)->setChecked(true);
            form->RowEdit(3)->setToolTip(QStringLiteral("note=1,2"));
            form->RowButton(3)->setText(QStringLiteral("note=1,2"));
            form->RowEdit(49)->setText(QStringLiteral("last"));
            form->RowEdit(1)->clear();
            form->Edit2->setText(QStringLiteral("/tmp/a=b,c.bin"));
            form->Edit1->setText(QStringLiteral("250"));
            form->Edit35->setText(QStringLiteral("77"));
            form->timeoutText->setText(QStringLiteral("35"));
            form->verifyBox->setCurrentIndex(2);
            form->setGeometry(120, 90, 780, 560);  // within the test screen
            form->ComComboBox2->SelectByUser(17);  // 460800, saves on its own
            TForm1::SetChecked(form->timeoutCRLF, true);
            TForm1::SetChecked(form->CheckBox5, true);
            TForm1::SetChecked(form->NewLine_CB, true);
            form->Edit_Data->setText(QStringLiteral("text, with = signs"));
            TForm1::InvokeClick(form->saveconfig);
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
        QCOMPARE(again->RowEdit(2)->text(), QStringLiteral("a=b,c=,d 汉字"));
        QVERIFY(again->RowHexBox(2)->isChecked());
        QCOMPARE(again->RowButton(3)->text(), QStringLiteral("note=1,2"));
        QCOMPARE(again->RowEdit(1)->text(), QString());
        QCOMPARE(again->geometry(), QRect(120, 90, 780, 560));
        QCOMPARE(again->ComPort.BaudRate(), br460800);
        QCOMPARE(again->ComComboBox2->currentIndex(), 17);
        QCOMPARE(again->verifyBox->currentIndex(), 2);
        QVERIFY(again->timeoutCRLF->isChecked());
        QCOMPARE(again->Edit_Data->text(), QStringLiteral("text, with = signs"));
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
            QCOMPARE(form->ComPort.BaudRate(), b.rate);
            QCOMPARE(form->ComComboBox2->currentIndex(), static_cast<int>(b.rate));
        }
        {
            auto form = StartWith(folder, {"N82=,100", "N83=,abc", "N84=,-20", "N85=,x"});
            QCOMPARE(form->geometry(), QRect(-20, 180, 400, 600));
        }
        {
            auto form = StartWith(folder, {"N5=H,01 02 03", "N6=A,01 02 03", "N7=,01 02 03",
                                           "N1=A,", "N105=,reset", "N80=,/dev/ttyNOPE9"});
            QVERIFY(form->RowHexBox(4)->isChecked());
            QCOMPARE(form->RowEdit(4)->text(), QStringLiteral("01 02 03"));
            QVERIFY(!form->RowHexBox(5)->isChecked());
            QVERIFY(!form->RowHexBox(6)->isChecked());
            QCOMPARE(form->RowEdit(6)->text(), QStringLiteral("01 02 03"));
            QVERIFY(!form->RowHexBox(0)->isChecked());
            QVERIFY(form->RowEdit(0)->text().isEmpty());
            QCOMPARE(form->RowButton(4)->text(), QStringLiteral("reset"));
            QCOMPARE(form->RowButton(4)->toolTip(), QStringLiteral("reset"));
            QCOMPARE(form->RowEdit(4)->toolTip(), QStringLiteral("reset"));
            // A name outside the list is kept, the list selection is not touched.
            QCOMPARE(form->ComPort.Port(), std::string("/dev/ttyNOPE9"));
            QVERIFY(form->ComComboBox1->currentText() != QStringLiteral("/dev/ttyNOPE9"));
        }
        for (const char* line : {"N55=,H", "N55=H,"}) {
            auto form = StartWith(folder, {"N54=,AA BB", QString::fromLatin1(line)});
            QVERIFY2(form->CheckBox4->isChecked(), line);
            QCOMPARE(form->Edit_Data->text(), QStringLiteral("AA BB"));
        }
        {
            // Unknown keys, broken lines and a last line without a break are ignored.
            auto form =
                StartWith(folder, {"N60=,7", "N99=,x", "Nabc=,1", "N58", "N56=,300", "N64=,N"});
            QCOMPARE(form->verifyBox->currentIndex(), 0);
            QCOMPARE(form->Edit1->text(), QStringLiteral("300"));
            QVERIFY(!form->timeoutCRLF->isChecked());
            QCOMPARE(form->Edit35->text(), QStringLiteral("1000"));
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
            QCOMPARE(form->RowEdit(i)->text(), texts[i]);
            QCOMPARE(form->RowButton(i)->text(), QStringLiteral("long note %1").arg(101 + i));
        }
        QCOMPARE(form->timeoutText->text(), QStringLiteral("45"));
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
        QCOMPARE(form->RowEdit(0)->text().size(), hex.size());
        QCOMPARE(form->Edit_Data->text().size(), text.size());
        QCOMPARE(form->Edit1->text().size(), text.size());
        QVERIFY(folder.Read().contains(zenta::ToGb18030("N1=H," + hex + "\r\r\n")));
        QVERIFY(folder.Read().contains(zenta::ToGb18030("N53=," + text + "\r\r\n")));
        // Typing goes on past the old limit too.
        for (QLineEdit* edit : form->findChildren<QLineEdit*>()) {
            if (edit->isReadOnly()) {
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
        form->verifyBox->setCurrentIndex(1);
        form->RowEdit(0)->setText(hex);
        TForm1::InvokeClick(form->RowButton(0));
        QByteArray got;
        QTRY_VERIFY((got += ReadMaster(pty, 20)).size() >= 12002);
        QCOMPARE(got.size(), 12002);
    }

    void unwritableFolderReportsOnceAndCarriesOn() {
        ProgramFolder folder;
        // A write-protected file in a write-protected folder still loads.
        folder.Write(FileOf({"N105=,kept", "N100=,汉语"}));
        QFile::setPermissions(folder.Ini(), QFileDevice::ReadOwner);
        folder.SetWritable(false);
        auto form = NewWindow();
        QCOMPARE(form->RowButton(4)->text(), QStringLiteral("kept"));
        const QString chinese = zenta::Msg(zenta::MsgId::IniError, false);
        QCOMPARE(prompts_.messages, QStringList{chinese});
        // Every key release saves; the failure is not repeated.
        QTest::keyClicks(form->RowEdit(3), QStringLiteral("abc"));
        TForm1::InvokeClick(form->saveconfig);
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(form->RowEdit(3)->text(), QStringLiteral("abc"));

        // Once a save works the next failure is reported again.
        folder.SetWritable(true);
        QFile::remove(folder.Ini());
        TForm1::InvokeClick(form->saveconfig);
        QVERIFY(folder.Read().contains("N4=A,abc\r\r\n"));
        QFile::setPermissions(folder.Ini(), QFileDevice::ReadOwner);
        TForm1::InvokeClick(form->saveconfig);
        QCOMPARE(prompts_.messages.size(), 2);
        QVERIFY(form->isEnabled());
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
