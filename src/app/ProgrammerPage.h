#pragma once
// The programmer page: start button, programming rate, help text and wiring diagram, and
// the adapter that lets a programming run use the window's port, receive path, controls
// and message boxes. Needs from outside: nearly everything the run touches, all through
// WindowLinks.

#include <QObject>
#include <memory>

class QCheckBox;
class QPlainTextEdit;
class QSettings;
class QPushButton;
class QRadioButton;
class QWidget;
class TIspSchematic;
class WindowLinks;

class ProgrammerPage : public QObject {
    Q_OBJECT
  public:
    ProgrammerPage(QWidget* page, WindowLinks& window);
    ~ProgrammerPage() override;

    // ---- controls
    QWidget* page = nullptr;               // "stm32ISP"
    QPushButton* startButton = nullptr;    // "开始下载STM32"
    QRadioButton* slowRadio = nullptr;     // "烧64K字节约10秒": slow rate
    QRadioButton* middleRadio = nullptr;   // "烧64K字节约5.3秒": middle rate (default)
    QRadioButton* fastRadio = nullptr;     // "最快"
    QCheckBox* verifyCheck = nullptr;      // "写入后校验": read back and compare
    QCheckBox* erasePagesCheck = nullptr;  // "只擦除用到的扇区": keep the rest of the flash
    QPlainTextEdit* helpText = nullptr;
    TIspSchematic* schematic = nullptr;  // wiring of the download cable

    // Starts a run; it goes on from the window's events after the click returns.
    void onStartClicked();
    // True while a run holds the port: nothing else may write to it meanwhile.
    bool Running() const { return run_ != nullptr; }
    void SetEnglish(bool english);
    // The page's options in the second settings file.
    void LoadOptions(QSettings& settings);
    void SaveOptions(QSettings& settings) const;

    // Image buffers, the wake-up timer of the run's waits and the clock.
    struct State;

  signals:
    // A run ended (its texts and messages are out, the port is given back).
    void runEnded();

  private:
    struct Run;
    void Drive();
    void End();

    WindowLinks& window_;
    std::unique_ptr<State> state_;
    std::unique_ptr<Run> run_;
    bool driving_ = false;  // the run is running (not paused) on this thread
};
