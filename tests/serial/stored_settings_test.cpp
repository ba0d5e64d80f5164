// Stored port settings: value forms, INI files, the per-user registry file, batching.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "serial/CPort.h"
#include "serial/IniStore.h"
#include "serial/posix/PosixSerialDevice.h"
#include "serial/support/PortProbe.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace fs = std::filesystem;
using namespace zenta;  // the value-form helpers under test

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Names of the section's values in file order.
std::vector<std::string> NamesIn(const std::string& text, const std::string& section) {
    std::vector<std::string> names;
    std::istringstream in(text);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + section + "]";
        } else if (inside && line.find('=') != std::string::npos) {
            names.push_back(line.substr(0, line.find('=')));
        }
    }
    return names;
}

const TStoredProps kAllGroups = {spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers};

// Every stored field away from its default.
void SetEverything(TCustomComPort& p) {
    p.SetPort("/dev/ttyUSB7");
    p.SetBaudRate(brCustom);
    p.SetCustomBaudRate(250000);
    p.SetStopBits(sbTwoStopBits);
    p.SetDataBits(dbSeven);
    p.Parity().SetBits(prMark);
    p.SetEventChar('\r');
    p.SetDiscardNull(true);
    p.Parity().SetCheck(true);
    p.Parity().SetReplace(true);
    p.Parity().SetReplaceChar('A');
    p.Buffer().SetOutputSize(2048);
    p.Buffer().SetInputSize(8192);
    p.Timeouts().SetReadInterval(5);
    p.Timeouts().SetReadTotalConstant(-1);
    p.Timeouts().SetReadTotalMultiplier(2);
    p.Timeouts().SetWriteTotalConstant(300);
    p.Timeouts().SetWriteTotalMultiplier(7);
    TComFlowControl& f = p.FlowControl();
    f.SetControlRTS(rtsToggle);
    f.SetControlDTR(dtrHandshake);
    f.SetDSRSensitivity(true);
    f.SetOutCTSFlow(true);
    f.SetOutDSRFlow(true);
    f.SetTxContinueOnXoff(true);
    f.SetXonXoffIn(true);
    f.SetXonXoffOut(false);
    f.SetXoffChar(static_cast<char>(200));
    f.SetXonChar(' ');
}

void ExpectSameSettings(const TCustomComPort& a, const TCustomComPort& b) {
    EXPECT_EQ(a.Port(), b.Port());
    EXPECT_EQ(a.BaudRate(), b.BaudRate());
    EXPECT_EQ(a.CustomBaudRate(), b.CustomBaudRate());
    EXPECT_EQ(a.StopBits(), b.StopBits());
    EXPECT_EQ(a.DataBits(), b.DataBits());
    EXPECT_EQ(a.Parity().Bits(), b.Parity().Bits());
    EXPECT_EQ(a.EventChar(), b.EventChar());
    EXPECT_EQ(a.DiscardNull(), b.DiscardNull());
    EXPECT_EQ(a.Parity().Check(), b.Parity().Check());
    EXPECT_EQ(a.Parity().Replace(), b.Parity().Replace());
    EXPECT_EQ(a.Parity().ReplaceChar(), b.Parity().ReplaceChar());
    EXPECT_EQ(a.Buffer().OutputSize(), b.Buffer().OutputSize());
    EXPECT_EQ(a.Buffer().InputSize(), b.Buffer().InputSize());
    EXPECT_EQ(a.Timeouts().ReadInterval(), b.Timeouts().ReadInterval());
    EXPECT_EQ(a.Timeouts().ReadTotalConstant(), b.Timeouts().ReadTotalConstant());
    EXPECT_EQ(a.Timeouts().ReadTotalMultiplier(), b.Timeouts().ReadTotalMultiplier());
    EXPECT_EQ(a.Timeouts().WriteTotalConstant(), b.Timeouts().WriteTotalConstant());
    EXPECT_EQ(a.Timeouts().WriteTotalMultiplier(), b.Timeouts().WriteTotalMultiplier());
    const TComFlowControl& f = a.FlowControl();
    const TComFlowControl& g = b.FlowControl();
    EXPECT_EQ(f.ControlRTS(), g.ControlRTS());
    EXPECT_EQ(f.ControlDTR(), g.ControlDTR());
    EXPECT_EQ(f.DSRSensitivity(), g.DSRSensitivity());
    EXPECT_EQ(f.OutCTSFlow(), g.OutCTSFlow());
    EXPECT_EQ(f.OutDSRFlow(), g.OutDSRFlow());
    EXPECT_EQ(f.TxContinueOnXoff(), g.TxContinueOnXoff());
    EXPECT_EQ(f.XonXoffIn(), g.XonXoffIn());
    EXPECT_EQ(f.XonXoffOut(), g.XonXoffOut());
    EXPECT_EQ(f.XoffChar(), g.XoffChar());
    EXPECT_EQ(f.XonChar(), g.XonChar());
}

struct StoredSettings : ::testing::Test {
    fs::path dir;
    std::string ini;
    std::string oldXdg;
    bool hadXdg = false;

    void SetUp() override {
        char name[] = "/tmp/stored-settings-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        ini = (dir / "port.ini").string();
        if (const char* x = std::getenv("XDG_CONFIG_HOME")) {
            hadXdg = true;
            oldXdg = x;
        }
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }
    void TearDown() override {
        if (hadXdg) {
            setenv("XDG_CONFIG_HOME", oldXdg.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        fs::remove_all(dir);
    }
    fs::path RegistryFile() const { return dir / "config/zenta/registry.ini"; }
};

// Counts the configurations a port applies to its device.
struct CountingDevice : zenta::TPosixSerialDevice {
    int* configures;
    explicit CountingDevice(int* c) : configures(c) {}
    int Configure(const TDCB& dcb) override {
        ++*configures;
        return zenta::TPosixSerialDevice::Configure(dcb);
    }
};

uint32_t MasterSpeed(int master) {
    struct termios2 t {};
    ioctl(master, TCGETS2, &t);
    return t.c_ospeed;
}

}  // namespace

TEST(StoredValueForms, CharacterTexts) {
    EXPECT_EQ(CharToText(13), "#13");
    EXPECT_EQ(CharToText('A'), "A");
    EXPECT_EQ(CharToText(static_cast<char>(128)), "#128");
    EXPECT_EQ(CharToText(0), "#0");
    EXPECT_EQ(CharToText(' '), "#32");
    EXPECT_EQ(CharToText('!'), "!");
    EXPECT_EQ(CharToText(127), "\x7F");
    EXPECT_EQ(CharToText(static_cast<char>(255)), "#255");

    EXPECT_EQ(TextToChar("#13"), 13);
    EXPECT_EQ(TextToChar("A"), 'A');
    EXPECT_EQ(static_cast<uint8_t>(TextToChar("#128")), 128);
    EXPECT_EQ(TextToChar("#300"), 44);
    EXPECT_EQ(TextToChar("#x"), 0);
    EXPECT_EQ(TextToChar("#13x"), 0);
    EXPECT_EQ(TextToChar(""), 0);
    EXPECT_EQ(TextToChar("#"), '#');
    EXPECT_EQ(TextToChar("AB"), 'A');
    EXPECT_EQ(static_cast<uint8_t>(TextToChar("#-1")), 255);
    EXPECT_EQ(TextToChar("#99999999999"), 0);
    for (int b = 0; b < 256; ++b) {
        ASSERT_EQ(static_cast<uint8_t>(TextToChar(CharToText(static_cast<char>(b)))), b);
    }
}

TEST(StoredValueForms, YesNoAndLineControlTexts) {
    EXPECT_EQ(BoolToText(true), "Yes");
    EXPECT_EQ(BoolToText(false), "No");
    EXPECT_TRUE(TextToBool("yEs"));
    for (const char* no : {"No", "Y", "true", "1", " Yes", ""}) {
        EXPECT_FALSE(TextToBool(no)) << no;
    }
    EXPECT_EQ(RtsToText(rtsToggle), "Toggle");
    EXPECT_EQ(TextToRts("HANDSHAKE"), rtsHandshake);
    EXPECT_EQ(TextToRts("toggle"), rtsToggle);
    EXPECT_EQ(TextToRts("Toggle "), rtsDisable);
    EXPECT_EQ(DtrToText(dtrEnable), "Enable");
    EXPECT_EQ(TextToDtr("enable"), dtrEnable);
    EXPECT_EQ(TextToDtr("Toggle"), dtrDisable);  // no toggle for DTR
}

TEST(IniStoreText, RewritingKeepsEverythingElse) {
    TIniStore store;
    store.Parse(
        "; settings\r\n[Other]\r\nKey = value with blanks \r\n\r\n[comport1]\r\nport=COM9\r\n"
        "Extra=1\r\n\r\n[Last]\r\nA=B=C\r\n");
    store.Open("ComPort1");
    EXPECT_EQ(store.ReadString("PORT", "x"), "COM9");
    store.WriteString("Port", "/dev/ttyS0");
    store.WriteString("BaudRate", "9600");
    store.Open("Other");
    EXPECT_EQ(store.ReadString("key", ""), "value with blanks");
    store.Open("Last");
    EXPECT_EQ(store.ReadString("A", ""), "B=C");
    store.Open("New");
    store.WriteInteger("N", -5);
    EXPECT_EQ(store.Text(),
              "; settings\r\n[Other]\r\nKey = value with blanks \r\n\r\n[comport1]\r\n"
              "port=/dev/ttyS0\r\nExtra=1\r\nBaudRate=9600\r\n\r\n[Last]\r\nA=B=C\r\n"
              "[New]\r\nN=-5\r\n");

    store.Open("Other", true);
    EXPECT_THROW(store.ReadString("Missing"), std::runtime_error);
    EXPECT_EQ(store.ReadInteger("Key", 7), 7);  // not a number
    EXPECT_THROW(store.ReadInteger("Key"), std::runtime_error);
}

TEST(IniStoreText, RewritesKeepStrayCarriageReturnsAndMixedEndings) {
    // LF file with a value line ending in CR CR LF, a CR LF line and no final ending: each
    // rewrite used to drop one stray CR. Only the changed value and the final ending differ.
    const std::string original =
        "[comport1]\nPort=COM1\r\r\nNote=x\r\n; comment\r\r\r\nBaudRate=9600";
    TIniStore store;
    store.Parse(original);
    EXPECT_EQ(store.Text(), original + "\n");
    for (int round = 0; round < 3; ++round) {
        TIniStore again;
        again.Parse(store.Text());
        again.Open("comport1");
        again.WriteString("note", "y");
        again.WriteString("Parity", "None");
        store = again;
    }
    EXPECT_EQ(store.Text(),
              "[comport1]\nPort=COM1\r\r\nNote=y\r\n; comment\r\r\r\nBaudRate=9600\n"
              "Parity=None\n");
}

TEST_F(StoredSettings, IniFileRoundTripInFixedOrderAndTextForms) {
    TComPort source;
    source.SetName("ComPort1");
    source.SetStoredProps(kAllGroups);
    SetEverything(source);
    source.StoreSettings(stIniFile, ini);

    const std::string text = ReadAll(ini);
    EXPECT_EQ(NamesIn(text, "ComPort1"), (std::vector<std::string>{"Port",
                                                                   "BaudRate",
                                                                   "CustomBaudRate",
                                                                   "StopBits",
                                                                   "DataBits",
                                                                   "Parity",
                                                                   "FlowControl",
                                                                   "EventChar",
                                                                   "DiscardNull",
                                                                   "Parity.Check",
                                                                   "Parity.Replace",
                                                                   "Parity.ReplaceChar",
                                                                   "Buffer.OutputSize",
                                                                   "Buffer.InputSize",
                                                                   "Timeouts.ReadInterval",
                                                                   "Timeouts.ReadTotalConstant",
                                                                   "Timeouts.ReadTotalMultiplier",
                                                                   "Timeouts.WriteTotalConstant",
                                                                   "Timeouts.WriteTotalMultiplier",
                                                                   "FlowControl.ControlRTS",
                                                                   "FlowControl.ControlDTR",
                                                                   "FlowControl.DSRSensitivity",
                                                                   "FlowControl.OutCTSFlow",
                                                                   "FlowControl.OutDSRFlow",
                                                                   "FlowControl.TxContinueOnXoff",
                                                                   "FlowControl.XonXoffIn",
                                                                   "FlowControl.XonXoffOut",
                                                                   "FlowControl.XoffChar",
                                                                   "FlowControl.XonChar"}));
    for (const char* line : {"BaudRate=Custom\n", "CustomBaudRate=250000\n", "StopBits=2\n",
                             "DataBits=7\n", "Parity=Mark\n", "FlowControl=Custom\n",
                             "EventChar=#13\n", "DiscardNull=Yes\n", "Parity.ReplaceChar=A\n",
                             "Timeouts.ReadTotalConstant=-1\n", "FlowControl.ControlRTS=Toggle\n",
                             "FlowControl.ControlDTR=Handshake\n", "FlowControl.XonXoffOut=No\n",
                             "FlowControl.XoffChar=#200\n", "FlowControl.XonChar=#32\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    TComPort target;
    target.SetName("ComPort1");
    target.SetStoredProps(kAllGroups);
    target.LoadSettings(stIniFile, ini);
    ExpectSameSettings(source, target);

    // Only the chosen groups are written; a fixed rate writes no CustomBaudRate.
    TComPort basic;
    basic.SetName("Basic");
    basic.SetBaudRate(br115200);
    basic.StoreSettings(stIniFile, ini);
    EXPECT_EQ(NamesIn(ReadAll(ini), "Basic"),
              (std::vector<std::string>{"Port", "BaudRate", "StopBits", "DataBits", "Parity",
                                        "FlowControl"}));
    EXPECT_EQ(NamesIn(ReadAll(ini), "ComPort1").size(), 29u);  // the other section survives
}

TEST_F(StoredSettings, IniLoadKeepsWhatIsMissingAndDefaultsTheCustomRate) {
    std::ofstream(ini) << "[P]\nParity=even\nBaudRate=CUSTOM\nEventChar=#300\n"
                          "Buffer.InputSize=#x\n";
    TComPort port;
    port.SetName("P");
    port.SetStoredProps({spBasic, spOthers, spBuffer});
    port.SetPort("/dev/ttyS4");
    port.SetStopBits(sbTwoStopBits);
    port.SetCustomBaudRate(12345);
    port.SetDiscardNull(true);
    port.Buffer().SetInputSize(2048);
    port.LoadSettings(stIniFile, ini);

    EXPECT_EQ(port.Parity().Bits(), prEven);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 9600);  // missing CustomBaudRate loads 9600
    EXPECT_EQ(port.EventChar(), 44);         // #300 keeps its low 8 bits
    EXPECT_EQ(port.Port(), "/dev/ttyS4");
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_TRUE(port.DiscardNull());
    EXPECT_EQ(port.Buffer().InputSize(), 2048);  // not a number: the current value stays

    // A file that does not exist leaves everything as it was.
    port.LoadSettings(stIniFile, (dir / "none.ini").string());
    EXPECT_EQ(port.Parity().Bits(), prEven);
}

TEST_F(StoredSettings, UnwritableIniFileFailsWithCode16) {
    std::ofstream(dir / "file") << "x";
    TComPort port;
    port.SetName("P");
    EXPECT_EQ(CodeOf([&] { port.StoreSettings(stIniFile, (dir / "file/sub.ini").string()); }), 16);
}

TEST_F(StoredSettings, RegistryPathChoosesTheSectionOfThePerUserFile) {
    TComPort source;
    source.SetName("ComPort1");
    source.SetStoredProps(kAllGroups);
    SetEverything(source);
    source.StoreSettings(stRegistry, "hkey_local_machine\\Software\\zenta");
    source.SetBaudRate(br57600);
    source.StoreSettings(stRegistry, "Software\\zenta\\");

    TIniStore file;
    ASSERT_TRUE(file.LoadFile(RegistryFile().string()));
    EXPECT_EQ(file.Sections(),
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\Software\\zenta\\ComPort1",
                                        "HKEY_CURRENT_USER\\zenta\\ComPort1"}));

    TComPort target;
    target.SetName("ComPort1");
    target.SetStoredProps(kAllGroups);
    target.LoadSettings(stRegistry, "HKEY_LOCAL_MACHINE\\Software\\zenta");
    EXPECT_EQ(target.BaudRate(), brCustom);
    source.SetBaudRate(brCustom);
    ExpectSameSettings(source, target);
    target.LoadSettings(stRegistry, "HKEY_CURRENT_USER\\zenta");
    EXPECT_EQ(target.BaudRate(), br57600);
}

TEST_F(StoredSettings, RegistryWithoutKeyOrValueFails) {
    TComPort port;
    port.SetName("ComPort1");
    // No backslash: no key, so nothing is stored and nothing loads.
    EXPECT_EQ(CodeOf([&] { port.StoreSettings(stRegistry, "Software"); }), 16);
    EXPECT_FALSE(fs::exists(RegistryFile()));
    EXPECT_EQ(CodeOf([&] { port.LoadSettings(stRegistry, "Software"); }), 17);

    // The registry file has no defaults: a missing value fails the load.
    TIniStore file;
    file.Open("HKEY_CURRENT_USER\\Software\\ComPort1");
    file.WriteString("Port", "/dev/ttyS1");
    file.WriteString("BaudRate", "57600");
    ASSERT_TRUE(file.SaveFile(RegistryFile().string()));
    EXPECT_EQ(CodeOf([&] { port.LoadSettings(stRegistry, "HKEY_CURRENT_USER\\Software"); }), 17);
    // What was read before the failure stays set.
    EXPECT_EQ(port.Port(), "/dev/ttyS1");
    EXPECT_EQ(port.BaudRate(), br57600);
}

TEST_F(StoredSettings, LoadReconfiguresAnOpenPortOnceEvenWhenItFails) {
    TPty pty;
    int configures = 0;
    TComPort port;
    port.SetName("Live");
    port.SetPort(pty.SlavePath());
    port.SetDeviceFactory([&] { return std::make_unique<CountingDevice>(&configures); });
    port.SetEvents({});
    port.Open();
    ASSERT_TRUE(port.Connected());
    const int afterOpen = configures;

    std::ofstream(ini) << "[Live]\nBaudRate=57600\nStopBits=2\nParity=None\nDataBits=7\n";
    port.LoadSettings(stIniFile, ini);
    EXPECT_EQ(configures, afterOpen + 1);
    EXPECT_EQ(MasterSpeed(pty.Master()), 57600u);

    // A failing registry load still closes its batch: the rate it read reaches the device
    // at the end, and later changes apply at once again.
    TIniStore file;
    file.Open("HKEY_CURRENT_USER\\Test\\Live");
    file.WriteString("Port", pty.SlavePath());
    file.WriteString("BaudRate", "230400");
    ASSERT_TRUE(file.SaveFile(RegistryFile().string()));
    EXPECT_EQ(CodeOf([&] { port.LoadSettings(stRegistry, "HKEY_CURRENT_USER\\Test"); }), 17);
    EXPECT_EQ(configures, afterOpen + 2);
    EXPECT_EQ(MasterSpeed(pty.Master()), 230400u);
    port.SetBaudRate(br19200);
    EXPECT_EQ(configures, afterOpen + 3);
    EXPECT_EQ(MasterSpeed(pty.Master()), 19200u);
    port.Close();
}
