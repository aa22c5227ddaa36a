// The window's binding to the lower layers: controls found by name, driven as a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QComboBox>
#include <QSpinBox>
#include <QDockWidget>
#include <QTextBlock>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QThread>
#include <atomic>
#include <functional>
#include <thread>
#include <memory>

#include "comm/transfer_log.h"
#include "cli/sim_port.h"
#include "ui/form_com_parameters.h"
#include "ui/form_logs.h"
#include "ui/form_main.h"
#include "ui/form_program_settings.h"
#include "ui/il_page.h"
#include "ui/lamp.h"
#include "ui/qt_main_thread.h"

using namespace ferrolad;

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No settings file of the user's may change the defaults under test.
    static QTemporaryDir home;
    qputenv("APPDATA", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QDir::setCurrent(home.path());
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Processes events until done() holds; generous limit, never a timing assertion.
bool WaitFor(const std::function<bool()>& done, int limitMs = 10000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

QStringList Lines(const QPlainTextEdit* view) {
  QStringList lines = view->toPlainText().split('\n');
  while (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
  return lines;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<TFormMain>();
    window->Inform = [this](const QString& text) { informed << text; };
    window->Ask = [this](const QString&, const QString& text, int) {
      asked << text;
      return static_cast<int>(answer);
    };
    page = window->ILPage();
    editor = window->findChild<QPlainTextEdit*>("RichEditILP");
    nums = window->findChild<QPlainTextEdit*>("MemoIlNums");
    values = window->findChild<QPlainTextEdit*>("MemoParamValues");
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(nums, nullptr);
    ASSERT_NE(values, nullptr);
  }
  void TearDown() override {
    window->close();
    window.reset();
  }
  TShape* Lamp(const char* name) { return window->findChild<TShape*>(name); }
  QLabel* Label(const char* name) { return window->findChild<QLabel*>(name); }
  // Types text into the editor and lets the debounced numbering run.
  void SetProgram(const QString& text) {
    editor->setPlainText(text);
    ASSERT_TRUE(WaitFor([&] { return !page->TimerUpdateNum->isActive(); }));
  }

  std::unique_ptr<TFormMain> window;
  TILPage* page = nullptr;
  QPlainTextEdit* editor = nullptr;
  QPlainTextEdit* nums = nullptr;
  QPlainTextEdit* values = nullptr;
  QStringList informed, asked;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
};

TEST_F(WindowTest, StartsWithCaptionPagesAndDefaults) {
  EXPECT_EQ(window->windowTitle(), "Ferrolad, ver. 3.0.3b  -  Orvane");
  ASSERT_NE(window->pgcMain, nullptr);
  EXPECT_EQ(window->pgcMain->tabText(0), "Instructions List Mode");
  EXPECT_EQ(window->pgcMain->tabText(1), "Ladder Diagram Mode");
  EXPECT_EQ(window->cbxComPort->itemText(0), "SIM");  // a new user can connect at once
  EXPECT_EQ(window->cbxComPort->currentText(), "SIM");
  EXPECT_EQ(window->btnConnectComPort->text(), "Connect");
  EXPECT_EQ(Label("lblCommunicationState")->text(), "Not connected");
  EXPECT_EQ(window->TimerGetState->interval(), 200);
  EXPECT_TRUE(window->TimerGetState->isActive());
  EXPECT_EQ(window->cbxDeviceModel->currentText(), "KVDX-Lira ver.2");
  for (const char* name : {"shpX0", "shpX7", "shpY0", "shpY7", "shpRunStop", "shpErrors", "shpError4",
                           "shpStateEnergized", "shpStateBusyRun", "shpState"}) {
    ASSERT_NE(Lamp(name), nullptr) << name;
    EXPECT_EQ(Lamp(name)->lampColor(), TLampColor::White) << name;
  }
}

TEST_F(WindowTest, NumberColumnSkipsCommentsAndWrongLines) {
  SetProgram("LD X0\n// note\nLD X9\n\tOUT\tY0 ; lamp\n\n; other\nEND");
  EXPECT_EQ(Lines(nums), (QStringList{"0->  ", " ", " ", "1->  ", " ", " ", "2->  "}));
  // Editing in the middle renumbers what follows.
  QTextCursor c(editor->document()->findBlockByNumber(1));
  c.insertText("LD X1");
  ASSERT_TRUE(WaitFor([&] { return !page->TimerUpdateNum->isActive(); }));
  EXPECT_EQ(Lines(nums), (QStringList{"0->  ", "1->  ", " ", "2->  ", " ", " ", "3->  "}));
}

TEST_F(WindowTest, ProgramOverTheLimitIsNumberedOnlyByEnumerate) {
  QStringList program;
  for (int i = 0; i < 501; ++i) program << "LD X0";
  SetProgram(program.join('\n'));
  EXPECT_TRUE(nums->document()->isEmpty());
  page->BtnEnumerate->click();
  ASSERT_TRUE(WaitFor([&] { return !page->Enumerating(); }));
  const QStringList shown = Lines(nums);
  ASSERT_EQ(shown.size(), 501);
  EXPECT_EQ(shown.back(), "500->  ");
  EXPECT_TRUE(editor->isEnabled());
  EXPECT_TRUE(page->BtnEnumerate->isEnabled());
  // A limit that is not a number reads as 500.
  page->EditMaxAutoEnumerating->setText("abc");
  emit page->EditMaxAutoEnumerating->editingFinished();
  EXPECT_EQ(page->EditMaxAutoEnumerating->text(), "500");
}

struct CleanUpCase {
  const char* radio;
  QStringList expected;
};

TEST_F(WindowTest, CleanUpInBothModes) {
  const CleanUpCase cases[] = {
      {"rbtClearWrLine", {"LD X0", "// c", "END x", "OUT Y0"}},
      {"rbtCommentWrLine", {"LD X0", "// c", "// wrong parameter 1: -> LD X9", "END x", "// wrong command: -> foo", "OUT Y0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.radio);
    SetProgram("LD X0\n\n// c\nLD X9\nEND x\n   \nfoo\nOUT Y0");
    window->findChild<QRadioButton*>(c.radio)->setChecked(true);
    window->findChild<QPushButton*>("btnCleanUpILP")->click();
    EXPECT_EQ(Lines(editor), c.expected);
    // A second clean-up changes nothing; one undo brings the text back.
    window->findChild<QPushButton*>("btnCleanUpILP")->click();
    EXPECT_EQ(Lines(editor), c.expected);
    editor->undo();
    editor->undo();
    EXPECT_EQ(Lines(editor).size(), 8);
  }
}

TEST_F(WindowTest, ClearEmptiesProgramAndValuesWithoutAsking) {
  SetProgram("LD X0\nOUT Y0");
  values->setPlainText("x\ny");
  window->findChild<QPushButton*>("btnClearILP")->click();
  EXPECT_TRUE(editor->document()->isEmpty());
  EXPECT_TRUE(values->document()->isEmpty());
  EXPECT_TRUE(asked.isEmpty());
}

TEST_F(WindowTest, OpenAppendsOrReplacesAndSaveWritesTheLines) {
  QTemporaryDir dir;
  const QString path = dir.filePath("prog.txt");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("LD X1\r\n\r\nOUT Y1\r\n");
  }
  SetProgram("END");
  QString error;
  ASSERT_TRUE(page->LoadProgramFile(path, true, error));
  EXPECT_EQ(Lines(editor), (QStringList{"END", "LD X1", "OUT Y1"}));
  EXPECT_EQ(Lines(nums), (QStringList{"0->  ", "1->  ", "2->  "}));
  ASSERT_TRUE(page->LoadProgramFile(path, false, error));
  EXPECT_EQ(Lines(editor), (QStringList{"LD X1", "OUT Y1"}));
  EXPECT_FALSE(page->LoadProgramFile(dir.filePath("missing.txt"), false, error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(Lines(editor), (QStringList{"LD X1", "OUT Y1"}));

  const QString saved = dir.filePath("saved.txt");
  ASSERT_TRUE(page->SaveProgramFile(saved, error));
  QFile f(saved);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("LD X1\r\nOUT Y1\r\n"));
}

TEST_F(WindowTest, ThreeViewsKeepTheSameFirstLine) {
  window->resize(1240, 760);
  window->show();
  QStringList program, info;
  for (int i = 0; i < 400; ++i) program << (i % 7 == 3 ? QString("// remark") : QString("LD X%1").arg(i % 8));
  for (int i = 0; i < 40; ++i) info << QString("value %1").arg(i);
  SetProgram(program.join('\n'));
  page->BtnEnumerate->click();
  ASSERT_TRUE(WaitFor([&] { return !page->Enumerating(); }));
  values->setPlainText(info.join('\n'));  // shorter than the program

  auto firstLines = [&] {
    return std::array<int, 3>{TILPage::FirstVisibleLine(nums), TILPage::FirstVisibleLine(editor),
                              TILPage::FirstVisibleLine(values)};
  };
  editor->verticalScrollBar()->setValue(120);  // scroll bar of the editor
  EXPECT_EQ(firstLines(), (std::array<int, 3>{120, 120, 120}));
  nums->verticalScrollBar()->setValue(37);  // wheel over the number column
  EXPECT_EQ(firstLines(), (std::array<int, 3>{37, 37, 37}));
  QTextCursor c(editor->document()->findBlockByNumber(390));  // caret moved far down
  editor->setTextCursor(c);
  editor->ensureCursorVisible();
  const auto lines = firstLines();
  EXPECT_GT(lines[1], 300);
  EXPECT_EQ(lines[0], lines[1]);
  EXPECT_EQ(lines[2], lines[1]);
  // The numbers beside a line are that line's.
  EXPECT_EQ(nums->document()->findBlockByNumber(lines[0]).text().isEmpty(), false);
}

TEST_F(WindowTest, PopupMenuFollowsEditorState) {
  SetProgram("LD X0");
  page->UpdatePopupMenu();
  auto action = [&](const char* name) { return page->PopupMenuMemoStandard->findChild<QAction*>(name); };
  EXPECT_FALSE(action("Cut")->isEnabled());
  EXPECT_FALSE(action("Copy")->isEnabled());
  EXPECT_FALSE(action("Delete")->isEnabled());
  editor->selectAll();
  page->UpdatePopupMenu();
  EXPECT_TRUE(action("Cut")->isEnabled());
  EXPECT_TRUE(action("Delete")->isEnabled());
  action("Delete")->trigger();
  EXPECT_TRUE(editor->document()->isEmpty());
  page->UpdatePopupMenu();
  EXPECT_TRUE(action("Undo")->isEnabled());
}

TEST_F(WindowTest, LampsAndLabelsFollowTheStatusModel) {
  TStatusModel& status = window->Status();
  auto answer = [&](uint8_t fn, uint16_t address, int32_t value, uint8_t items) {
    TReadResponse r;
    r.Function = fn;
    r.Address = address;
    r.Value = value;
    r.RequestedItems = items;
    status.HandleResponse(r);
  };
  answer(2, 0x2000, 0x05, 8);  // inputs X0 and X2 on
  EXPECT_EQ(Lamp("shpX0")->lampColor(), TLampColor::Yellow);
  EXPECT_EQ(Lamp("shpX1")->lampColor(), TLampColor::Silver);
  EXPECT_EQ(Lamp("shpX2")->lampColor(), TLampColor::Yellow);
  answer(2, 0xF001, 1, 1);  // RUN
  EXPECT_EQ(Lamp("shpRunStop")->lampColor(), TLampColor::Red);
  EXPECT_EQ(Label("lblRunStop")->text(), "RUN mode");
  EXPECT_TRUE(page->btnSendToControllerIL->isHidden());
  EXPECT_FALSE(page->lblTurnToStopMode->isHidden());
  answer(2, 0xF001, 0, 1);  // STOP
  EXPECT_EQ(Label("lblRunStop")->text(), "STOP mode");
  EXPECT_FALSE(page->btnSendToControllerIL->isHidden());
  EXPECT_TRUE(page->lblTurnToStopMode->isHidden());
  answer(2, 0xE000, 0x11, 5);  // general and user-program errors
  EXPECT_EQ(Lamp("shpErrors")->lampColor(), TLampColor::Red);
  EXPECT_EQ(Label("lblErrors")->text(), "Error occurred");
  EXPECT_EQ(Lamp("shpError4")->lampColor(), TLampColor::Red);
  EXPECT_FALSE(Label("lblUserProgramErrorLine")->isHidden());
  EXPECT_FALSE(window->findChild<QPushButton*>("btnClearErrors")->isHidden());
  answer(4, 0x5037, 0x24, 1);  // motor status
  EXPECT_EQ(Lamp("shpStateEnergized")->lampColor(), TLampColor::Yellow);
  EXPECT_EQ(Lamp("shpStateAccel")->lampColor(), TLampColor::Yellow);
  EXPECT_EQ(Lamp("shpStateBusyMove")->lampColor(), TLampColor::Yellow);
  EXPECT_EQ(Lamp("shpStateStop")->lampColor(), TLampColor::Silver);
  status.ClearIndicators();  // the watchdog
  if (status.Changed) status.Changed();
  EXPECT_EQ(Lamp("shpX0")->lampColor(), TLampColor::White);
  EXPECT_EQ(Lamp("shpRunStop")->lampColor(), TLampColor::White);
}

TEST_F(WindowTest, ErrorLineClickSelectsTheInstruction) {
  SetProgram("// head\nLD X0\n\nOUT Y0\nEND");
  TReadResponse line;
  line.Function = 4;
  line.Address = 0xE084;
  line.Value = 1;
  line.RequestedItems = 1;
  window->Status().HandleResponse(line);
  answer = QMessageBox::Yes;
  window->lblUserProgramErrorLineClick();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked.front().startsWith("The program in the controller memory and the list may differ."));
  EXPECT_EQ(editor->textCursor().selectedText(), "OUT Y0");
  answer = QMessageBox::No;
  editor->moveCursor(QTextCursor::Start);
  window->lblUserProgramErrorLineClick();
  EXPECT_FALSE(editor->textCursor().hasSelection());
}

TEST_F(WindowTest, ProgramSettingsApplyToTheRunningProgram) {
  TFormProgramSettings dialog(window->Settings(), [&](int ms) { window->SetStatusInterval(ms); }, window.get());
  EXPECT_EQ(dialog.windowTitle(), "Program Settings");
  dialog.rbtn60000ms->setChecked(true);
  dialog.UpDownBlocksNum->setValue(2500);
  dialog.chbxAddCompilationInfoToLog->setChecked(true);
  dialog.btnApply->click();
  EXPECT_EQ(window->TimerGetState->interval(), 10000);
  EXPECT_EQ(window->Settings().MaxBlocksInFragment(), 2500);
  EXPECT_TRUE(window->Settings().AddCompilationInfoToLog());
}

TEST_F(WindowTest, LogWindowMirrorsTheTransferLog) {
  TFormLogs* logs = window->FormLogs();
  ASSERT_NE(logs, nullptr);
  EXPECT_EQ(logs->windowTitle(), "Data transition logs");
  window->Log().AddLogEntry(0, ":010400010001F9");
  window->Log().AddLogLine("Attempt 1=> ");
  EXPECT_EQ(Lines(logs->richeditLog), (QStringList{" Send: :010400010001F9", "Attempt 1=> "}));
  logs->btnClear->click();
  EXPECT_TRUE(logs->richeditLog->document()->isEmpty());
  window->Log().AddLogEntry(2, "No answer!");
  EXPECT_EQ(Lines(logs->richeditLog), (QStringList{"Error: No answer!"}));
  EXPECT_TRUE(logs->ErrMsgPanel->isHidden());
}

TEST_F(WindowTest, ConnectsToTheSimulatorAndShowsItsState) {
  ASSERT_EQ(window->cbxComPort->currentText(), "SIM");
  window->btnConnectComPort->click();
  EXPECT_EQ(window->btnConnectComPort->text(), "Disconnect");
  EXPECT_EQ(Label("lblPortConnected")->text(), "SIM connected");
  EXPECT_FALSE(window->cbxDeviceModel->isEnabled());
  // Identification, then status polling of the simulated controller.
  ASSERT_TRUE(WaitFor([&] { return !Label("lblControllerVersion")->text().isEmpty(); }));
  ASSERT_TRUE(WaitFor([&] { return Lamp("shpRunStop")->lampColor() != TLampColor::White; }));
  EXPECT_EQ(Label("lblRunStop")->text(), "STOP mode");
  // The simulator panel flips an input; the lamp follows through the poll.
  ASSERT_FALSE(window->dockSimulator->isHidden());
  window->findChild<QCheckBox*>("chbxSimX3")->setChecked(true);
  ASSERT_TRUE(WaitFor([&] { return Lamp("shpX3")->lampColor() == TLampColor::Yellow; }));
  window->findChild<QCheckBox*>("chbxSimRun")->setChecked(true);
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "RUN mode"; }));
  EXPECT_TRUE(informed.isEmpty()) << informed.join('|').toStdString();

  window->dockSimulator->close();  // closed by the user, brought back by its button
  window->findChild<QPushButton*>("btnSimulator")->click();
  EXPECT_FALSE(window->dockSimulator->isHidden());

  window->btnConnectComPort->click();  // disconnect
  EXPECT_TRUE(window->findChild<QPushButton*>("btnSimulator")->isHidden());
  EXPECT_EQ(window->btnConnectComPort->text(), "Connect");
  EXPECT_EQ(Label("lblCommunicationState")->text(), "Not connected");
  EXPECT_TRUE(window->cbxDeviceModel->isEnabled());
}

TEST_F(WindowTest, ClosingWhileConnectedEndsEveryWorker) {
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Lamp("shpRunStop")->lampColor() != TLampColor::White; }));
  page->BtnEnumerate->click();  // a manual enumeration may be running too
  window->close();
  EXPECT_EQ(window->Modbus().LiveWorkers(), 0u);
  EXPECT_FALSE(window->TimerGetState->isActive());
  window.reset();  // destruction after close neither hangs nor crashes
  window = std::make_unique<TFormMain>();
}

}  // namespace

namespace {

TEST_F(WindowTest, UploadWritesTheProgramIntoTheSimulator) {
  SetProgram("// demo\nLD X0\nOUT Y0\n\nEND");
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "STOP mode"; }));
  ASSERT_NE(window->Sim(), nullptr);
  page->btnSendToControllerIL->click();
  ASSERT_TRUE(WaitFor([&] { return window->Sim()->Controller().program(sim::ProgramType::Main).size() == 3; }));
  ASSERT_TRUE(WaitFor([&] { return Label("lblCommandsTransfered")->text() == "Commands transferred: 3"; }))
      << Label("lblCommandsTransfered")->text().toStdString();
  EXPECT_TRUE(informed.isEmpty()) << informed.join('|').toStdString();
}

TEST_F(WindowTest, UploadOfAWrongLineMarksItAndSendsNothing) {
  SetProgram("LD X0\n// c\nOUT Y0\nLD X9\nEND");
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "STOP mode"; }));
  page->btnSendToControllerIL->click();
  ASSERT_EQ(informed.size(), 1);
  EXPECT_EQ(informed.front(), "There is a wrong command in the list: \"LD X9\". Line: 3");
  EXPECT_EQ(Lines(editor)[3], "// wrong parameter 1: -> LD X9");
  EXPECT_TRUE(window->Sim()->Controller().program(sim::ProgramType::Main).empty());
}

TEST_F(WindowTest, CommunicationParametersAreWrittenAndReadBack) {
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "STOP mode"; }));
  bool checked = false;
  QTimer::singleShot(0, window.get(), [&] {
    auto* dialog = window->findChild<TFormComParameters*>();
    ASSERT_NE(dialog, nullptr);  // (it exists: this runs inside its modal loop)
    // The dialog is closed whatever the checks say, so that the modal loop ends.
    auto checks = [&] {
      // The opening read fills the dialog; choices made before its answers would be overwritten.
      auto idle = [&] { return window->Modbus().UserCommandPending == 0; };
      ASSERT_TRUE(WaitFor(idle));
      EXPECT_EQ(dialog->windowTitle(), "Communication parameters");
      EXPECT_TRUE(dialog->rbtnNone->isHidden());
      dialog->rbtnRTU->setChecked(true);
      EXPECT_FALSE(dialog->rbtnNone->isHidden());  // NONE parity only in RTU mode
      dialog->rbtnODD->setChecked(true);
      dialog->cbxBaudeRate->setCurrentText("57600");
      dialog->btnApply->click();
      sim::SimController& c = window->Sim()->Controller();
      EXPECT_TRUE(WaitFor([&] { return c.baudRate() == 57600 && c.parity() == 1 && c.rtuMode(); }));
      // A fresh read fills the dialog from the controller's answers.
      dialog->rbtnASCII->setChecked(true);
      dialog->rbtEven1Stop->setChecked(true);
      ASSERT_TRUE(WaitFor(idle));
      dialog->btnApply1->click();
      EXPECT_TRUE(WaitFor([&] { return dialog->rbtnRTU->isChecked() && dialog->rbtnODD->isChecked(); }));
      checked = true;
    };
    checks();
    dialog->reject();
  });
  window->btnTransferParamsClick();
  EXPECT_TRUE(checked);

}

}  // namespace

namespace {

TEST_F(WindowTest, DownloadReadsTheProgramBackIntoTheEditor) {
  SetProgram("LD X0\nOUT Y0\nEND");
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "STOP mode"; }));
  page->btnSendToControllerIL->click();
  ASSERT_TRUE(WaitFor([&] { return window->Sim()->Controller().program(sim::ProgramType::Main).size() == 3; }));
  ASSERT_TRUE(WaitFor([&] { return !window->Modbus().TransferRunning(); }));
  answer = QMessageBox::Yes;  // "Clear it?"
  page->btnReadFromControllerIL->click();
  ASSERT_TRUE(WaitFor([&] { return Lines(editor).size() == 4; }, 20000)) << editor->toPlainText().toStdString();
  EXPECT_EQ(Lines(editor), (QStringList{"LD\tX0", "OUT\tY0", "END", "//Totally 3 commands were read from the controller"}));
  EXPECT_TRUE(page->pnlProgramReading->isHidden());
  EXPECT_TRUE(window->pgcMain->isEnabled());
  EXPECT_EQ(Lines(nums).mid(0, 3), (QStringList{"0->  ", "1->  ", "2->  "}));
}

TEST_F(WindowTest, UploadInRunModeSaysSo) {
  SetProgram("LD X0\nEND");
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "STOP mode"; }));
  window->findChild<QCheckBox*>("chbxSimRun")->setChecked(true);
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "RUN mode"; }));
  emit page->uploadRequested();  // the button itself is hidden in RUN
  ASSERT_TRUE(WaitFor([&] { return !informed.isEmpty(); }));
  EXPECT_EQ(informed.front(), "Controller is in Run mode");
  EXPECT_TRUE(window->Sim()->Controller().program(sim::ProgramType::Main).empty());
}

}  // namespace

namespace {

TEST_F(WindowTest, ClearErrorsClearsTheControllersErrors) {
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblErrors")->text() == "No errors"; }));
  window->Sim()->Controller().raiseError(sim::ErrorGroup::UserProgram, 0x2012, 4);
  ASSERT_TRUE(WaitFor([&] { return Label("lblErrors")->text() == "Error occurred"; }));
  ASSERT_TRUE(WaitFor([&] { return Label("lblUserProgramErrorCode")->text() == "code: 0x2012"; }));
  auto* clear = window->findChild<QPushButton*>("btnClearErrors");
  ASSERT_FALSE(clear->isHidden());
  clear->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblErrors")->text() == "No errors"; }));
  EXPECT_EQ(Lamp("shpErrors")->lampColor(), TLampColor::Green);
  EXPECT_TRUE(clear->isHidden());
  EXPECT_EQ(window->Sim()->Controller().errorBits(), 0);
}

TEST(SettingsFileAtStartUp, StatusIntervalComesFromTheFileAndNeverDropsBelow100) {
  const QString folder = qEnvironmentVariable("APPDATA") + "/Orvane/Ferrolad";
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString path = folder + "/ferrolad.txt";
  struct Case {
    const char* line;
    int interval;
  };
  for (const Case& c : {Case{"<STATE_REQ>=1000", 1000}, Case{"<STATE_REQ>=50", 200}, Case{"<STATE_REQ>=100", 100}}) {
    SCOPED_TRACE(c.line);
    {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(QByteArray("settings\r\n") + c.line + "\r\n");
    }
    TFormMain window;
    EXPECT_EQ(window.TimerGetState->interval(), c.interval);
  }
  QFile::remove(path);
}

}  // namespace

namespace {

TEST_F(WindowTest, AddedPathJoinsThePortBoxAfterSim) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const QString path = QString::fromLocal8Bit(ptsname(master));
  window->AddPortPath(path);
  EXPECT_EQ(window->cbxComPort->itemText(0), "SIM");
  EXPECT_NE(window->cbxComPort->findText(path), -1);
  EXPECT_EQ(window->cbxComPort->currentText(), path);  // chosen for the next connect
  EXPECT_TRUE(informed.isEmpty());
  window->AddPortPath("/dev/does-not-exist");
  EXPECT_EQ(window->cbxComPort->findText("/dev/does-not-exist"), -1);
  EXPECT_EQ(informed.size(), 1);
  close(master);
}

}  // namespace

namespace {

TEST(QtMainThreadTest, WorkersRunOnTheGuiThreadInOrder) {
  QtMainThread main;
  EXPECT_TRUE(main.isCurrentThread());
  std::vector<int> order;
  bool inlineRan = false;
  main.runSync([&] { inlineRan = true; });  // on the GUI thread itself: at once
  EXPECT_TRUE(inlineRan);
  std::atomic<bool> done{false};
  QThread* ranOn = nullptr;
  std::thread worker([&] {
    EXPECT_FALSE(main.isCurrentThread());
    main.post([&] { order.push_back(1); });
    main.post([&] { order.push_back(2); });
    main.runSync([&] {
      ranOn = QThread::currentThread();
      order.push_back(3);
    });
    // runSync has returned: the closure has run, after the posts before it.
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    done = true;
  });
  ASSERT_TRUE(WaitFor([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(ranOn, QApplication::instance()->thread());
}

}  // namespace

#include "sim/sim_controller.h"
#include "ui/click_label.h"

namespace {

TEST_F(WindowTest, UserProgramErrorInTheSimulatorShowsCodeTextAndLine) {
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblErrors")->text() == "No errors"; }));
  EXPECT_TRUE(Label("lblUserProgramErrorCode")->isHidden());
  EXPECT_TRUE(Label("lblUserProgramErrorLine")->isHidden());
  window->Sim()->Controller().raiseError(sim::ErrorGroup::UserProgram, 0x2012, 7);
  // Bits, code and line come from separate polls: wait until all of them have been shown.
  ASSERT_TRUE(WaitFor([&] {
    return Label("lblUserProgramErrorCode")->text() == "code: 0x2012" &&
           Label("lblUserProgramErrorLine")->text() == "line: 7" && Lamp("shpError4")->lampColor() == TLampColor::Red;
  })) << Label("lblUserProgramErrorCode")->text().toStdString() << " / "
      << Label("lblUserProgramErrorLine")->text().toStdString();
  EXPECT_EQ(Lamp("shpErrors")->lampColor(), TLampColor::Red);
  EXPECT_EQ(Label("lblErrors")->text(), "Error occurred");
  EXPECT_EQ(Label("lblError4")->text(), "Error in user program");
  EXPECT_FALSE(Label("lblUserProgramErrorCode")->isHidden());
  EXPECT_FALSE(Label("lblUserProgramErrorLine")->isHidden());
  // The other groups stay clear.
  EXPECT_EQ(Lamp("shpError3")->lampColor(), TLampColor::Green);
  EXPECT_EQ(Label("lblError3")->text(), "Modbus - no error");

  // A click on the code names the error; a click on the line offers to highlight that line.
  emit static_cast<TClickLabel*>(Label("lblUserProgramErrorCode"))->clicked();
  ASSERT_EQ(informed.size(), 1);
  EXPECT_EQ(informed.front(), "2012: Unknown command");
  SetProgram("LD X0\n// c\nOUT Y0\nLD X1\nOUT Y1\nLD X2\nOUT Y2\n\nLD X3\nOUT Y3\nEND");
  answer = QMessageBox::Yes;
  emit static_cast<TClickLabel*>(Label("lblUserProgramErrorLine"))->clicked();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_EQ(asked.front(),
            "The program in the controller memory and the list may differ. Highlight command line 7 in the current list?");
  EXPECT_EQ(editor->textCursor().selectedText(), "OUT Y3");  // comment and empty lines are not counted

  // Cleared in the controller, the window follows with the next polls.
  window->Sim()->Controller().clearErrors();
  ASSERT_TRUE(WaitFor([&] { return Label("lblErrors")->text() == "No errors"; }));
  EXPECT_TRUE(Label("lblUserProgramErrorCode")->isHidden());
  EXPECT_TRUE(Label("lblUserProgramErrorLine")->isHidden());
}

TEST_F(WindowTest, DownloadIntoANonEmptyEditorAsksFirst) {
  SetProgram("LD X0\nOUT Y0\nEND");
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "STOP mode"; }));
  page->btnSendToControllerIL->click();
  ASSERT_TRUE(WaitFor([&] { return window->Sim()->Controller().program(sim::ProgramType::Main).size() == 3; }));
  ASSERT_TRUE(WaitFor([&] { return !window->Modbus().TransferRunning(); }));
  const QStringList mine{"// mine", "LD X5", "OUT Y5", "END"};
  SetProgram(mine.join('\n'));

  // Cancel: nothing is read, the editor keeps the user's text.
  answer = QMessageBox::Cancel;
  page->btnReadFromControllerIL->click();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_EQ(asked.front(), "The commands list is not empty. Clear it?");
  ASSERT_EQ(informed.size(), 1);
  EXPECT_EQ(informed.front(), "User program was not read. The commands list is not empty.");
  for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);  // a reading would show now
  EXPECT_EQ(Lines(editor), mine);
  EXPECT_TRUE(page->pnlProgramReading->isHidden());
  EXPECT_TRUE(window->pgcMain->isEnabled());

  // Yes: the editor is emptied and receives only what was read.
  answer = QMessageBox::Yes;
  page->btnReadFromControllerIL->click();
  ASSERT_EQ(asked.size(), 2);
  EXPECT_EQ(asked.back(), "The commands list is not empty. Clear it?");
  ASSERT_TRUE(WaitFor([&] { return Lines(editor).size() == 4 && Lines(editor) != mine; }, 20000))
      << editor->toPlainText().toStdString();
  EXPECT_EQ(Lines(editor), (QStringList{"LD\tX0", "OUT\tY0", "END", "//Totally 3 commands were read from the controller"}));
  EXPECT_EQ(informed.size(), 1);
}

TEST_F(WindowTest, ClosingDuringALongUploadEndsEveryWorker) {
  QStringList program;
  for (int i = 0; i < 1999; ++i) program << QString("LD X%1").arg(i % 8);
  program << "END";
  SetProgram(program.join('\n'));
  window->btnConnectComPort->click();
  ASSERT_TRUE(WaitFor([&] { return Label("lblRunStop")->text() == "STOP mode"; }));
  page->btnSendToControllerIL->click();
  const sim::SimController& controller = window->Sim()->Controller();
  // Well into the upload, far from its end.
  ASSERT_TRUE(WaitFor([&] { return controller.program(sim::ProgramType::Main).size() >= 20; }, 20000));
  ASSERT_TRUE(window->Modbus().TransferRunning());
  QElapsedTimer t;
  t.start();
  window->close();
  RecordProperty("close_ms", static_cast<int>(t.elapsed()));
  EXPECT_EQ(window->Modbus().LiveWorkers(), 0u);
  EXPECT_FALSE(window->Modbus().TransferRunning());
  EXPECT_FALSE(window->TimerGetState->isActive());
  // The close cut the upload short instead of waiting for its 2000 lines.
  const size_t written = controller.program(sim::ProgramType::Main).size();
  EXPECT_LT(written, 2000u);
  for (int i = 0; i < 10; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(controller.program(sim::ProgramType::Main).size(), written);  // nothing is sent after the close
  EXPECT_TRUE(informed.isEmpty()) << informed.join('|').toStdString();  // no failure box while closing
  window.reset();
  window = std::make_unique<TFormMain>();
}

}  // namespace
