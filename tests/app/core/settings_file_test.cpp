#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "app/core/SettingsFile.h"

namespace zenta {
namespace {

QByteArray Gb(const QString& s) {
    QStringEncoder enc("GB18030");
    EXPECT_TRUE(enc.isValid());
    return enc.encode(s);
}

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

SettingsSnapshot Sample() {
    SettingsSnapshot s = DefaultSettingsSnapshot();
    s.portName = QStringLiteral("/dev/ttyUSB0");
    s.fontName = QStringLiteral("Noto Sans Mono CJK SC");
    return s;
}

// The default file, written out line by line from the format table.
QByteArray ExpectedDefaultFile() {
    QStringList l;
    l << U(";删除本文件可以恢复默认值。")
      << U(";这是ZENTA的设置保存文件,您在程序中设置好的串口参数和字符串数据都会自动保存,"
           "请最好不要用外部编辑器改动本文件!")
      << U(";如果文件被修改后程序不能打开,请删除本文件,程序将会自动生成一个新的ini文件.")
      << U(";靠行首的半角分号是注释符号") << U(";每行都以回车结束") << U(";C:Chinese汉语,E:English")
      << U("N100=,汉语") << U(";当前串口号Port") << "N80=,/dev/ttyUSB0" << U(";波特率Band rate")
      << "N81=,115200" << U(";保存窗口宽度") << "N82=,850" << U(";保存窗口高度") << "N83=,600"
      << U(";保存窗口left") << "N84=,250" << U(";保存窗口top") << "N85=,180" << U(";分割线位置")
      << "N86=,317" << U(";多条命令的宽度") << "N87=,119" << U(";保存窗口字体名称")
      << "N88=,Noto Sans Mono CJK SC" << U(";保存窗口字体大小") << "N89=,9"
      << U(";\"=\"后面的H表示这是个HEX数据串") << U(";\"=\"后面的A表示这是个ASC字符串")
      << U(";Nx表示第几条定义的字符串(1<x<=50)");
    l << U("N101=,十六进制数据串1") << "N1=H,13 00 FF 88"
      << "";
    l << U("N102=,字符串1") << "N2=A,output string"
      << "";
    for (int k = 3; k <= 50; ++k) {
        l << QString("N%1=,%2").arg(100 + k).arg(k) + U("无注释") << QString("N%1=A,").arg(k) << "";
    }
    l << U(";打开文件地址和名称") << "N52=,"
      << "" << U(";主面板ASC字符串") << "N53=,abcdefg" << U(";主面板HEX数据串")
      << "N54=,12 FF 00 30" << U(";主面板发送方式(ASC or HEX)") << "N55=,A"
      << U(";主面板字符串发送间隔时间ms") << "N56=,1000" << U(";主面板字符串发送新行") << "N57=,N"
      << U(";多条字符串发送间隔时间ms") << "N58=,1000" << U(";接收窗口是否HEX显示方式") << "N59=,N"
      << U(";校验方式,1=None，2=modbusCRC16，3=ADD，4=XOR") << "N60=,0" << U(";是否超时换行")
      << "N64=,N" << U(";换行超时时间ms") << "N65=,20"
      << ";end";
    return Gb(l.join("\r\r\n"));
}

TEST(SettingsFile, DefaultFileByteForByte) {
    const QByteArray written = BuildSettingsFile(Sample());
    EXPECT_EQ(written, ExpectedDefaultFile());
    EXPECT_TRUE(written.startsWith("\x3B\xC9\xBE\xB3\xFD"));  // ";删" in GBK
    EXPECT_TRUE(written.endsWith("\r\r\n;end"));
    EXPECT_TRUE(written.contains("\r\r\n;\"=\""));
}

bool SameSnapshot(const SettingsSnapshot& a, const SettingsSnapshot& b) {
    return a == b;
}

TEST(SettingsFile, WriteParseWriteIsStableForAwkwardValues) {
    SettingsSnapshot s = Sample();
    s.english = true;
    s.baudRate = 460800;
    s.windowWidth = 1234;
    s.fontSize = 14;
    s.rows[4] = {true, "01 02 03", "reset"};
    s.rows[7] = {false, "a=b,c==,,d", U("温度,=查询")};
    s.rows[49] = {false, U("emoji \U0001F600 and ，全角"), ""};
    s.filePath = "/tmp/a,b=c.bin";
    s.savedHexLine = "AA BB";
    s.hexSend = true;
    s.appendCrLf = true;
    s.hexDisplay = true;
    s.checksumIndex = 3;
    s.packetDisplay = true;
    s.packetTimeout = "35";

    const QByteArray first = BuildSettingsFile(s);
    const SettingsSnapshot back = LoadSettingsSnapshot(first, DefaultSettingsSnapshot());
    EXPECT_TRUE(SameSnapshot(back, s));
    EXPECT_EQ(BuildSettingsFile(back), first);

    // Files saved by other editors read the same: CR LF, LF, CR alone (an old Mac
    // editor), and breaks mixed within one file.
    for (const char* brk : {"\r\n", "\n", "\r"}) {
        QByteArray other = first;
        other.replace("\r\r\n", brk);
        EXPECT_TRUE(SameSnapshot(LoadSettingsSnapshot(other, DefaultSettingsSnapshot()), s)) << brk;
        EXPECT_TRUE(IsSettingsFile(other));
    }
    QByteArray mixed = first;
    for (qsizetype at = mixed.indexOf("\r\r\n"), n = 0; at >= 0;
         at = mixed.indexOf("\r\r\n", at + 1), ++n) {
        const char* brk[] = {"\r", "\n", "\r\n", "\r\r\n"};
        mixed.replace(at, 3, brk[n % 4]);
    }
    EXPECT_TRUE(SameSnapshot(LoadSettingsSnapshot(mixed, DefaultSettingsSnapshot()), s));
}

TEST(SettingsFile, LongFileLosesNothing) {
    SettingsSnapshot s = Sample();
    for (int i = 0; i < kPreparedRows; ++i) {
        s.rows[i].text = QString(400, QChar('0' + i % 10));
        s.rows[i].note = QString("note %1").arg(i);
    }
    const QByteArray file = BuildSettingsFile(s);
    ASSERT_GT(file.size(), 20000);
    const SettingsSnapshot back = LoadSettingsSnapshot(file, DefaultSettingsSnapshot());
    EXPECT_EQ(back.rows[49].text, s.rows[49].text);
    EXPECT_EQ(back.packetTimeout, "20");
    EXPECT_TRUE(SameSnapshot(back, s));
}

SettingsSnapshot Load(const char* text) {
    return LoadSettingsSnapshot(QByteArray(text), DefaultSettingsSnapshot());
}

TEST(SettingsFile, KeyRules) {
    EXPECT_EQ(Load("N81=,460800\n").baudRate, 460800);
    EXPECT_EQ(Load("N81=,0\n").baudRate, 115200);
    EXPECT_EQ(Load("N81=,12345\n").baudRate, 115200);
    EXPECT_EQ(Load("N81=,2000000\n").baudRate, 2000000);
    EXPECT_EQ(BaudRateFromSetting("110"), br110);
    EXPECT_EQ(Load("N82=,100\r\r\nN83=,abc\r\r\n").windowWidth, 400);
    EXPECT_EQ(Load("N82=,abc\r\r\n").windowWidth, 850);
    EXPECT_EQ(Load("N83=,12\r\r\n").windowHeight, 300);
    EXPECT_EQ(Load("N60=,7\n").checksumIndex, 0);
    EXPECT_EQ(Load("N60=,2\n").checksumIndex, 2);

    const SettingsSnapshot rows = Load("N5=H,01 02 03\nN6=A,01 02 03\nN1=,x\nN105=,reset\n");
    EXPECT_TRUE(rows.rows[4].hex);
    EXPECT_EQ(rows.rows[4].text, "01 02 03");
    EXPECT_FALSE(rows.rows[5].hex);
    EXPECT_FALSE(rows.rows[0].hex);
    EXPECT_EQ(rows.rows[4].note, "reset");

    EXPECT_TRUE(Load("N55=,H\n").hexSend);
    EXPECT_TRUE(Load("N55=H,\n").hexSend);
    EXPECT_FALSE(Load("N55=H,\nN55=A,\n").hexSend);
    EXPECT_TRUE(Load("N55=H,\nN55=,X\n").hexSend);  // anything else leaves it

    EXPECT_TRUE(Load("N59=,Y\nN59=,maybe\n").hexDisplay);
    EXPECT_FALSE(Load("N59=,Y\nN59=,N\n").hexDisplay);
    EXPECT_TRUE(Load("N64=,Y\nN64=,N\n").packetDisplay);  // only "Y" changes it
    EXPECT_TRUE(Load("N100=,English\n").english);
    EXPECT_FALSE(Load("N100=,english\n").english);
}

// The window passes each taken key on to its controls from this callback, so the order, the
// row numbers and the snapshot it sees are what the window shows.
TEST(SettingsFile, LoaderHandsOnEachTakenKeyInFileOrder) {
    std::vector<std::pair<SettingsKey, int>> seen;
    QString rowTextSeen;
    const SettingsSnapshot s = LoadSettingsSnapshot(
        "N55=,X\nN99=,x\nN7=H,ab\nN0=,z\nN157=,q\nN107=,note\nN82=,100\nN151=,no\nN50=A,end\n",
        DefaultSettingsSnapshot(), [&](const SettingsSnapshot& now, SettingsKeyHit hit) {
            seen.emplace_back(hit.key, hit.row);
            if (hit.key == SettingsKey::Row && hit.row == 6) {
                rowTextSeen = now.rows[6].text;
            }
        });
    const std::vector<std::pair<SettingsKey, int>> expected = {{SettingsKey::HexSend, 0},
                                                               {SettingsKey::Row, 6},
                                                               {SettingsKey::Note, 6},
                                                               {SettingsKey::WindowWidth, 0},
                                                               {SettingsKey::Row, 49}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(rowTextSeen, "ab");
    EXPECT_FALSE(s.hexSend);
    EXPECT_EQ(s.windowWidth, 400);
    EXPECT_EQ(s.rows[49].text, "end");
}

TEST(SettingsFile, MalformedLinesStayWithinTheirLine) {
    const auto lines = ParseSettingsFile(
        "N5\r\r\n"  // no "=": skipped
        "N6=H,abc\r\r\n"
        "N7=H\r\n"  // no ",": marker only
        "N8=,x\r\n"
        "N=,v\n"  // key text empty: key 0
        ";N9=,comment\n"
        "\r\n"
        "N10=,tail");  // the last line needs no break
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].key, 6);
    EXPECT_EQ(lines[0].marker, "H");
    EXPECT_EQ(lines[0].value, "abc");
    EXPECT_EQ(lines[1].key, 7);
    EXPECT_EQ(lines[1].marker, "H");
    EXPECT_TRUE(lines[1].value.isEmpty());
    EXPECT_EQ(lines[2].key, 8);
    EXPECT_EQ(lines[2].value, "x");
    EXPECT_EQ(lines[3].key, 0);
    EXPECT_EQ(lines[4].key, 10);
    EXPECT_EQ(lines[4].value, "tail");
}

// A file the loader cannot read (another program's, UTF-16, a damaged one) holds nothing
// the window shows, so the next save would destroy it: it is kept as zenta5.ini.bak.
TEST(SettingsFile, AnUnreadableFileIsKeptBeforeItIsWrittenOver) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("zenta5.ini");
    const QString bak = dir.filePath("zenta5.ini.bak");
    auto put = [](const QString& p, const QByteArray& bytes) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    const QByteArray mine = BuildSettingsFile(Sample());
    static const char kUtf16[] = "\xff\xfeN\0001\000=\000A\000,\000x\000\r\000\n\000";
    const QByteArray utf16(kUtf16, sizeof kUtf16 - 1);
    EXPECT_FALSE(IsSettingsFile(utf16));
    EXPECT_FALSE(IsSettingsFile(";only a comment\r\nN999=,x\r\n"));
    EXPECT_TRUE(IsSettingsFile(""));
    EXPECT_TRUE(IsSettingsFile("N53=,text"));

    put(path, utf16);
    ASSERT_TRUE(WriteSettingsFile(path, mine));
    EXPECT_EQ(ReadSettingsFile(bak), utf16);
    EXPECT_EQ(ReadSettingsFile(path), mine);
    // A readable file is simply replaced, with no new backup.
    ASSERT_TRUE(WriteSettingsFile(path, mine + "\r\r\n"));
    EXPECT_EQ(ReadSettingsFile(bak), utf16);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    // An earlier backup is never written over.
    put(path, "garbage");
    ASSERT_TRUE(WriteSettingsFile(path, mine));
    EXPECT_EQ(ReadSettingsFile(bak), utf16);
    EXPECT_EQ(ReadSettingsFile(dir.filePath("zenta5.ini (2).bak")), QByteArray("garbage"));
    // When the old file cannot even be read, it is not written over (the superuser
    // reads it anyway).
    put(path, "garbage");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    if (QFile probe(path); !probe.open(QIODevice::ReadOnly)) {
        QString why;
        EXPECT_FALSE(WriteSettingsFile(path, mine, &why));
        EXPECT_FALSE(why.isEmpty());
    }
}

TEST(SettingsFile, PathsAndWriting) {
    EXPECT_EQ(ComputeSettingsPath("/opt/zenta", true, "/home/u/.config"), "/opt/zenta/zenta5.ini");
    EXPECT_EQ(ComputeSettingsPath("/usr/bin", false, "/home/u/.config"),
              "/home/u/.config/zenta/zenta5.ini");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("sub/zenta5.ini");
    const QByteArray bytes = BuildSettingsFile(Sample());
    ASSERT_TRUE(WriteSettingsFile(path, bytes));
    EXPECT_EQ(ReadSettingsFile(path), bytes);

    // A read-only file still loads and is not overwritten.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    QString why;
    EXPECT_FALSE(WriteSettingsFile(path, "other", &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(ReadSettingsFile(path), bytes);
    EXPECT_EQ(ReadSettingsFile(dir.filePath("missing.ini")), std::nullopt);
}

TEST(SettingsFile, SaveFailureIsReportedOnceUntilASaveWorks) {
    SaveFailureLatch latch;
    EXPECT_TRUE(latch.OnSaveResult(false));
    EXPECT_FALSE(latch.OnSaveResult(false));
    EXPECT_FALSE(latch.OnSaveResult(true));
    EXPECT_TRUE(latch.OnSaveResult(false));
}

}  // namespace
}  // namespace zenta
