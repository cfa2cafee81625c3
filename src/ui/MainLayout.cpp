#include <algorithm>

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStyledItemDelegate>

#include "ui/Fonts.h"
#include "ui/Main.h"

// The window's controls, their design places and the resize rule.

namespace tavro {

namespace {

// Rows of the term list are 16 pixels high whatever the font asks for.
class TFixedRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), 16};
  }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->move(left, top);
  label->adjustSize();
  return label;
}

// A value label at its design place, or a blank's width after its caption
// when the font makes the caption wider.
QLabel* MakeValueLabel(QLabel* caption, const char* name, int left) {
  auto* value = MakeLabel(caption->parentWidget(), name, QStringLiteral("0"), left, caption->y());
  const int after = caption->x() + caption->width() + caption->fontMetrics().horizontalAdvance(QLatin1Char(' '));
  value->move(std::max(value->x(), after), value->y());
  return value;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                        const QString& hint = QString()) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(QLatin1String(name));
  group->setGeometry(geometry);
  return group;
}

}  // namespace

void TfrmMain::CreateControls() {
  ClientArea = new QWidget(this);
  ClientArea->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(ClientArea);
  ClientArea->installEventFilter(this);

  // A group's title sits in its frame's top edge, and its controls keep
  // their design places below it, at every scale.
  ClientArea->setStyleSheet(
      QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.6em; }"
                     "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                     " left: 7px; padding: 0 2px; }"));
  CreateOutputFunctionsGroup();
  CreateTermsGroup();
  CreateFunctionGroup();
  CreateSystemPropertiesGroup();
  CreateFunctionPropertiesGroup();
  CreateGenerateGroup();
  CreateStatusBar();
  ConnectControls();
}

void TfrmMain::CreateOutputFunctionsGroup() {
  GroupBox1 = MakeGroup(ClientArea, "GroupBox1", QStringLiteral("Output Function(s)"), {0, 0, 505, 321});
  lblTermsTitle = MakeLabel(GroupBox1, "lblTermsTitle", QStringLiteral("Function 0 Terms"), 8, 16);
  Label2 = MakeLabel(GroupBox1, "Label2", QStringLiteral("Output:"), 112, 16);

  lstTerms = new TTermListView(GroupBox1);
  lstTerms->setObjectName(QStringLiteral("lstTerms"));
  FTermModel = new TTermListModel(FDocument, lstTerms);
  lstTerms->setModel(FTermModel);
  lstTerms->setEditTriggers(QAbstractItemView::NoEditTriggers);
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
  lblFunctionCount = MakeLabel(GroupBox1, "lblFunctionCount", QStringLiteral("1 function"), 114, 242);

  Memo1 = new QPlainTextEdit(GroupBox1);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(112, 32, 385, 121);
  Memo1->setFont(MonoFont());
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setTabChangesFocus(true);
}

void TfrmMain::CreateTermsGroup() {
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
  btnRemoveItem = MakeButton(GroupBox3, "btnRemoveItem", QStringLiteral("Remove"), {88, 56, 57, 25},
                             QStringLiteral("Remove the selected term from the function."));

  // The kind buttons and the lock grow to their captions, up to the buttons
  // beside them, when the font is wider than the design's.
  for (QWidget* choice : std::initializer_list<QWidget*>{radMinTerms, radMaxTerms, chkLock})
    choice->resize(std::clamp(choice->sizeHint().width(), choice->width(), Button1->x() - choice->x()),
                   choice->height());
}

void TfrmMain::CreateFunctionGroup() {
  GroupBox5 = MakeGroup(GroupBox1, "GroupBox5", QStringLiteral("Function"), {272, 160, 73, 89});
  btnAddFunction = MakeButton(GroupBox5, "btnAddFunction", QStringLiteral("Add"), {8, 16, 57, 25},
                              QStringLiteral("Add a function to the system."));
  btnRemoveFunction = MakeButton(GroupBox5, "btnRemoveFunction", QStringLiteral("Remove"), {8, 56, 57, 25},
                                 QStringLiteral("Remove the current function."));
}

void TfrmMain::CreateSystemPropertiesGroup() {
  GroupBox4 = MakeGroup(GroupBox1, "GroupBox4", QStringLiteral("System Properties"), {352, 160, 145, 89});
  Label4 = MakeLabel(GroupBox4, "Label4", QStringLiteral("Terms:"), 8, 16);
  lblTotalTerms = MakeValueLabel(Label4, "lblTotalTerms", 43);
  Label5 = MakeLabel(GroupBox4, "Label5", QStringLiteral("Input bits:"), 8, 32);
  lblSystemMinInputBits = MakeValueLabel(Label5, "lblSystemMinInputBits", 59);
}

void TfrmMain::CreateFunctionPropertiesGroup() {
  GroupBox6 = MakeGroup(GroupBox1, "GroupBox6", QStringLiteral("Function 0 Properties"), {352, 256, 145, 57});
  Label1 = MakeLabel(GroupBox6, "Label1", QStringLiteral("Terms:"), 8, 16);
  lblNumberOfTerms = MakeValueLabel(Label1, "lblNumberOfTerms", 48);
  Label3 = MakeLabel(GroupBox6, "Label3", QStringLiteral("Input bits:"), 8, 32);
  lblNumberOfInputBits = MakeValueLabel(Label3, "lblNumberOfInputBits", 64);
}

void TfrmMain::CreateGenerateGroup() {
  GroupBox2 = MakeGroup(ClientArea, "GroupBox2", QStringLiteral("Generate"), {0, 344, 505, 49});
  btnSOP = MakeButton(GroupBox2, "btnSOP", QStringLiteral("SOP"), {16, 16, 75, 25},
                      QStringLiteral("Creates sum of products equations."));
  Button2 = MakeButton(GroupBox2, "Button2", QStringLiteral("POS"), {96, 16, 73, 25},
                       QStringLiteral("Creates prodcuts of sums equations."));
  btnVHDL = MakeButton(GroupBox2, "btnVHDL", QStringLiteral("VHDL"), {416, 16, 73, 25});
  btnVHDL->setEnabled(false);
  // Ends a run early; Esc does the same.
  btnStop = MakeButton(GroupBox2, "btnStop", QStringLiteral("Stop"), {176, 16, 73, 25},
                       QStringLiteral("Stops the minimization run."));
  btnStop->setEnabled(false);
}

void TfrmMain::CreateStatusBar() {
  StatusBar1 = new QStatusBar(ClientArea);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  FStatusText = new QLabel(StatusBar1);
  FStatusText->setObjectName(QStringLiteral("SimpleText"));
  FStatusText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusBar1->addWidget(FStatusText, 1);
  // A run shows that it is busy; its stages have no known length.
  prgRun = new QProgressBar(StatusBar1);
  prgRun->setObjectName(QStringLiteral("prgRun"));
  prgRun->setRange(0, 0);
  prgRun->setMaximumWidth(120);
  prgRun->setMaximumHeight(15);
  prgRun->setTextVisible(false);
  prgRun->hide();
  StatusBar1->addPermanentWidget(prgRun);
  StatusBar1->setGeometry(0, 399, 515, 19);
}

void TfrmMain::ConnectControls() {
  setTabOrder(GroupBox1, GroupBox2);
  QWidget* order[] = {lstTerms, scrFunctions, Memo1,         radMinTerms,    radMaxTerms,
                      chkLock,  Button1,      btnRemoveItem, btnAddFunction, btnRemoveFunction,
                      btnSOP,   Button2,      btnStop,       btnVHDL};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  // The handlers run exactly where the program's own moves are meant to run
  // them: RefreshWindow blocks the signals of its silent updates.
  connect(Button1, &QPushButton::clicked, this, [this] { Guard([this] { btnAddTermsClick(); }); });
  connect(btnRemoveItem, &QPushButton::clicked, this, [this] { Guard([this] { btnRemoveItemClick(); }); });
  connect(btnAddFunction, &QPushButton::clicked, this, [this] { Guard([this] { btnAddFunctionClick(); }); });
  connect(btnRemoveFunction, &QPushButton::clicked, this, [this] { Guard([this] { btnRemoveFunctionClick(); }); });
  connect(scrFunctions, &QScrollBar::valueChanged, this, [this] { Guard([this] { scrFunctionsChange(); }); });
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
  connect(btnStop, &QPushButton::clicked, this, [this] { btnStopClick(); });
  FStopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  FStopShortcut->setEnabled(false);
  connect(FStopShortcut, &QShortcut::activated, this, [this] { btnStopClick(); });
}

// ---------------------------------------------------------------------------
// Layout

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == ClientArea && StatusBar1) {
    const int cw = ClientArea->width(), ch = ClientArea->height();
    FormResize(cw, ch, cw + kFrameWidth, ch + kFrameHeight);
  } else if (event->type() == QEvent::MouseButtonDblClick && lstTerms && watched == lstTerms->viewport()) {
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
  lblFunctionCount->move(scrFunctions->x() + listWidth + 17, CH - 98);
  Memo1->setGeometry(lstTerms->x() + lstTerms->width() + 17, Memo1->y(), CW - lstTerms->width() - 31, CH - 290);
  GroupBox3->move(Memo1->x(), CH - 251);
  GroupBox5->move(GroupBox3->x() + 160, CH - 251);
  GroupBox4->move(GroupBox3->x() + 240, CH - 251);
  GroupBox6->move(GroupBox3->x(), CH - 155);
  Label2->move(lstTerms->x() + lstTerms->width() + 17, Label2->y());
  StatusBar1->setGeometry(StatusBar1->x(), H - 65, W - 8, StatusBar1->height());
}

}  // namespace tavro
