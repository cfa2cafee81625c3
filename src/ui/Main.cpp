#include "ui/Main.h"

#include <exception>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTextCursor>

#include "engine/FileIO.h"
#include "engine/TermFile.h"
#include "engine/Vhdl.h"
#include "model/Errors.h"
#include "ui/AboutBox.h"
#include "ui/Fonts.h"
#include "ui/PrintLayout.h"
#include "ui/Resources.h"
#include "ui/ViewWindows.h"
#include "ui/frmTerms.h"

namespace tavro {

namespace {

const QString kTermFilter = QStringLiteral("Min/Max Term files (*.trm *.TRM)");
const QString kOpenFilter =
    QStringLiteral("Min/Max Term files (*.trm *.TRM);;Text files (*.txt *.TXT);;"
                   "PLA files (*.pla *.PLA)");
const QString kVhdlFilter = QStringLiteral("VHDL files (*.vhd *.VHD)");
const QString kTextFilter = QStringLiteral("Text files (*.txt *.TXT)");

// Rows of the term list are 16 pixels high whatever the font asks for.
class TFixedRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), 16};
  }
};

std::string FileNameBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString FileNameText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->move(left, top);
  label->adjustSize();
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry, const QString& hint = QString()) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption,
                     const QRect& geometry) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(QLatin1String(name));
  group->setGeometry(geometry);
  return group;
}

}  // namespace

template <class Fn>
void TfrmMain::Guard(Fn&& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()));
  }
}

TfrmMain::TfrmMain(IDialogs& dialogs, const QString& fileArgument, QWidget* parent)
    : QMainWindow(parent), FDialogs(dialogs) {
  setObjectName(QStringLiteral("frmMain"));
  setFont(WindowFont());
  RegisterResources();
  setWindowIcon(QIcon(QStringLiteral(":/tavro/icon.png")));
  CreateMenu();
  CreateControls();
  new TViewWindows(*this);  // owned by the window

  // Outer sizes become client sizes by the frame allowance; the menu bar is
  // part of the allowance, but in Qt it lives inside the window.
  ClientArea->setMinimumSize(kMinimumWidth - kFrameWidth, kMinimumHeight - kFrameHeight);
  const int menuHeight = frmMainMenu->sizeHint().height();
  resize(kInitialWidth - kFrameWidth, kInitialHeight - kFrameHeight + menuHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desktop = screen->availableGeometry();
    move(desktop.center() - rect().center());
  }

  FormCreate(fileArgument);
  lstTerms->setFocus();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::AttachForms(TfrmAddTerms* addTerms, TfrmAbout* about) {
  FAddTerms = addTerms;
  FAbout = about;
}

void TfrmMain::CreateControls() {
  ClientArea = new QWidget(this);
  ClientArea->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(ClientArea);
  ClientArea->installEventFilter(this);

  GroupBox1 = MakeGroup(ClientArea, "GroupBox1", QStringLiteral("Output Function(s)"),
                        {0, 0, 505, 321});
  lblTermsTitle = MakeLabel(GroupBox1, "lblTermsTitle", QStringLiteral("Function 0 Terms"), 8, 16);
  Label2 = MakeLabel(GroupBox1, "Label2", QStringLiteral("Output:"), 112, 16);

  lstTerms = new QListWidget(GroupBox1);
  lstTerms->setObjectName(QStringLiteral("lstTerms"));
  lstTerms->setGeometry(6, 31, 89, 194);
  lstTerms->setSelectionMode(QAbstractItemView::SingleSelection);
  lstTerms->setFont(MonoFont());
  lstTerms->setUniformItemSizes(true);
  lstTerms->setItemDelegate(new TFixedRowDelegate(lstTerms));
  lstTerms->viewport()->installEventFilter(this);

  scrFunctions = new QScrollBar(Qt::Horizontal, GroupBox1);
  scrFunctions->setObjectName(QStringLiteral("scrFunctions"));
  scrFunctions->setGeometry(8, 240, 89, 17);
  scrFunctions->setRange(0, 0);
  scrFunctions->setSingleStep(1);
  scrFunctions->setPageStep(1);
  scrFunctions->setFocusPolicy(Qt::StrongFocus);

  Memo1 = new QPlainTextEdit(GroupBox1);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(112, 32, 385, 121);
  Memo1->setFont(MonoFont());
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setTabChangesFocus(true);

  GroupBox3 = MakeGroup(GroupBox1, "GroupBox3", QStringLiteral("Terms"), {112, 168, 153, 89});
  radMinTerms = new QRadioButton(QStringLiteral("Minterms"), GroupBox3);
  radMinTerms->setObjectName(QStringLiteral("radMinTerms"));
  radMinTerms->setGeometry(8, 16, 73, 17);
  radMinTerms->setChecked(true);
  radMaxTerms = new QRadioButton(QStringLiteral("Maxterms"), GroupBox3);
  radMaxTerms->setObjectName(QStringLiteral("radMaxTerms"));
  radMaxTerms->setGeometry(8, 40, 73, 17);
  chkLock = new QCheckBox(QStringLiteral("Lock"), GroupBox3);
  chkLock->setObjectName(QStringLiteral("chkLock"));
  chkLock->setGeometry(8, 64, 65, 17);
  chkLock->setChecked(true);
  Button1 = MakeButton(GroupBox3, "Button1", QStringLiteral("Add"), {88, 16, 57, 25},
                       QStringLiteral("Add terms to the current function."));
  btnRemoveItem = MakeButton(GroupBox3, "btnRemoveItem", QStringLiteral("Remove"),
                             {88, 56, 57, 25},
                             QStringLiteral("Remove the selected term from the function."));

  GroupBox5 = MakeGroup(GroupBox1, "GroupBox5", QStringLiteral("Function"), {272, 160, 73, 89});
  btnAddFunction = MakeButton(GroupBox5, "btnAddFunction", QStringLiteral("Add"),
                              {8, 16, 57, 25}, QStringLiteral("Add a function to the system."));
  btnRemoveFunction = MakeButton(GroupBox5, "btnRemoveFunction", QStringLiteral("Remove"),
                                 {8, 56, 57, 25}, QStringLiteral("Remove the current function."));

  GroupBox4 = MakeGroup(GroupBox1, "GroupBox4", QStringLiteral("System Properties"),
                        {352, 160, 145, 89});
  Label4 = MakeLabel(GroupBox4, "Label4", QStringLiteral("Terms:"), 8, 16);
  lblTotalTerms = MakeLabel(GroupBox4, "lblTotalTerms", QStringLiteral("0"), 43, 16);
  Label5 = MakeLabel(GroupBox4, "Label5", QStringLiteral("Input bits:"), 8, 32);
  lblSystemMinInputBits = MakeLabel(GroupBox4, "lblSystemMinInputBits", QStringLiteral("0"), 59, 32);

  GroupBox6 = MakeGroup(GroupBox1, "GroupBox6", QStringLiteral("Function 0 Properties"),
                        {352, 256, 145, 57});
  Label1 = MakeLabel(GroupBox6, "Label1", QStringLiteral("Terms:"), 8, 16);
  lblNumberOfTerms = MakeLabel(GroupBox6, "lblNumberOfTerms", QStringLiteral("0"), 48, 16);
  Label3 = MakeLabel(GroupBox6, "Label3", QStringLiteral("Input bits:"), 8, 32);
  lblNumberOfInputBits = MakeLabel(GroupBox6, "lblNumberOfInputBits", QStringLiteral("0"), 64, 32);

  GroupBox2 = MakeGroup(ClientArea, "GroupBox2", QStringLiteral("Generate"), {0, 344, 505, 49});
  btnSOP = MakeButton(GroupBox2, "btnSOP", QStringLiteral("SOP"), {16, 16, 75, 25},
                      QStringLiteral("Creates sum of products equations."));
  Button2 = MakeButton(GroupBox2, "Button2", QStringLiteral("POS"), {96, 16, 73, 25},
                       QStringLiteral("Creates prodcuts of sums equations."));
  btnVHDL = MakeButton(GroupBox2, "btnVHDL", QStringLiteral("VHDL"), {416, 16, 73, 25});
  btnVHDL->setEnabled(false);

  StatusBar1 = new QStatusBar(ClientArea);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  FStatusText = new QLabel(StatusBar1);
  FStatusText->setObjectName(QStringLiteral("SimpleText"));
  FStatusText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusBar1->addWidget(FStatusText, 1);
  StatusBar1->setGeometry(0, 399, 515, 19);

  setTabOrder(GroupBox1, GroupBox2);
  QWidget* order[] = {lstTerms,          scrFunctions, Memo1,   radMinTerms, radMaxTerms,
                      chkLock,           Button1,      btnRemoveItem, btnAddFunction,
                      btnRemoveFunction, btnSOP,       Button2, btnVHDL};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  // The handlers run exactly where the program's own moves are meant to run
  // them: RefreshWindow blocks the signals of its silent updates.
  connect(Button1, &QPushButton::clicked, this, [this] { Guard([this] { btnAddTermsClick(); }); });
  connect(btnRemoveItem, &QPushButton::clicked, this,
          [this] { Guard([this] { btnRemoveItemClick(); }); });
  connect(btnAddFunction, &QPushButton::clicked, this,
          [this] { Guard([this] { btnAddFunctionClick(); }); });
  connect(btnRemoveFunction, &QPushButton::clicked, this,
          [this] { Guard([this] { btnRemoveFunctionClick(); }); });
  connect(scrFunctions, &QScrollBar::valueChanged, this,
          [this] { Guard([this] { scrFunctionsChange(); }); });
  connect(radMinTerms, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Guard([this] { radMinTermsClick(); });
  });
  connect(radMaxTerms, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Guard([this] { radMaxTermsClick(); });
  });
  connect(chkLock, &QCheckBox::toggled, this, [this] { Guard([this] { chkLockClick(); }); });
  connect(btnSOP, &QPushButton::clicked, this, [this] { Guard([this] { btnSOPClick(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guard([this] { Button2Click(); }); });
  connect(btnVHDL, &QPushButton::clicked, this, [this] { Guard([this] { btnVHDLClick(); }); });
}

void TfrmMain::CreateMenu() {
  frmMainMenu = new QMenuBar(this);
  frmMainMenu->setObjectName(QStringLiteral("frmMainMenu"));
  setMenuBar(frmMainMenu);

  auto menu = [this](QWidget* parentMenu, const char* name, const QString& caption) {
    auto* m = new QMenu(caption, parentMenu);
    m->setObjectName(QLatin1String(name));
    m->menuAction()->setObjectName(QLatin1String(name));
    if (auto* bar = qobject_cast<QMenuBar*>(parentMenu)) bar->addMenu(m);
    else static_cast<QMenu*>(parentMenu)->addMenu(m);
    return m;
  };
  auto item = [this](QMenu* m, const char* name, const QString& caption,
                     void (TfrmMain::*handler)() = nullptr) {
    QAction* a = m->addAction(caption);
    a->setObjectName(QLatin1String(name));
    if (handler)
      connect(a, &QAction::triggered, this, [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
    return a;
  };
  auto separator = [](QMenu* m, const char* name) {
    QAction* a = m->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
  };
  auto radioGroup = [this](std::initializer_list<QAction*> actions) {
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (QAction* a : actions) {
      a->setCheckable(true);
      group->addAction(a);
    }
  };
  auto makeDefault = [](QMenu* m, QAction* a) {
    m->setDefaultAction(a);
    QFont bold = a->font();
    bold.setBold(true);
    a->setFont(bold);
  };

  mnuFile = menu(frmMainMenu, "mnuFile", QStringLiteral("&File"));
  New1 = item(mnuFile, "New1", QStringLiteral("New"), &TfrmMain::New1Click);
  mnuOpen = item(mnuFile, "mnuOpen", QStringLiteral("&Open..."), &TfrmMain::mnuOpenClick);
  N1 = separator(mnuFile, "N1");
  mntSave = item(mnuFile, "mntSave", QStringLiteral("Save"), &TfrmMain::mntSaveClick);
  mnuSave = item(mnuFile, "mnuSave", QStringLiteral("&Save As..."), &TfrmMain::mnuSaveClick);
  mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  MenuDivider2 = separator(mnuFile, "MenuDivider2");
  mnuPageSetup = item(mnuFile, "mnuPageSetup", QStringLiteral("Page Setup.."),
                      &TfrmMain::mnuPageSetupClick);
  mnuPrint = item(mnuFile, "mnuPrint", QStringLiteral("&Print..."), &TfrmMain::mnuPrintClick);
  mnuDivider = separator(mnuFile, "mnuDivider");
  mnuExit = item(mnuFile, "mnuExit", QStringLiteral("E&xit"), &TfrmMain::mnuExitClick);

  mnuEdit = menu(frmMainMenu, "mnuEdit", QStringLiteral("&Edit"));
  mnuCut = item(mnuEdit, "mnuCut", QStringLiteral("Cut"), &TfrmMain::mnuCutClick);
  mnuCut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  mnuCopy = item(mnuEdit, "mnuCopy", QStringLiteral("Copy"), &TfrmMain::mnuCopyClick);
  mnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  mnuPaste = item(mnuEdit, "mnuPaste", QStringLiteral("Paste"), &TfrmMain::mnuPasteClick);
  mnuPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  N5 = separator(mnuEdit, "N5");
  mnuClear = item(mnuEdit, "mnuClear", QStringLiteral("Clear Output"), &TfrmMain::mnuClearClick);

  // The System menu is shown but greyed as a whole; its items do nothing.
  erm1 = menu(frmMainMenu, "erm1", QStringLiteral("System"));
  AddFunction1 = menu(erm1, "AddFunction1", QStringLiteral("Add"));
  erms1 = item(AddFunction1, "erms1", QStringLiteral("Term(s)"));
  Function1 = item(AddFunction1, "Function1", QStringLiteral("Function"));
  Remove1 = menu(erm1, "Remove1", QStringLiteral("Remove"));
  erms2 = item(Remove1, "erms2", QStringLiteral("Term(s)"));
  Function2 = item(Remove1, "Function2", QStringLiteral("Function"));
  erm1->menuAction()->setEnabled(false);

  // The Output toggles invert their own check mark when chosen; a run reads
  // them (OutputOptions).
  mnuOutput = menu(frmMainMenu, "mnuOutput", QStringLiteral("Output"));
  mnuTerms = item(mnuOutput, "mnuTerms", QStringLiteral("Terms"));
  mnuTerms->setCheckable(true);
  N4 = separator(mnuOutput, "N4");
  mnuPIs = item(mnuOutput, "mnuPIs", QStringLiteral("Prime Implcants"));
  mnuPIs->setCheckable(true);
  mnuOptimizedFunction = item(mnuOutput, "mnuOptimizedFunction", QStringLiteral("Optimized Functions"));
  mnuOptimizedFunction->setCheckable(true);
  mnuOptimizedFunction->setChecked(true);
  N2 = separator(mnuOutput, "N2");
  mnuAlgorithmAnalysis = item(mnuOutput, "mnuAlgorithmAnalysis", QStringLiteral("Algoritm Analysis"));
  mnuAlgorithmAnalysis->setCheckable(true);
  mnuAlgorithmAnalysis->setChecked(true);
  mnuAlgorithmAnalysis->setEnabled(false);
  N3 = separator(mnuOutput, "N3");
  mnuExportToFile = item(mnuOutput, "mnuExportToFile", QStringLiteral("Export To File..."),
                         &TfrmMain::mnuExportToFileClick);

  // The cost criterion: "Smallest Cost" is the one choice; nothing reads it.
  mnuAlgorithm = menu(frmMainMenu, "mnuAlgorithm", QStringLiteral("Algorithm"));
  mnuCost = menu(mnuAlgorithm, "mnuCost", QStringLiteral("Cost Criteria"));
  mnuPLACostCriteria = item(mnuCost, "mnuPLACostCriteria", QStringLiteral("PLA Cost"));
  mnuLowestCost = item(mnuCost, "mnuLowestCost", QStringLiteral("Smallest Cost"));
  radioGroup({mnuPLACostCriteria, mnuLowestCost});
  mnuLowestCost->setChecked(true);
  mnuPLACostCriteria->setEnabled(false);
  makeDefault(mnuCost, mnuLowestCost);
  N6 = separator(mnuAlgorithm, "N6");
  RemoveHazards1 = item(mnuAlgorithm, "RemoveHazards1", QStringLiteral("Remove Hazards"));
  RemoveHazards1->setEnabled(false);

  // The VHDL menu shows the library and use clause that VHDL files always get.
  VHDL1 = menu(frmMainMenu, "VHDL1", QStringLiteral("VHDL"));
  mnuLibrary = menu(VHDL1, "mnuLibrary", QStringLiteral("Library"));
  IEEE1 = item(mnuLibrary, "IEEE1", QStringLiteral("IEEE"));
  radioGroup({IEEE1});
  IEEE1->setChecked(true);
  makeDefault(mnuLibrary, IEEE1);
  Use1 = menu(VHDL1, "Use1", QStringLiteral("Use"));
  ieeestdlogic11641 = item(Use1, "ieeestdlogic11641", QStringLiteral("ieee.std_logic_1164"));
  radioGroup({ieeestdlogic11641});
  ieeestdlogic11641->setChecked(true);
  makeDefault(Use1, ieeestdlogic11641);
  DelayModel1 = menu(VHDL1, "DelayModel1", QStringLiteral("Delay Model"));
  item(DelayModel1, "DelayModel2", QString());
  DelayModel1->menuAction()->setEnabled(false);

  mnuHelp = menu(frmMainMenu, "mnuHelp", QStringLiteral("&Help"));
  mnuAbout = item(mnuHelp, "mnuAbout", QStringLiteral("&About..."), &TfrmMain::mnuAboutClick);
}

void TfrmMain::FormCreate(const QString& fileArgument) {
  FSystem.ResetSystem();
  Memo1->clear();
  FSystem.CurrentFileName.clear();
  FSystem.Modified = true;  // an untouched new system counts as unsaved
  FSystem.ResultReady = false;
  FSystem.ResultMode = modeSOP;
  RefreshWindow();
  if (!fileArgument.isEmpty() && QFileInfo(fileArgument).isFile()) {
    Guard([&] {
      LoadFile(fileArgument);
      FSystem.Modified = false;
    });
  }
}

// ---------------------------------------------------------------------------
// The view

void TfrmMain::RefreshWindow() {
  const int count = FSystem.FunctionCount();
  {
    // Bringing the position into range is no change of the current function.
    const QSignalBlocker blocker(scrFunctions);
    if (scrFunctions->value() > count - 1) scrFunctions->setValue(count - 1);
    scrFunctions->setMaximum(count - 1);
  }
  lblTermsTitle->setText(QStringLiteral("Function %1 Terms").arg(scrFunctions->value()));
  lblTermsTitle->adjustSize();

  lstTerms->clear();
  FSystem.CurrentFunction = scrFunctions->value();
  const TTermVector& current = FSystem.Current();
  QStringList lines;
  lines.reserve(current.Count());
  for (int32_t i = 0; i < current.Count(); ++i) {
    QString line = QString::number(current.GetTerm(i));
    if (current.GetDontCare(i)) line += QLatin1Char('d');
    lines.push_back(line);
  }
  lstTerms->addItems(lines);

  GroupBox6->setTitle(QStringLiteral("Function %1 Properties").arg(FSystem.CurrentFunction));
  {
    // Showing the stored kind is not a kind change.
    const QSignalBlocker minBlocker(radMinTerms), maxBlocker(radMaxTerms);
    if (current.IsMinterms()) radMinTerms->setChecked(true);
    else radMaxTerms->setChecked(true);
  }
  btnVHDL->setEnabled(FSystem.ResultReady);

  int64_t totalTerms = 0;
  int maxBits = -1;
  for (int f = 0; f < count; ++f) {
    const TTermVector& function = FSystem.Functions[static_cast<size_t>(f)];
    const int bits = TFunctionSystem::FunctionInputBits(function);
    totalTerms += function.Count();
    if (bits > maxBits) {
      maxBits = bits;
      FSystem.InputBits = bits;
    }
    if (f == FSystem.CurrentFunction) {
      lblNumberOfInputBits->setText(QString::number(bits));
      lblNumberOfTerms->setText(QString::number(function.Count()));
    }
  }
  // A loaded PLA keeps the inputs it declares.
  if (FSystem.MinInputBits > maxBits) {
    maxBits = FSystem.MinInputBits;
    FSystem.InputBits = maxBits;
  }
  lblSystemMinInputBits->setText(QString::number(maxBits));
  lblTotalTerms->setText(QString::number(totalTerms));
  for (QLabel* label : {lblNumberOfInputBits, lblNumberOfTerms, lblSystemMinInputBits, lblTotalTerms})
    label->adjustSize();

  setWindowTitle(FSystem.CurrentFileName.empty()
                     ? QString::fromLatin1(kApplicationTitle)
                     : QStringLiteral("%1 - %2").arg(QString::fromLatin1(kApplicationTitle),
                                                      FileNameText(FSystem.CurrentFileName)));
  emit Refreshed();
}

void TfrmMain::ShowError(const QString& message) {
  FDialogs.ShowError(this, QString::fromLatin1(kApplicationTitle), ErrorDisplayText(message));
}

QString TfrmMain::OutputText() const {
  QString text = Memo1->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

QString TfrmMain::StatusText() const { return FStatusText->text(); }

TOutputOptions TfrmMain::OutputOptions() const {
  TOutputOptions options;
  options.PrimeImplicants = mnuPIs->isChecked();
  options.OptimizedFunctions = mnuOptimizedFunction->isChecked();
  options.Terms = mnuTerms->isChecked();
  return options;
}

void TfrmMain::AppendOutput(const std::string& text) {
  QString piece = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  piece.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QTextCursor cursor(Memo1->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(piece);
}

void TfrmMain::SetStatus(const std::string& text) {
  const QString status = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  FStatusText->setText(status);
  // The run keeps the event loop busy: paint now so the user sees the stage.
  StatusBar1->repaint();
  emit StatusChanged(status);
}

void TfrmMain::Beep() { FDialogs.Beep(); }

// ---------------------------------------------------------------------------
// Layout

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == ClientArea && StatusBar1) {
    const int cw = ClientArea->width(), ch = ClientArea->height();
    FormResize(cw, ch, cw + kFrameWidth, ch + kFrameHeight);
  } else if (event->type() == QEvent::MouseButtonDblClick && lstTerms &&
             watched == lstTerms->viewport()) {
    Guard([this] { lstTermsDblClick(); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::FormResize(int CW, int CH, int W, int H) {
  // Integer form of floor(CW * 0.176), exact for every width.
  const int listWidth = CW * 176 / 1000;
  GroupBox1->resize(CW, CH - 74);
  GroupBox2->setGeometry(GroupBox2->x(), CH - 68, CW, GroupBox2->height());
  lstTerms->resize(listWidth, CH - 137);
  scrFunctions->setGeometry(scrFunctions->x(), CH - 99, listWidth, scrFunctions->height());
  Memo1->setGeometry(lstTerms->x() + lstTerms->width() + 17, Memo1->y(),
                     CW - lstTerms->width() - 31, CH - 290);
  GroupBox3->move(Memo1->x(), CH - 251);
  GroupBox5->move(GroupBox3->x() + 160, CH - 251);
  GroupBox4->move(GroupBox3->x() + 240, CH - 251);
  GroupBox6->move(GroupBox3->x(), CH - 155);
  Label2->move(lstTerms->x() + lstTerms->width() + 17, Label2->y());
  StatusBar1->setGeometry(StatusBar1->x(), H - 65, W - 8, StatusBar1->height());
}

// ---------------------------------------------------------------------------
// Function editing

void TfrmMain::btnAddTermsClick() {
  FSystem.Modified = true;
  if (FAddTerms) FDialogs.ShowModal(*FAddTerms);
}

void TfrmMain::lstTermsDblClick() {
  if (FAddTerms) FDialogs.ShowModal(*FAddTerms);
}

void TfrmMain::btnRemoveItemClick() {
  FSystem.Modified = true;
  const QList<QListWidgetItem*> selected = lstTerms->selectedItems();
  if (selected.isEmpty()) return;
  FSystem.Current().Delete(lstTerms->row(selected.constFirst()));
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  RefreshWindow();
}

void TfrmMain::btnAddFunctionClick() {
  FSystem.Modified = true;
  FSystem.Functions.emplace_back();
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  RefreshWindow();
  // Runs scrFunctionsChange: the new function becomes current, locked.
  scrFunctions->setValue(FSystem.FunctionCount() - 1);
}

void TfrmMain::btnRemoveFunctionClick() {
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  const int count = FSystem.FunctionCount();
  if (count < 2) return;
  FSystem.Current().Clear();
  const int current = FSystem.CurrentFunction;
  if (current == count - 1) {
    FSystem.Functions.pop_back();
    // The position stood on the old maximum; lowering the maximum moves it,
    // which runs scrFunctionsChange.
    scrFunctions->setMaximum(scrFunctions->maximum() - 1);
  } else {
    FSystem.Functions.erase(FSystem.Functions.begin() + current);
    scrFunctions->setMaximum(scrFunctions->maximum() - 1);
    RefreshWindow();
  }
}

void TfrmMain::scrFunctionsChange() {
  chkLock->setChecked(true);  // runs chkLockClick when it was unchecked
  RefreshWindow();
}

void TfrmMain::radMinTermsClick() { KindChange(false); }

void TfrmMain::radMaxTermsClick() { KindChange(true); }

void TfrmMain::KindChange(bool maxterms) {
  TTermVector& function = FSystem.Current();
  if (function.Count() == 0) return;  // the radio buttons keep the choice
  if (chkLock->isChecked()) {
    function.Maxterms = maxterms;  // same numbers, other meaning
  } else if (function.Maxterms != maxterms) {
    function = FSystem.ComplementTerms(function);  // same function, other kind
  }
  RefreshWindow();
}

void TfrmMain::chkLockClick() {
  if (!chkLock->isChecked()) return;
  // The function that was current may be gone (its removal moved the scroll bar).
  if (FSystem.CurrentFunction >= FSystem.FunctionCount()) return;
  FSystem.Current().Maxterms = !radMinTerms->isChecked();
}

// ---------------------------------------------------------------------------
// Generate

void TfrmMain::btnSOPClick() { RunGenerate(modeSOP); }

void TfrmMain::Button2Click() { RunGenerate(modePOS); }

void TfrmMain::RunGenerate(int mode) {
  if (FSystem.InputBits == 0) return;  // all functions empty: nothing at all
  RunCommand(FSystem, mode, OutputOptions(), *this);
  RefreshWindow();
}

void TfrmMain::btnVHDLClick() {
  const std::optional<QString> name = ExecuteSaveDialog(kVhdlFilter);
  if (!name) return;
  if (!FSystem.ResultCubes) return;
  WriteVHDL(*FSystem.ResultCubes, VhdlPath(FileNameBytes(*name)), FSystem.ResultMode,
            FSystem.InputBits, FSystem.FunctionCount(), TodayShortDate());
  RefreshWindow();
}

// ---------------------------------------------------------------------------
// File

std::optional<QString> TfrmMain::ExecuteSaveDialog(const QString& filter) {
  std::optional<QString> name = FDialogs.SaveFileName(this, filter, FSaveDialogFileName);
  if (name) FSaveDialogFileName = *name;
  return name;
}

void TfrmMain::LoadFile(const QString& path) {
  LoadSystemFile(FSystem, FileNameBytes(path));
  RefreshWindow();
}

void TfrmMain::New1Click() {
  if (FSystem.Modified) {
    switch (FDialogs.AskYesNoCancel(this, QStringLiteral("Save Open File"),
                                    QStringLiteral("The current file is not saved. Save it now?"))) {
      case IDialogs::TAnswer::Yes:
        SaveAsSteps();
        return;
      case IDialogs::TAnswer::No:
        break;
      case IDialogs::TAnswer::Cancel:
        return;
    }
  }
  FSystem.ResetSystem();
  Memo1->clear();
  RefreshWindow();
}

void TfrmMain::mnuOpenClick() {
  const std::optional<QString> path = FDialogs.OpenFileName(this, kOpenFilter);
  if (!path) return;
  LoadFile(*path);
}

void TfrmMain::SaveAsSteps() {
  const std::optional<QString> name = ExecuteSaveDialog(kTermFilter);
  if (!name) return;
  FSystem.CurrentFileName = FileNameBytes(*name);
  RefreshWindow();  // the caption shows the new name, even if the save fails
  SaveTermFile(FSystem, FSystem.CurrentFileName);
}

void TfrmMain::mnuSaveClick() { SaveAsSteps(); }

void TfrmMain::mntSaveClick() {
  if (!FSystem.CurrentFileName.empty()) {
    SaveTermFile(FSystem, FSystem.CurrentFileName);
    return;
  }
  const std::optional<QString> name = ExecuteSaveDialog(kTermFilter);
  if (!name) return;
  FSystem.CurrentFileName = FileNameBytes(*name);
  try {
    SaveTermFile(FSystem, FSystem.CurrentFileName);
  } catch (...) {
    RefreshWindow();  // the caption shows the chosen name all the same
    throw;
  }
  RefreshWindow();
}

void TfrmMain::mnuPageSetupClick() { FDialogs.PrinterSetup(this, FPrinter); }

void TfrmMain::mnuPrintClick() { PrintPlainText(FPrinter, PrintJobText(OutputText())); }

void TfrmMain::mnuExitClick() { close(); }

// ---------------------------------------------------------------------------
// Edit and Output

void TfrmMain::SendEditRequest(const char* request) {
  // Text controls carry out the request on their selection and the
  // clipboard; other controls have no such slot and ignore it.
  QWidget* target = focusWidget();
  if (!target) return;
  const QByteArray signature = QByteArray(request) + "()";
  if (target->metaObject()->indexOfMethod(signature.constData()) >= 0)
    QMetaObject::invokeMethod(target, request);
}

void TfrmMain::mnuCutClick() { SendEditRequest("cut"); }

void TfrmMain::mnuCopyClick() { SendEditRequest("copy"); }

void TfrmMain::mnuPasteClick() { SendEditRequest("paste"); }

void TfrmMain::mnuClearClick() { Memo1->clear(); }

void TfrmMain::mnuExportToFileClick() {
  const std::optional<QString> name = ExecuteSaveDialog(kTextFilter);
  if (!name) return;
  if (name->right(4).toUpper() != QLatin1String(".TXT"))
    FSaveDialogFileName = *name + QStringLiteral(".txt");
  WriteFileAtomic(FileNameBytes(FSaveDialogFileName), OutputText().toStdString());
}

void TfrmMain::mnuAboutClick() {
  if (FAbout) FDialogs.ShowModal(*FAbout);
}

}  // namespace tavro
