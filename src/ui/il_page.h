// The "Instructions List Mode" page: the program editor with its number and value columns, kept on
// the same first visible line, the debounced numbering, and the editor commands.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "comm/main_gate.h"
#include "core/il_text.h"
#include "core/main_thread.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;

namespace ferrolad {

class TEnumeratingThread;

class TILPage final : public QWidget {
  Q_OBJECT
 public:
  TILPage(MainThread& main, QWidget* parent = nullptr);
  ~TILPage() override;

  // Controls, by their names.
  QPlainTextEdit* RichEditILP = nullptr;
  QPlainTextEdit* MemoIlNums = nullptr;
  QPlainTextEdit* MemoParamValues = nullptr;
  QLineEdit* EditMaxAutoEnumerating = nullptr;
  QPushButton* BtnEnumerate = nullptr;
  QPushButton* btnLoadProg = nullptr;
  QPushButton* btnSaveProg = nullptr;
  QPushButton* btnClearILP = nullptr;
  QPushButton* btnCleanUpILP = nullptr;
  QRadioButton* rbtClearWrLine = nullptr;
  QRadioButton* rbtCommentWrLine = nullptr;
  QPushButton* btnSendToControllerIL = nullptr;
  QPushButton* btnReadFromControllerIL = nullptr;
  QPushButton* btnDebug = nullptr;
  QWidget* pnlProgramType = nullptr;
  QRadioButton* rbtMainProgType = nullptr;
  QRadioButton* rbtServiceProgType = nullptr;
  QLabel* lblTurnToStopMode = nullptr;
  QWidget* pnlProgramReading = nullptr;
  QLabel* lblProgramReadingCounter = nullptr;
  QWidget* ILToolBar = nullptr;
  QTimer* TimerUpdateNum = nullptr;
  QMenu* PopupMenuMemoStandard = nullptr;

  // Start-up has finished: numbering may run from now on.
  void AllowNumbering();

  // Program text as lines (a final line break adds no empty line).
  std::vector<std::string> ProgramLines() const;
  size_t ProgramLineCount() const;
  // Replaces the whole text as one undoable edit.
  void SetProgramLines(const std::vector<std::string>& lines);

  void UpdateLineNumbers(size_t first);
  void StartEnumerating();
  bool Enumerating() const { return enumThread_ != nullptr; }
  void CleanUp();
  void ClearProgram();
  // Loads a file (replacing or appending); false with the system's error text.
  bool LoadProgramFile(const QString& path, bool append, QString& error);
  bool SaveProgramFile(const QString& path, QString& error);
  // Selects editor line `index` whole and gives the editor the focus.
  void SelectLine(int index);
  // Debug mode paints the editor light blue.
  void SetDebugMode(bool on);
  // Program reading paints it silver and shows the reading panel.
  void SetReadingDisplay(bool on);
  // Enables the pop-up menu's entries by the editor's state.
  void UpdatePopupMenu();

  // First line a view shows.
  static int FirstVisibleLine(const QPlainTextEdit* view);

 signals:
  // The status timer is enabled again after a load (or a dialog closed without a file).
  void statusTimerWanted();
  void uploadRequested();
  void downloadRequested();

 public slots:
  void btnLoadProgClick();
  void btnSaveProgClick();
  void FindText();

 private:
  void BuildControls();
  void OnProgramChanged();
  void TimerUpdateNumTimer();
  void EditMaxAutoEnumeratingExit();
  int ReadLimit();
  void ShowNumbers();
  void SyncScroll(QPlainTextEdit* source);
  void PadView(QPlainTextEdit* view);
  void ApplyEditorBackground();

  std::unique_ptr<MainGate> gate_;
  std::unique_ptr<TEnumeratingThread> enumThread_;
  TLineNumbering numbering_;
  bool numberingAllowed_ = false;
  bool loading_ = false;
  bool syncing_ = false;
  bool manualNumbering_ = false;
  bool debugMode_ = false;
  bool readingDisplay_ = false;
  QString lastFind_;
};

}  // namespace ferrolad
