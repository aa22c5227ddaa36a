#include "ui/il_page.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/enumerating_thread.h"

namespace ferrolad {

namespace {

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kDebugBlue(0xA6, 0xCA, 0xF0);

QString JoinLines(const std::vector<std::string>& lines) {
  QString text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += QLatin1Char('\n');
    text += QString::fromStdString(lines[i]);
  }
  return text;
}

QPlainTextEdit* MakeView(const QString& name, bool readOnly, QWidget* parent) {
  auto* view = new QPlainTextEdit(parent);
  view->setObjectName(name);
  view->setReadOnly(readOnly);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view->setTabStopDistance(4 * view->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 2);
  // Equal viewport heights keep the three scroll ranges equal.
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view->setUndoRedoEnabled(!readOnly);
  return view;
}

void SetBackground(QPlainTextEdit* view, const QColor& color) {
  QPalette p = view->palette();
  p.setColor(QPalette::Base, color);
  view->setPalette(p);
}

}  // namespace

TILPage::TILPage(MainThread& main, QWidget* parent) : QWidget(parent), gate_(std::make_unique<MainGate>(main)) {
  setObjectName("tsInstructionsList");
  BuildControls();
}

TILPage::~TILPage() {
  // A running enumeration is released first so that joining it cannot wait on this window.
  gate_->Close();
  enumThread_.reset();
}

void TILPage::BuildControls() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(4, 4, 4, 4);
  root->setSpacing(4);

  ILToolBar = new QWidget(this);
  ILToolBar->setObjectName("ILToolBar");
  auto* rows = new QVBoxLayout(ILToolBar);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(4);
  auto* bar = new QHBoxLayout;
  auto* transfer = new QHBoxLayout;
  rows->addLayout(bar);
  rows->addLayout(transfer);
  auto button = [this](const char* name, const char* caption, const char* hint) {
    auto* b = new QPushButton(tr(caption), ILToolBar);
    b->setObjectName(name);
    if (hint) b->setToolTip(tr(hint));
    return b;
  };
  // A titled strip of controls that keeps its size when the window narrows.
  auto strip = [this](const char* name, const QString& title, QHBoxLayout*& layout) {
    auto* box = new QFrame(ILToolBar);
    box->setObjectName(name);
    box->setFrameShape(QFrame::StyledPanel);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    layout = new QHBoxLayout(box);
    layout->setContentsMargins(6, 2, 6, 2);
    if (!title.isEmpty()) layout->addWidget(new QLabel(title, box));
    return box;
  };
  btnLoadProg = button("btnLoadProg", "Open", "Open a program file (Ctrl+O)");
  btnSaveProg = button("btnSaveProg", "Save", "Save the program to a file (Ctrl+S)");
  btnClearILP = button("btnClearILP", "Clear", "Empty the program");
  bar->addWidget(btnLoadProg);
  bar->addWidget(btnSaveProg);
  bar->addWidget(btnClearILP);

  QHBoxLayout* wrongLayout = nullptr;
  QWidget* wrong = strip("grbxWrongLines", tr("Wrong lines:"), wrongLayout);
  rbtClearWrLine = new QRadioButton(tr("Clear"), wrong);
  rbtClearWrLine->setObjectName("rbtClearWrLine");
  rbtClearWrLine->setChecked(true);
  rbtCommentWrLine = new QRadioButton(tr("Comment"), wrong);
  rbtCommentWrLine->setObjectName("rbtCommentWrLine");
  btnCleanUpILP = button("btnCleanUpILP", "Clean up", "Remove empty lines; clear or comment wrong lines");
  wrongLayout->addWidget(rbtClearWrLine);
  wrongLayout->addWidget(rbtCommentWrLine);
  wrongLayout->addWidget(btnCleanUpILP);
  bar->addWidget(wrong);

  QHBoxLayout* numbersLayout = nullptr;
  QWidget* numbers = strip("grbxNumbering", tr("Number automatically up to"), numbersLayout);
  EditMaxAutoEnumerating = new QLineEdit(QString::number(kDefaultAutoEnumerateLimit), numbers);
  EditMaxAutoEnumerating->setObjectName("EditMaxAutoEnumerating");
  EditMaxAutoEnumerating->setFixedWidth(64);
  BtnEnumerate = button("BtnEnumerate", "Enumerate", "Number every line now, whatever the limit");
  numbersLayout->addWidget(EditMaxAutoEnumerating);
  numbersLayout->addWidget(new QLabel(tr("lines"), numbers));
  numbersLayout->addWidget(BtnEnumerate);
  bar->addWidget(numbers);
  bar->addStretch(1);

  QHBoxLayout* typeLayout = nullptr;
  pnlProgramType = strip("pnlProgramType", tr("Program type:"), typeLayout);
  rbtMainProgType = new QRadioButton(tr("Main"), pnlProgramType);
  rbtMainProgType->setObjectName("rbtMainProgType");
  rbtMainProgType->setChecked(true);
  rbtServiceProgType = new QRadioButton(tr("Service"), pnlProgramType);
  rbtServiceProgType->setObjectName("rbtServiceProgType");
  typeLayout->addWidget(rbtMainProgType);
  typeLayout->addWidget(rbtServiceProgType);
  transfer->addWidget(pnlProgramType);

  btnSendToControllerIL = button("btnSendToControllerIL", "Upload", "Send to controller");
  btnReadFromControllerIL = button("btnReadFromControllerIL", "Download", "Read from controller");
  btnDebug = button("btnDebug", "Debug", "Debug the program on the controller");
  btnDebug->setEnabled(false);  // the debugger view comes with its own page
  transfer->addWidget(btnSendToControllerIL);
  transfer->addWidget(btnReadFromControllerIL);
  transfer->addWidget(btnDebug);
  lblTurnToStopMode = new QLabel(tr("Turn the controller to STOP mode."), ILToolBar);
  lblTurnToStopMode->setObjectName("lblTurnToStopMode");
  lblTurnToStopMode->setStyleSheet("color: #b00000; font-weight: bold;");
  lblTurnToStopMode->setVisible(false);
  transfer->addWidget(lblTurnToStopMode);
  transfer->addStretch(1);
  root->addWidget(ILToolBar);

  pnlProgramReading = new QWidget(this);
  pnlProgramReading->setObjectName("pnlProgramReading");
  auto* reading = new QHBoxLayout(pnlProgramReading);
  reading->setContentsMargins(0, 0, 0, 0);
  auto* readingCaption = new QLabel(tr("Program is reading, wait..."), pnlProgramReading);
  readingCaption->setStyleSheet("font-weight: bold;");
  lblProgramReadingCounter = new QLabel(pnlProgramReading);
  lblProgramReadingCounter->setObjectName("lblProgramReadingCounter");
  reading->addWidget(readingCaption);
  reading->addWidget(lblProgramReadingCounter);
  reading->addStretch(1);
  pnlProgramReading->setVisible(false);
  root->addWidget(pnlProgramReading);

  auto* views = new QHBoxLayout;
  views->setSpacing(2);
  MemoIlNums = MakeView("MemoIlNums", true, this);
  MemoIlNums->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoIlNums->setFixedWidth(MemoIlNums->fontMetrics().horizontalAdvance("000000->  ") + 16);
  MemoIlNums->setFocusPolicy(Qt::NoFocus);
  RichEditILP = MakeView("RichEditILP", false, this);
  RichEditILP->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoParamValues = MakeView("MemoParamValues", true, this);
  MemoParamValues->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoParamValues->setMinimumWidth(200);
  views->addWidget(MemoIlNums);
  views->addWidget(RichEditILP, 3);
  views->addWidget(MemoParamValues, 1);
  root->addLayout(views, 1);
  // Right-aligned numbers.
  QTextOption right = MemoIlNums->document()->defaultTextOption();
  right.setAlignment(Qt::AlignRight);
  MemoIlNums->document()->setDefaultTextOption(right);

  TimerUpdateNum = new QTimer(this);
  TimerUpdateNum->setObjectName("TimerUpdateNum");
  TimerUpdateNum->setSingleShot(true);
  TimerUpdateNum->setInterval(300);

  PopupMenuMemoStandard = new QMenu(RichEditILP);
  PopupMenuMemoStandard->setObjectName("PopupMenuMemoStandard");
  auto entry = [this](const char* name, const char* caption, auto slot) {
    QAction* a = PopupMenuMemoStandard->addAction(tr(caption));
    a->setObjectName(name);
    connect(a, &QAction::triggered, RichEditILP, slot);
    return a;
  };
  entry("Undo", "Undo", &QPlainTextEdit::undo);
  PopupMenuMemoStandard->addSeparator();
  entry("Cut", "Cut", &QPlainTextEdit::cut);
  entry("Copy", "Copy", &QPlainTextEdit::copy);
  entry("Paste", "Paste", &QPlainTextEdit::paste);
  QAction* del = PopupMenuMemoStandard->addAction(tr("Delete"));
  del->setObjectName("Delete");
  connect(del, &QAction::triggered, this, [this] { RichEditILP->textCursor().removeSelectedText(); });
  PopupMenuMemoStandard->addSeparator();
  entry("SelectAll", "Select All", &QPlainTextEdit::selectAll);
  RichEditILP->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(RichEditILP, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    UpdatePopupMenu();
    PopupMenuMemoStandard->exec(RichEditILP->viewport()->mapToGlobal(pos));
  });

  auto shortcut = [this](QKeySequence key, auto fn) {
    auto* a = new QAction(this);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, fn);
    addAction(a);
  };
  shortcut(QKeySequence::Open, &TILPage::btnLoadProgClick);
  shortcut(QKeySequence::Save, &TILPage::btnSaveProgClick);
  shortcut(QKeySequence::Find, &TILPage::FindText);

  connect(RichEditILP, &QPlainTextEdit::textChanged, this, &TILPage::OnProgramChanged);
  connect(MemoParamValues, &QPlainTextEdit::textChanged, this, &TILPage::OnProgramChanged);
  connect(TimerUpdateNum, &QTimer::timeout, this, &TILPage::TimerUpdateNumTimer);
  connect(EditMaxAutoEnumerating, &QLineEdit::editingFinished, this, &TILPage::EditMaxAutoEnumeratingExit);
  connect(BtnEnumerate, &QPushButton::clicked, this, &TILPage::StartEnumerating);
  connect(btnCleanUpILP, &QPushButton::clicked, this, &TILPage::CleanUp);
  connect(btnClearILP, &QPushButton::clicked, this, &TILPage::ClearProgram);
  connect(btnLoadProg, &QPushButton::clicked, this, &TILPage::btnLoadProgClick);
  connect(btnSaveProg, &QPushButton::clicked, this, &TILPage::btnSaveProgClick);
  connect(btnSendToControllerIL, &QPushButton::clicked, this, &TILPage::uploadRequested);
  connect(btnReadFromControllerIL, &QPushButton::clicked, this, &TILPage::downloadRequested);
  for (QPlainTextEdit* view : {RichEditILP, MemoIlNums, MemoParamValues}) {
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, view] { SyncScroll(view); });
    // Caret moves scroll the view without a scroll-bar signal; the repaint request tells.
    connect(view, &QPlainTextEdit::updateRequest, this, [this, view](const QRect&, int dy) {
      if (dy != 0) SyncScroll(view);
    });
  }
  ApplyEditorBackground();
}

void TILPage::AllowNumbering() { numberingAllowed_ = true; }

std::vector<std::string> TILPage::ProgramLines() const {
  return SplitLines(RichEditILP->toPlainText().toStdString());
}

size_t TILPage::ProgramLineCount() const {
  const QTextDocument* doc = RichEditILP->document();
  size_t n = static_cast<size_t>(doc->blockCount());
  if (n > 0 && doc->lastBlock().length() <= 1) --n;  // an empty last block is no line
  return n;
}

void TILPage::SetProgramLines(const std::vector<std::string>& lines) {
  QTextCursor c(RichEditILP->document());
  c.beginEditBlock();
  c.select(QTextCursor::Document);
  c.insertText(JoinLines(lines));
  c.endEditBlock();
}

int TILPage::ReadLimit() {
  std::string text = EditMaxAutoEnumerating->text().toStdString();
  const std::string before = text;
  const int limit = ReadNumberingLimit(text);
  if (text != before) EditMaxAutoEnumerating->setText(QString::fromStdString(text));
  numbering_.Limit = limit;
  return limit;
}

void TILPage::OnProgramChanged() {
  if (loading_ || syncing_) return;
  const int limit = ReadLimit();
  if (static_cast<long long>(limit) < static_cast<long long>(ProgramLineCount())) {
    if (!numbering_.Nums.empty() || !MemoIlNums->document()->isEmpty()) {
      numbering_.Nums.clear();
      ShowNumbers();
    }
  } else {
    TimerUpdateNum->start();
  }
}

void TILPage::TimerUpdateNumTimer() {
  TimerUpdateNum->stop();
  const size_t caret = static_cast<size_t>(RichEditILP->textCursor().blockNumber());
  UpdateLineNumbers(NumberingStartLine(caret, numbering_, ProgramLineCount()));
}

void TILPage::EditMaxAutoEnumeratingExit() {
  const int limit = ReadLimit();
  const size_t n = ProgramLineCount();
  if (static_cast<long long>(limit) < static_cast<long long>(n)) {
    numbering_.Nums.clear();
    ShowNumbers();
  } else if (static_cast<size_t>(MemoIlNums->document()->blockCount()) < n || numbering_.Nums.size() < n) {
    StartEnumerating();
  }
}

void TILPage::UpdateLineNumbers(size_t first) {
  if (!numberingAllowed_ || loading_) return;
  ReadLimit();
  const std::vector<std::string> lines = ProgramLines();
  ferrolad::UpdateLineNumbers(lines, numbering_, first, manualNumbering_);
  ShowNumbers();
}

void TILPage::ShowNumbers() {
  MemoIlNums->setUpdatesEnabled(false);
  syncing_ = true;
  MemoIlNums->setPlainText(JoinLines(numbering_.Nums));
  syncing_ = false;
  MemoIlNums->setUpdatesEnabled(true);
  SyncScroll(RichEditILP);
}

void TILPage::StartEnumerating() {
  if (enumThread_) return;
  enumThread_ = std::make_unique<TEnumeratingThread>(
      *gate_,
      [this] {
        RichEditILP->setEnabled(false);
        SetBackground(RichEditILP, kSilver);
      },
      [this] {
        BtnEnumerate->setEnabled(false);
        manualNumbering_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        UpdateLineNumbers(0);
        QApplication::restoreOverrideCursor();
        manualNumbering_ = false;
        BtnEnumerate->setEnabled(true);
      },
      [this] {
        ApplyEditorBackground();
        RichEditILP->setEnabled(true);
      },
      [this] { enumThread_.reset(); });
}

void TILPage::CleanUp() {
  std::vector<std::string> lines = ProgramLines();
  ferrolad::CleanUp(lines, rbtCommentWrLine->isChecked() ? TCleanUpMode::Comment : TCleanUpMode::Clear);
  SetProgramLines(lines);
}

void TILPage::ClearProgram() {
  RichEditILP->clear();
  MemoParamValues->clear();
}

bool TILPage::LoadProgramFile(const QString& path, bool append, QString& error) {
  std::vector<std::string> lines = append ? ProgramLines() : std::vector<std::string>{};
  std::string err;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = LoadProgram(path.toStdString(), lines, append, err);
  if (ok) {
    loading_ = true;
    RichEditILP->setPlainText(JoinLines(lines));
    loading_ = false;
    UpdateLineNumbers(0);
  }
  QApplication::restoreOverrideCursor();
  if (!ok) error = QString::fromStdString(err);
  return ok;
}

bool TILPage::SaveProgramFile(const QString& path, QString& error) {
  std::string err;
  if (SaveProgram(path.toStdString(), ProgramLines(), err)) return true;
  error = QString::fromStdString(err);
  return false;
}

void TILPage::btnLoadProgClick() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Open"), QString(),
                                                    tr("Instruction list (*.txt *.il);;All files (*)"));
  if (path.isEmpty()) {
    emit statusTimerWanted();
    return;
  }
  bool append = false;
  if (ProgramLineCount() > 0) {
    const auto answer = QMessageBox::question(this, tr("Clear program?"),
                                              tr("The program list is not empty. Clear the list?"),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return;
    append = answer == QMessageBox::No;
  }
  QString error;
  if (!LoadProgramFile(path, append, error)) QMessageBox::critical(this, tr("Open"), error);
  emit statusTimerWanted();
}

void TILPage::btnSaveProgClick() {
  QFileDialog dialog(this, tr("Save"), QString(), tr("Instruction list (*.txt);;All files (*)"));
  dialog.setObjectName("SaveDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("txt");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  QString error;
  if (!SaveProgramFile(dialog.selectedFiles().first(), error)) QMessageBox::critical(this, tr("Save"), error);
}

void TILPage::FindText() {
  bool ok = false;
  const QString text = QInputDialog::getText(this, tr("Find"), tr("Text to find:"), QLineEdit::Normal, lastFind_, &ok);
  if (!ok || text.isEmpty()) return;
  lastFind_ = text;
  if (!RichEditILP->find(text)) {
    // Wrap around once from the top.
    QTextCursor c = RichEditILP->textCursor();
    c.movePosition(QTextCursor::Start);
    RichEditILP->setTextCursor(c);
    if (!RichEditILP->find(text)) QMessageBox::information(this, tr("Find"), tr("Text not found: ") + text);
  }
  RichEditILP->setFocus();
}

void TILPage::SelectLine(int index) {
  const QTextBlock block = RichEditILP->document()->findBlockByNumber(index);
  if (!block.isValid()) return;
  QTextCursor c(block);
  c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  RichEditILP->setTextCursor(c);
  RichEditILP->ensureCursorVisible();
  RichEditILP->setFocus();
}

void TILPage::SetDebugMode(bool on) {
  debugMode_ = on;
  ApplyEditorBackground();
}

void TILPage::SetReadingDisplay(bool on) {
  readingDisplay_ = on;
  pnlProgramReading->setVisible(on);
  ApplyEditorBackground();
}

void TILPage::ApplyEditorBackground() {
  if (readingDisplay_) {
    SetBackground(RichEditILP, kSilver);
  } else {
    SetBackground(RichEditILP, debugMode_ ? kDebugBlue : kWhite);
  }
}

void TILPage::UpdatePopupMenu() {
  const bool selected = RichEditILP->textCursor().hasSelection();
  auto set = [this](const char* name, bool enabled) {
    if (auto* a = PopupMenuMemoStandard->findChild<QAction*>(name)) a->setEnabled(enabled);
  };
  set("Undo", RichEditILP->document()->isUndoAvailable());
  set("Cut", selected);
  set("Copy", selected);
  set("Delete", selected);
  const QClipboard* clipboard = QApplication::clipboard();
  set("Paste", clipboard && !clipboard->text().isEmpty());
}

int TILPage::FirstVisibleLine(const QPlainTextEdit* view) {
  return view->cursorForPosition(QPoint(1, 1)).blockNumber();
}

void TILPage::PadView(QPlainTextEdit* view) {
  // A shorter column cannot scroll as far as the editor: blank lines give it the same reach.
  const int want = RichEditILP->document()->blockCount();
  const int have = view->document()->blockCount();
  if (view->document()->isEmpty() || have >= want) return;
  QTextCursor c(view->document());
  c.movePosition(QTextCursor::End);
  c.insertText(QString(want - have, QLatin1Char('\n')));
}

void TILPage::SyncScroll(QPlainTextEdit* source) {
  if (syncing_) return;
  syncing_ = true;
  // The editor leads: a column scrolled past the editor's end follows the editor back.
  if (source != RichEditILP) RichEditILP->verticalScrollBar()->setValue(source->verticalScrollBar()->value());
  const int value = RichEditILP->verticalScrollBar()->value();
  for (QPlainTextEdit* view : {MemoIlNums, MemoParamValues}) {
    PadView(view);
    view->verticalScrollBar()->setValue(value);
  }
  syncing_ = false;
}

}  // namespace ferrolad
