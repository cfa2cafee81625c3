#pragma once
// The main window: the function editor, the output pane, the Generate
// buttons, the status bar and the main menu, and the commands behind them.
// The window calls the document's edits (TDocument) and its view follows the
// document's signals; runs are TRunController's. Its code is split by reason
// to change: Main.cpp (the view and the editor), MainLayout.cpp (controls and
// the resize rule), MainMenus.cpp (the menu tree), MainCommands.cpp (File,
// Output and Generate commands).

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPrinter>
#include <QString>

#include "engine/core/FunctionSystem.h"
#include "engine/run/Minimize.h"
#include "ui/Dialogs.h"
#include "ui/Document.h"
#include "ui/RunController.h"
#include "ui/TermList.h"

class QAction;
class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QShortcut;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QStatusBar;

namespace tavro {

class TfrmAddTerms;
class TfrmAbout;

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  // The layout rules count in outer window sizes; the window frame they were
  // made for adds this much to the client area (borders, caption, menu bar).
  static constexpr int kFrameWidth = 8;
  static constexpr int kFrameHeight = 46;
  static constexpr int kInitialWidth = 529, kInitialHeight = 469;
  static constexpr int kMinimumWidth = 513, kMinimumHeight = 457;
  // How long a run under "PLA Cost" may search for a smaller cover before it
  // settles for the best one found.
  static constexpr double kPlaTimeLimitSeconds = 30;
  // File work that takes longer than this shows a note (with Cancel for a
  // read).
  static constexpr int kFileNoteDelayMs = 400;

  // Creates the window with one empty function and, when fileArgument names
  // an existing file, loads it.
  explicit TfrmMain(IDialogs& dialogs, const QString& fileArgument = QString(), QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The term entry dialog and the About box are created after the window.
  void AttachForms(TfrmAddTerms* addTerms, TfrmAbout* about);

  TDocument& Document() { return FDocument; }
  TFunctionSystem& System() { return FDocument.System(); }
  IDialogs& Dialogs() { return FDialogs; }
  // The save dialog, opened in the document's folder on a name that fits the
  // command (the document's name, nameSuffix, extension without dot); asks
  // before an existing file is replaced (written is the path the command
  // will write for the name).
  std::optional<QString> ExecuteSaveDialog(const QString& filter, const QString& extension,
                                           const std::function<QString(const QString&)>& written,
                                           const QString& nameSuffix = QString());

  // Rebuilds the view of the store and derives InputBits. The window runs it
  // whenever the document's functions, current function or name change.
  void RefreshWindow();
  // The general error display: an error box captioned "Tavro".
  void ShowError(const QString& message);

  // The output pane's text with its CR LF line ends.
  QString OutputText() const;
  QString StatusText() const;
  // The name the shared save dialog opens with next time.
  QString SaveDialogFileName() const { return FSaveDialogFileName; }
  QPrinter& Printer() { return FPrinter; }
  // The Output menu's toggles as a run reads them.
  TOutputOptions OutputOptions() const;
  // The run parameters of the Algorithm menu's choices.
  TRunParams RunParams() const;
  // The steps of the run that made the result (null before the first).
  std::shared_ptr<const TStepRecord> LastSteps() const { return FLastSteps; }
  // Exports them as an HTML page or a LaTeX document.
  void ExportSteps(bool latex);
  // The names the output and the HDL use: the system's under Signal Names.
  TSignalNames ShownNames() const;
  // A run is on its way (working, or its output still being appended).
  bool Running() const { return FRun->IsRunning(); }
  // Whether any run's thread is still working, a stopped one included.
  bool RunsPending() const { return FRun->RunsPending(); }
  // Output beyond this size is offered for export instead of the pane.
  void SetPaneLimit(qint64 bytes) { FRun->SetPaneLimit(bytes); }

  // Lays the controls out for a client area of CW x CH in a window whose
  // outer size is W x H.
  void FormResize(int CW, int CH, int W, int H);

  // The run's beep, through the dialogs (which the tests script).
  void Beep();

  // Event handlers.
  void btnAddTermsClick();
  void lstTermsDblClick();
  void btnRemoveItemClick();
  void btnAddFunctionClick();
  void btnRemoveFunctionClick();
  void scrFunctionsChange();
  void radMinTermsClick();
  void radMaxTermsClick();
  void chkLockClick();
  void btnSOPClick();
  void Button2Click();
  void btnVHDLClick();
  void New1Click();
  void mnuOpenClick();
  void mntSaveClick();
  void mnuSaveClick();
  void mnuPageSetupClick();
  void mnuPrintClick();
  void mnuExitClick();
  void mnuUndoClick();
  void mnuRedoClick();
  void mnuCutClick();
  void mnuCopyClick();
  void mnuPasteClick();
  void mnuClearClick();
  void mnuExportToFileClick();
  void mnuAboutClick();
  void mnuLowestCostClick();
  void mnuPLACostCriteriaClick();
  void mnuFastCostClick();
  // The Stop button and Esc: ends the run with nothing changed.
  void btnStopClick();

  // The client area, below the menu bar.
  QWidget* ClientArea = nullptr;

  QGroupBox* GroupBox1 = nullptr;
  QLabel* lblTermsTitle = nullptr;
  QLabel* lblFunctionCount = nullptr;  // beside scrFunctions: "7 functions (0-6)"
  QLabel* Label2 = nullptr;
  TTermListView* lstTerms = nullptr;
  QScrollBar* scrFunctions = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QRadioButton* radMinTerms = nullptr;
  QRadioButton* radMaxTerms = nullptr;
  QCheckBox* chkLock = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* btnRemoveItem = nullptr;
  QGroupBox* GroupBox5 = nullptr;
  QPushButton* btnAddFunction = nullptr;
  QPushButton* btnRemoveFunction = nullptr;
  QGroupBox* GroupBox4 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* lblTotalTerms = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* lblSystemMinInputBits = nullptr;
  QGroupBox* GroupBox6 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* lblNumberOfTerms = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* lblNumberOfInputBits = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QPushButton* btnSOP = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* btnVHDL = nullptr;
  QPushButton* btnStop = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QProgressBar* prgRun = nullptr;

  QMenuBar* frmMainMenu = nullptr;
  QMenu* mnuFile = nullptr;
  QAction* New1 = nullptr;
  QAction* mnuOpen = nullptr;
  QAction* N1 = nullptr;
  QAction* mntSave = nullptr;
  QAction* mnuSave = nullptr;
  QAction* MenuDivider2 = nullptr;
  QAction* mnuPageSetup = nullptr;
  QAction* mnuPrint = nullptr;
  QAction* mnuDivider = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuUndo = nullptr;
  QAction* mnuRedo = nullptr;
  QAction* mnuUndoDivider = nullptr;
  QAction* mnuCut = nullptr;
  QAction* mnuCopy = nullptr;
  QAction* mnuPaste = nullptr;
  QAction* N5 = nullptr;
  QAction* mnuClear = nullptr;
  QMenu* erm1 = nullptr;
  QMenu* AddFunction1 = nullptr;
  QAction* erms1 = nullptr;
  QAction* Function1 = nullptr;
  QMenu* Remove1 = nullptr;
  QAction* erms2 = nullptr;
  QAction* Function2 = nullptr;
  QMenu* mnuOutput = nullptr;
  QAction* mnuTerms = nullptr;
  QAction* mnuSignalNames = nullptr;
  QAction* N4 = nullptr;
  QAction* mnuPIs = nullptr;
  QAction* mnuOptimizedFunction = nullptr;
  QAction* N2 = nullptr;
  QAction* mnuAlgorithmAnalysis = nullptr;
  QAction* N3 = nullptr;
  QAction* mnuExportToFile = nullptr;
  QAction* mnuExportLatex = nullptr;  // Output > Export LaTeX..., as File > Export > LaTeX...
  // File > Export: one item per format (ExportFormats order).
  QMenu* mnuExport = nullptr;
  std::vector<QAction*> ExportItems;
  QMenu* mnuAlgorithm = nullptr;
  QMenu* mnuCost = nullptr;
  QAction* mnuPLACostCriteria = nullptr;
  QAction* mnuLowestCost = nullptr;
  QAction* mnuFastCost = nullptr;
  QAction* N6 = nullptr;
  QAction* RemoveHazards1 = nullptr;
  QMenu* VHDL1 = nullptr;
  QMenu* mnuLibrary = nullptr;
  QAction* IEEE1 = nullptr;
  QMenu* Use1 = nullptr;
  QAction* ieeestdlogic11641 = nullptr;
  QMenu* DelayModel1 = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuAbout = nullptr;

 signals:
  // Every status text as a run sets it.
  void StatusChanged(const QString& text);
  // At the end of every RefreshWindow.
  void Refreshed();
  // A run has ended and its output is in the pane (or was set aside).
  void RunFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Asks about unsaved changes as New does; a running run is stopped first.
  void closeEvent(QCloseEvent* event) override;
  // A term or PLA file dropped onto the window is opened as Open does.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  // The parts of CreateControls, by the group boxes they build.
  void CreateOutputFunctionsGroup();
  void CreateTermsGroup();
  void CreateFunctionGroup();
  void CreateSystemPropertiesGroup();
  void CreateFunctionPropertiesGroup();
  void CreateGenerateGroup();
  void CreateStatusBar();
  // Tab order, and the controls' events to their handlers.
  void ConnectControls();
  void CreateMenu();
  void FormCreate(const QString& fileArgument);
  // Refreshes after a change of the document, unless a refresh is under way
  // or held.
  void FollowDocument();
  void KindChange(bool maxterms);
  void RunGenerate(int mode);
  void RunStatus(const QString& text);
  // What an ended run left: a completed run's result is recorded (and large
  // output offered for export); an error waits until the run is over.
  void RunDone(const TRunResult& result);
  void EndRun();
  // Enables what may be used while a run is on its way, and the rest not.
  void ShowRunning(bool running);
  void OfferLargeOutput(const TRunResult& result);
  // Save As: true when the file was written.
  bool SaveAsSteps();

 public:
  // The formats of File > Export.
  enum class TExportKind { Verilog, Pla, PlaDontCares, Blif, Eqntott, Csv, Json, Latex };
  struct TExportFormat {
    const char* Object;     // the item's object name
    const char* Caption;    // its text
    const char* Filter;     // the save dialog's filter
    const char* Extension;  // appended to a name without it
    TExportKind Kind;
  };
  static const std::vector<TExportFormat>& ExportFormats();
  // Whether the format can be written now: a result (the truth table: a
  // system of at most 16 inputs with listed terms), and no run working.
  bool ExportAllowed(TExportKind kind) const;
  // Asks for a name and writes the format.
  void ExportTo(const TExportFormat& format);
  void UpdateExportItems();

 private:
  // After a save as a term file: says in the status that a PLA file's names
  // were not kept (there are none to keep otherwise).
  void NoteNamesNotSaved();
  // Before the system is replaced: asks "Save Open File" when it has unsaved
  // changes, and saves on Yes. True when the system may go (nothing
  // unsaved, saved, or No).
  bool MayReplaceSystem();
  // As MayReplaceSystem, but a blank system goes without a question.
  bool MayOpenOverSystem();
  // Opens a file as the system, after MayReplaceSystem.
  void OpenFile(const QString& path);
  void LoadFile(const QString& path);
  // Carries out a file's reading or writing on a thread of its own while
  // the window goes on painting (see TDocument::TRunner); the user's input
  // waits meanwhile, and a note saying `text` shows once it takes a moment.
  // With cancellable, the note has a Cancel button, which sets the work's
  // stop flag (CheckStop on its thread then throws StoppedError).
  void RunFileWork(const QString& text, const std::function<void()>& work, bool cancellable = false);

  QString StartFolder() const;
  void RememberFolder(const QString& path);
  void UpdateModifiedMark();
  bool RefusedTermEdit();
  void SendEditRequest(const char* request);

 public:
  // Runs a command and shows what it throws through the general error display.
  template <class Fn>
  void Guard(Fn&& fn) {
    try {
      fn();
    } catch (const std::exception& e) {
      ShowError(QString::fromUtf8(e.what()));
    }
  }

 private:
  // While one lives, the document's changes do not refresh the window: the
  // command refreshes where the editor's rules say, or not at all.
  class TRefreshHold {
   public:
    explicit TRefreshHold(TfrmMain& window) : FWindow(window) { ++FWindow.FRefreshHolds; }
    ~TRefreshHold() { --FWindow.FRefreshHolds; }
    TRefreshHold(const TRefreshHold&) = delete;
    TRefreshHold& operator=(const TRefreshHold&) = delete;

   private:
    TfrmMain& FWindow;
  };

  IDialogs& FDialogs;
  TDocument FDocument;
  TTermListModel* FTermModel = nullptr;
  TRunController* FRun = nullptr;
  // An error that ended the run (or the export of its output), shown once
  // the run is over.
  QString FRunError;
  bool FRefreshing = false;
  int FRefreshHolds = 0;
  // The function the last refresh showed; an edit may have removed it since.
  int FShownFunction = 0;
  QShortcut* FStopShortcut = nullptr;
  QString FLastFolder;
  TRunStats FLastStats;                           // the figures of the run that made the result
  std::shared_ptr<const TStepRecord> FLastSteps;  // and its steps
  TfrmAddTerms* FAddTerms = nullptr;
  TfrmAbout* FAbout = nullptr;
  QLabel* FStatusText = nullptr;
  QString FSaveDialogFileName;
  QPrinter FPrinter;
};

}  // namespace tavro
