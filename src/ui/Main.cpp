#include "ui/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "ui/AboutBox.h"
#include "ui/Fonts.h"
#include "ui/PrintLayout.h"
#include "ui/Resources.h"
#include "ui/ViewWindows.h"
#include "ui/frmTerms.h"

namespace tavro {

TfrmMain::TfrmMain(IDialogs& dialogs, const QString& fileArgument, QWidget* parent)
    : QMainWindow(parent), FDialogs(dialogs) {
  setObjectName(QStringLiteral("frmMain"));
  setFont(WindowFont());
  RegisterResources();
  setWindowIcon(QIcon(QStringLiteral(":/tavro/icon.png")));
  CreateMenu();
  CreateControls();
  new TViewWindows(*this);  // owned by the window
  FRun = new TRunController(*Memo1, this);
  connect(FRun, &TRunController::Status, this, &TfrmMain::RunStatus);
  connect(FRun, &TRunController::BeepRequested, this, &TfrmMain::Beep);
  connect(FRun, &TRunController::Finished, this, &TfrmMain::RunDone);
  connect(FRun, &TRunController::Ended, this, [this] { Guard([this] { EndRun(); }); });

  // Outer sizes become client sizes by the frame allowance; the menu bar is
  // part of the allowance, but in Qt it lives inside the window.
  ClientArea->setMinimumSize(kMinimumWidth - kFrameWidth, kMinimumHeight - kFrameHeight);
  const int menuHeight = frmMainMenu->sizeHint().height();
  resize(kInitialWidth - kFrameWidth, kInitialHeight - kFrameHeight + menuHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desktop = screen->availableGeometry();
    move(desktop.center() - rect().center());
  }

  // The window follows the document: stale status texts and the unsaved
  // mark at every change, the view at every edit of the functions, change of
  // the current function or new name. The flags alone wait for the next
  // refresh (btnVHDL follows ResultReady only then).
  connect(&FDocument, &TDocument::Edited, this, [this] {
    // What the status said was about the system before this edit.
    if (!Running()) FStatusText->clear();
  });
  connect(&FDocument, &TDocument::Changed, this, [this] { UpdateModifiedMark(); });
  for (auto signal : {&TDocument::Edited, &TDocument::CurrentFunctionChanged, &TDocument::Renamed})
    connect(&FDocument, signal, this, &TfrmMain::FollowDocument);

  setAcceptDrops(true);
  EnsurePrintMargins(FPrinter);
  FormCreate(fileArgument);
  lstTerms->setFocus();
}

TfrmMain::~TfrmMain() { FRun->StopAll(); }

void TfrmMain::AttachForms(TfrmAddTerms* addTerms, TfrmAbout* about) {
  FAddTerms = addTerms;
  FAbout = about;
}

void TfrmMain::FormCreate(const QString& fileArgument) {
  Memo1->clear();
  FDocument.InitializeNew();
  if (!fileArgument.isEmpty() && QFileInfo(fileArgument).isFile()) {
    Guard([&] {
      LoadFile(fileArgument);
      FDocument.SetModified(false);
    });
  }
}

// ---------------------------------------------------------------------------
// The view

void TfrmMain::FollowDocument() {
  // A refresh makes the scroll bar's function the current one itself; the
  // document's goes to the scroll bar first (an undo may have changed it).
  if (FRefreshing || FRefreshHolds > 0) return;
  {
    const QSignalBlocker blocker(scrFunctions);
    scrFunctions->setMaximum(FDocument.FunctionCount() - 1);
    scrFunctions->setValue(FDocument.CurrentFunction());
  }
  RefreshWindow();
}

void TfrmMain::RefreshWindow() {
  const QScopedValueRollback<bool> refreshing(FRefreshing, true);
  const int count = FDocument.FunctionCount();
  {
    // Bringing the position into range is no change of the current function.
    const QSignalBlocker blocker(scrFunctions);
    if (scrFunctions->value() > count - 1) scrFunctions->setValue(count - 1);
    scrFunctions->setMaximum(count - 1);
  }
  lblTermsTitle->setText(QStringLiteral("Function %1 Terms").arg(scrFunctions->value()));
  lblTermsTitle->adjustSize();
  lblFunctionCount->setText(count == 1 ? QStringLiteral("1 function")
                                       : QStringLiteral("%1 functions (0\u2013%2)").arg(count).arg(count - 1));
  lblFunctionCount->adjustSize();

  FDocument.SetCurrentFunction(scrFunctions->value());
  FShownFunction = FDocument.CurrentFunction();
  FTermModel->Reload();
  const TTermVector& current = FDocument.Current();

  GroupBox6->setTitle(QStringLiteral("Function %1 Properties").arg(FDocument.CurrentFunction()));
  {
    // Showing the stored kind is not a kind change.
    const QSignalBlocker minBlocker(radMinTerms), maxBlocker(radMaxTerms);
    if (current.IsMinterms()) radMinTerms->setChecked(true);
    else radMaxTerms->setChecked(true);
  }
  btnVHDL->setEnabled(FDocument.ResultReady() && !Running());
  UpdateExportItems();

  FDocument.DeriveInputBits();
  // A system that only its PLA rows give (past 24 inputs) has no term
  // counts to show; its functions have the file's inputs.
  const bool rows = FDocument.System().TermsInSource;
  lblNumberOfInputBits->setText(
      QString::number(rows ? FDocument.InputBits() : TFunctionSystem::FunctionInputBits(current)));
  lblNumberOfTerms->setText(rows ? QStringLiteral("-") : QString::number(current.Count()));
  lblSystemMinInputBits->setText(QString::number(FDocument.InputBits()));
  lblTotalTerms->setText(rows ? QStringLiteral("-") : QString::number(FDocument.TotalTerms()));
  for (QLabel* label : {lblNumberOfInputBits, lblNumberOfTerms, lblSystemMinInputBits, lblTotalTerms})
    label->adjustSize();

  const QString title = QString::fromLatin1(kApplicationTitle);
  setWindowTitle((FDocument.FileName().isEmpty() ? title : title + QStringLiteral(" - ") + FDocument.FileName()) +
                 QStringLiteral("[*]"));
  UpdateModifiedMark();
  emit Refreshed();
}

void TfrmMain::UpdateModifiedMark() { setWindowModified(FDocument.Modified()); }

void TfrmMain::ShowError(const QString& message) {
  FDialogs.ShowError(this, QString::fromLatin1(kApplicationTitle), ErrorDisplayText(message));
}

QString TfrmMain::OutputText() const {
  QString text = Memo1->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

QString TfrmMain::StatusText() const { return FStatusText->text(); }

void TfrmMain::RunStatus(const QString& status) {
  FStatusText->setText(status);
  // Statuses may come in faster than the loop paints: paint each one now.
  StatusBar1->repaint();
  emit StatusChanged(status);
}

void TfrmMain::Beep() { FDialogs.Beep(); }

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Closing ends the run as Stop does; nothing of it is kept. An untouched
  // system (no file, one function without terms) has nothing to lose.
  if (Running()) FRun->Abandon();
  if (!FDocument.Untouched() && !MayReplaceSystem()) {
    event->ignore();
    return;
  }
  event->accept();
}

bool TfrmMain::MayReplaceSystem() {
  if (!FDocument.Modified()) return true;
  switch (FDialogs.AskYesNoCancel(this, QStringLiteral("Save Open File"),
                                  QStringLiteral("The current file is not saved. Save it now?"))) {
    case IDialogs::TAnswer::Yes: {
      bool saved = false;
      Guard([&] { saved = SaveAsSteps(); });
      return saved;
    }
    case IDialogs::TAnswer::No: return true;
    case IDialogs::TAnswer::Cancel: break;
  }
  return false;
}

namespace {

// The one local file a drag carries, or nothing.
QString DraggedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return QString();
  const QUrl url = data->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!Running() && !DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  const QString path = DraggedFile(event->mimeData());
  if (Running() || path.isEmpty()) return;
  event->acceptProposedAction();
  // The drag's source waits for the drop to end: the question comes after.
  QTimer::singleShot(0, this, [this, path] { Guard([&] { OpenFile(path); }); });
}

// ---------------------------------------------------------------------------
// Function editing

// A system past the term-number world is given by the rows of its PLA file:
// it has no term numbers to edit.
bool TfrmMain::RefusedTermEdit() {
  const TFunctionSystem& system = FDocument.System();
  if (!system.TermsInSource || system.InputBits <= MaxInputBits) return false;
  ShowError(QStringLiteral("This system has %1 inputs and is given by the rows of its PLA file, which the list shows. "
                           "Terms are edited up to %2 inputs.")
                .arg(system.InputBits)
                .arg(MaxInputBits));
  return true;
}

void TfrmMain::btnAddTermsClick() {
  if (Running() || RefusedTermEdit()) return;
  FDocument.MarkModified();
  if (FAddTerms) FDialogs.ShowModal(*FAddTerms);
}

void TfrmMain::lstTermsDblClick() {
  if (Running() || RefusedTermEdit()) return;
  if (FAddTerms) FDialogs.ShowModal(*FAddTerms);
}

void TfrmMain::btnRemoveItemClick() {
  if (Running() || RefusedTermEdit()) return;
  FDocument.MarkModified();
  const int row = lstTerms->currentRow();
  if (row < 0) return;
  FDocument.RemoveTerm(FDocument.CurrentFunction(), row);
}

void TfrmMain::btnAddFunctionClick() {
  if (Running()) return;
  // The refresh that follows the new function raises the scroll bar's
  // maximum, so that the position can move to it.
  const int added = FDocument.AddFunction();
  // Runs scrFunctionsChange: the new function becomes current, locked.
  scrFunctions->setValue(added);
}

void TfrmMain::btnRemoveFunctionClick() {
  if (Running()) return;
  const int count = FDocument.FunctionCount();
  const int current = FDocument.CurrentFunction();
  {
    // The view waits until the scroll bar has the new range; a refused
    // removal still clears ResultReady, but shows nothing (btnVHDL keeps its
    // state until the next refresh).
    const TRefreshHold hold(*this);
    FDocument.RemoveFunction(current);
    if (count < 2) return;
    // Lowering the maximum moves a position that stood on the old maximum,
    // which runs scrFunctionsChange.
    scrFunctions->setMaximum(scrFunctions->maximum() - 1);
  }
  RefreshWindow();  // the refresh held above
}

void TfrmMain::scrFunctionsChange() {
  chkLock->setChecked(true);  // runs chkLockClick when it was unchecked
  // The view follows; its refresh in turn takes the current function from
  // the scroll bar, which stays the one that chooses it.
  FDocument.SetCurrentFunction(scrFunctions->value());
}

void TfrmMain::radMinTermsClick() { KindChange(false); }

void TfrmMain::radMaxTermsClick() { KindChange(true); }

void TfrmMain::KindChange(bool maxterms) {
  if (Running()) return;
  if (FDocument.Current().Count() == 0) return;  // the radio buttons keep the choice
  // Locked: same numbers, other meaning; unlocked: same function, other kind.
  FDocument.SetKind(FDocument.CurrentFunction(), maxterms, chkLock->isChecked());
}

void TfrmMain::chkLockClick() {
  if (!chkLock->isChecked()) return;
  // The function that was current may be gone (its removal moved the scroll bar).
  if (FShownFunction >= FDocument.FunctionCount()) return;
  // The kind buttons show the kind taken over already: no refresh.
  const TRefreshHold hold(*this);
  FDocument.SetKind(FDocument.CurrentFunction(), !radMinTerms->isChecked(), true);
}

}  // namespace tavro
