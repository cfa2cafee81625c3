#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <thread>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTemporaryFile>
#include <QTimer>

#include "engine/core/RunParams.h"
#include "engine/io/FileIO.h"
#include "engine/io/TermFile.h"
#include "engine/io/Vhdl.h"
#include "model/Errors.h"
#include "ui/AboutBox.h"
#include "ui/Main.h"
#include "ui/PrintLayout.h"

// The commands of the File, Edit and Output menus and of the Generate group.

namespace tavro {

namespace {

// The wait cursor while a file is read or written: a system of tens of
// millions of terms takes a second or so.
class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

const QString kTermFilter = QStringLiteral("Min/Max Term files (*.trm *.TRM)");
const QString kOpenFilter = QStringLiteral(
    "Min/Max Term files (*.trm *.TRM);;Text files (*.txt *.TXT);;"
    "PLA files (*.pla *.PLA);;CSV truth tables (*.csv *.CSV);;BLIF files (*.blif *.BLIF)");
const QString kVhdlFilter = QStringLiteral("VHDL files (*.vhd *.VHD)");
const QString kTextFilter = QStringLiteral("Text files (*.txt *.TXT)");

// The names the commands write for a chosen name.
QString TermFileWritten(const QString& name) { return FileNameText(TermFilePath(FileNameBytes(name))); }
QString VhdlWritten(const QString& name) { return FileNameText(VhdlPath(FileNameBytes(name))); }
QString TextWritten(const QString& name) {
  return name.right(4).toUpper() == QLatin1String(".TXT") ? name : name + QStringLiteral(".txt");
}

}  // namespace

// ---------------------------------------------------------------------------
// Generate

void TfrmMain::btnSOPClick() { RunGenerate(modeSOP); }

void TfrmMain::Button2Click() { RunGenerate(modePOS); }

TOutputOptions TfrmMain::OutputOptions() const {
  TOutputOptions options;
  options.PrimeImplicants = mnuPIs->isChecked();
  options.OptimizedFunctions = mnuOptimizedFunction->isChecked();
  options.Terms = mnuTerms->isChecked();
  options.SignalNames = mnuSignalNames->isChecked();
  // File > Export > JSON lists them.
  options.KeepPrimes = true;
  return options;
}

TRunParams TfrmMain::RunParams() const {
  TRunParams params;
  if (mnuPLACostCriteria->isChecked()) {
    params.Cost = TCostCriterion::Pla;
    params.TimeLimitSeconds = kPlaTimeLimitSeconds;
  } else if (mnuFastCost->isChecked()) {
    params.Cost = TCostCriterion::Fast;
  }
  if (RemoveHazards1->isChecked()) {
    params.HazardFree = true;
    params.TimeLimitSeconds = kPlaTimeLimitSeconds;
  }
  return params;
}

void TfrmMain::RunGenerate(int mode) {
  if (Running()) return;
  if (FDocument.InputBits() == 0) return;  // all functions empty: nothing at all
  FRunError.clear();
  ShowRunning(true);
  FRun->Start(FDocument.System(), mode, OutputOptions(), RunParams());
}

void TfrmMain::btnStopClick() { FRun->Stop(); }

void TfrmMain::ShowRunning(bool running) {
  // Nothing that would change the system while a run works on it.
  for (QWidget* control :
       std::initializer_list<QWidget*>{Button1, btnRemoveItem, btnAddFunction, btnRemoveFunction, radMinTerms,
                                       radMaxTerms, chkLock, scrFunctions, btnSOP, Button2})
    control->setEnabled(!running);
  for (QAction* action : {New1, mnuOpen, mnuClear, mnuPLACostCriteria, mnuLowestCost, mnuFastCost})
    action->setEnabled(!running);
  btnVHDL->setEnabled(!running && FDocument.ResultReady());
  UpdateExportItems();
  mnuUndo->setEnabled(!running && FDocument.UndoStack().canUndo());
  mnuRedo->setEnabled(!running && FDocument.UndoStack().canRedo());
  btnStop->setEnabled(running);
  FStopShortcut->setEnabled(running);
  prgRun->setVisible(running);
}

void TfrmMain::RunDone(const TRunResult& result) {
  if (!result.Error.isEmpty()) {
    FRunError = result.Error;
    return;
  }
  if (result.Outcome != TRunOutcome::Completed) return;  // stopped, or refused with a status: nothing changed
  FDocument.ApplyResult(result.Mode, result.Cubes, result.Primes);
  FLastStats = result.Stats;
  FLastSteps = result.Steps;
  btnStop->setEnabled(false);  // the result stands; only its text is still coming
  FStopShortcut->setEnabled(false);
  if (!result.SpillFile) return;
  try {
    OfferLargeOutput(result);
  } catch (const std::exception& e) {
    FRunError = QString::fromUtf8(e.what());
  }
}

void TfrmMain::EndRun() {
  ShowRunning(false);
  // A run changes no function, at most the flags: the command still ends
  // with a refresh, which brings btnVHDL in line with ResultReady.
  RefreshWindow();
  emit RunFinished();
  if (!FRunError.isEmpty()) ShowError(std::exchange(FRunError, QString()));
}

void TfrmMain::OfferLargeOutput(const TRunResult& result) {
  const qint64 mib = (result.OutputBytes + (1 << 20) - 1) >> 20;
  // The run is over: the busy bar stops while the user chooses.
  prgRun->setVisible(false);
  // Either way the pane says in one line where the text went.
  const auto discarded = [&] {
    Memo1->appendPlainText(
        QStringLiteral("The output of this run (%1 MB) was discarded: too large for the output pane.").arg(mib));
  };
  if (!FDialogs.AskSaveOrDiscard(this, QString::fromLatin1(kApplicationTitle),
                                 QStringLiteral("The output of this run (%1 MB) is too large for the output pane.\n\n"
                                                "Save to File writes it to a text file of your choice; Discard "
                                                "leaves it out. The result stands either way.")
                                     .arg(mib)))
    return discarded();
  const std::optional<QString> name = ExecuteSaveDialog(kTextFilter, QStringLiteral("txt"), TextWritten);
  if (!name) return discarded();
  const QString target = TextWritten(*name);
  // Written as every file is, through a temporary file that replaces the old
  // one only once complete. Hundreds of megabytes take a while: the window
  // goes on painting meanwhile (the run still counts as under way, so nothing
  // can be edited).
  result.SpillFile->flush();
  const std::string source = FileNameBytes(result.SpillFile->fileName());
  const std::string path = FileNameBytes(target);
  RunFileWork(QStringLiteral("Writing %1...").arg(QFileInfo(target).fileName()),
              [&] { WriteFileAtomicFrom(path, source); });
  Memo1->appendPlainText(
      QStringLiteral("The output of this run (%1 MB) was saved to %2.").arg(mib).arg(QDir::toNativeSeparators(target)));
}

void TfrmMain::btnVHDLClick() {
  if (Running()) return;
  const std::optional<QString> name = ExecuteSaveDialog(kVhdlFilter, QStringLiteral("vhd"), VhdlWritten);
  if (!name) return;
  const std::shared_ptr<const TCover> cubes = FDocument.ResultCubes();
  if (!cubes) return;
  WriteVHDL(*cubes, VhdlPath(FileNameBytes(*name)), FDocument.ResultMode(), FDocument.InputBits(),
            FDocument.FunctionCount(), TodayShortDate(), ShownNames());
  // The document is as it was; the command still ends with a refresh, which
  // brings btnVHDL in line with ResultReady.
  RefreshWindow();
}

// ---------------------------------------------------------------------------
// File

QString TfrmMain::StartFolder() const {
  if (!FDocument.Folder().isEmpty()) return FDocument.Folder();
  if (!FLastFolder.isEmpty()) return FLastFolder;
  return QDir::currentPath();
}

void TfrmMain::RememberFolder(const QString& path) { FLastFolder = QFileInfo(path).absolutePath(); }

std::optional<QString> TfrmMain::ExecuteSaveDialog(const QString& filter, const QString& extension,
                                                   const std::function<QString(const QString&)>& written,
                                                   const QString& nameSuffix) {
  const QString base = FDocument.BaseName().isEmpty() ? QStringLiteral("untitled") : FDocument.BaseName();
  const QString proposal = QDir(StartFolder()).filePath(base + nameSuffix + QLatin1Char('.') + extension);
  std::optional<QString> name = FDialogs.SaveFileName(this, filter, proposal);
  if (!name) return std::nullopt;
  FSaveDialogFileName = *name;
  RememberFolder(*name);
  const QString target = written(*name);
  if (QFileInfo::exists(target) && !FDialogs.ConfirmReplace(this, target)) return std::nullopt;
  return name;
}

void TfrmMain::RunFileWork(const QString& text, const std::function<void()>& work, bool cancellable) {
  const TWaitCursor wait;
  QProgressDialog note(text, cancellable ? QStringLiteral("Cancel") : QString(), 0, 0, this);
  note.setWindowModality(Qt::WindowModal);
  if (!cancellable) note.setCancelButton(nullptr);
  note.setAutoClose(false);
  note.setMinimumDuration(std::numeric_limits<int>::max());  // shown below, when it is time
  QEventLoop loop;
  std::exception_ptr error;
  std::atomic<bool> stop{false}, finished{false};
  bool due = false;
  QTimer::singleShot(kFileNoteDelayMs, &loop, [&] {
    due = true;
    loop.quit();
  });
  connect(&note, &QProgressDialog::canceled, &loop, [&] {
    // The note hides itself; it shows again, saying so, until the work ends.
    stop = true;
    note.setLabelText(QStringLiteral("Cancelling..."));
    loop.quit();
  });
  std::thread worker([&] {
    const TStopScope scope(&stop);
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    finished = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // The user's input waits until the work is done: the document must not
  // change under it. Once the note shows, it is modal to the window, so the
  // input that reaches it can only be its Cancel.
  while (!finished) {
    if (due && !note.isVisible()) note.show();
    loop.exec(note.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
  }
  worker.join();
  if (error) std::rethrow_exception(error);
}

void TfrmMain::LoadFile(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  try {
    FDocument.Load(path, [&](const std::function<void()>& work) {
      RunFileWork(QStringLiteral("Reading %1...").arg(name), work, true);
    });
  } catch (const StoppedError&) {
    return;  // cancelled: the system is as it was
  }
}

bool TfrmMain::MayOpenOverSystem() {
  // A window's blank system (one function, no terms) holds nothing to lose,
  // though it counts as unsaved.
  if (FDocument.FunctionCount() == 1 && FDocument.TotalTerms() == 0) return true;
  return MayReplaceSystem();
}

void TfrmMain::OpenFile(const QString& path) {
  if (Running() || !MayOpenOverSystem()) return;
  RememberFolder(path);
  LoadFile(path);
}

void TfrmMain::New1Click() {
  if (Running()) return;
  if (FDocument.Modified()) {
    switch (FDialogs.AskYesNoCancel(this, QStringLiteral("Save Open File"),
                                    QStringLiteral("The current file is not saved. Save it now?"))) {
      case IDialogs::TAnswer::Yes: SaveAsSteps(); return;
      case IDialogs::TAnswer::No: break;
      case IDialogs::TAnswer::Cancel: return;
    }
  }
  Memo1->clear();
  FDocument.Reset();  // signals even when nothing changed: the caption is refreshed
}

void TfrmMain::mnuOpenClick() {
  if (Running() || !MayOpenOverSystem()) return;
  const std::optional<QString> path = FDialogs.OpenFileName(this, kOpenFilter, StartFolder());
  if (!path) return;
  RememberFolder(*path);
  LoadFile(*path);
}

TSignalNames TfrmMain::ShownNames() const {
  return mnuSignalNames->isChecked() ? FDocument.System().Names : TSignalNames{};
}

void TfrmMain::NoteNamesNotSaved() {
  // A term file has no place for names; the window keeps them until another
  // file is opened.
  if (FDocument.System().Names.Empty()) return;
  RunStatus(QStringLiteral("Saved. The PLA file's signal names (.ilb, .ob) are not kept in a term file."));
}

bool TfrmMain::SaveAsSteps() {
  const std::optional<QString> name = ExecuteSaveDialog(kTermFilter, QStringLiteral("trm"), TermFileWritten);
  if (!name) return false;
  FDocument.SaveAs(*name, [&](const std::function<void()>& work) {  // a file that cannot be written changes nothing
    RunFileWork(QStringLiteral("Writing %1...").arg(QFileInfo(*name).fileName()), work);
  });
  NoteNamesNotSaved();
  return true;
}

void TfrmMain::mnuSaveClick() { SaveAsSteps(); }

void TfrmMain::mntSaveClick() {
  if (!FDocument.FileName().isEmpty()) {
    FDocument.Save([&](const std::function<void()>& work) {
      RunFileWork(QStringLiteral("Writing %1...").arg(QFileInfo(FDocument.FileName()).fileName()), work);
    });
    NoteNamesNotSaved();
    return;
  }
  SaveAsSteps();
}

void TfrmMain::mnuPageSetupClick() { FDialogs.PrinterSetup(this, FPrinter); }

void TfrmMain::mnuPrintClick() {
  // The job, and a PDF file made of it, are named after the document.
  FPrinter.setDocName(FDocument.BaseName().isEmpty() ? QStringLiteral("untitled") : FDocument.BaseName());
  if (!FDialogs.Print(this, FPrinter)) return;
  PrintPlainText(FPrinter, PrintJobText(OutputText()));
}

void TfrmMain::mnuExitClick() { close(); }

// ---------------------------------------------------------------------------
// Edit and Output

void TfrmMain::SendEditRequest(const char* request) {
  // Text controls carry out the request on their selection and the
  // clipboard; other controls have no such slot and ignore it.
  QWidget* target = focusWidget();
  if (!target) return;
  const QByteArray signature = QByteArray(request) + "()";
  if (target->metaObject()->indexOfMethod(signature.constData()) >= 0) QMetaObject::invokeMethod(target, request);
}

void TfrmMain::mnuCutClick() { SendEditRequest("cut"); }

void TfrmMain::mnuCopyClick() { SendEditRequest("copy"); }

void TfrmMain::mnuPasteClick() { SendEditRequest("paste"); }

void TfrmMain::mnuClearClick() { Memo1->clear(); }

void TfrmMain::mnuUndoClick() {
  if (!Running()) FDocument.UndoStack().undo();
}

void TfrmMain::mnuRedoClick() {
  if (!Running()) FDocument.UndoStack().redo();
}

void TfrmMain::mnuExportToFileClick() {
  const std::optional<QString> name = ExecuteSaveDialog(kTextFilter, QStringLiteral("txt"), TextWritten);
  if (!name) return;
  FSaveDialogFileName = TextWritten(*name);
  WriteFileAtomic(FileNameBytes(FSaveDialogFileName), OutputText().toStdString());
}

void TfrmMain::mnuAboutClick() {
  if (FAbout) FDialogs.ShowModal(*FAbout);
}

}  // namespace tavro
