#include "ui/frmTerms.h"

#include <algorithm>
#include <exception>
#include <string>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTimer>

#include "engine/io/TermEntry.h"
#include "ui/Fonts.h"
#include "ui/Main.h"
#include "ui/ViewWindows.h"

namespace tavro {

namespace {
constexpr int kReadingRow = 20;      // the line that says what the terms read as
constexpr int kExpressionRows = 52;  // the two expression fields below the terms
constexpr int kBelowTerms = kReadingRow + kExpressionRows;
// Typing pauses this long before the line is made again (a list of a
// million terms takes a moment to read).
constexpr int kReadingDelayMs = 150;
}  // namespace

TfrmAddTerms::TfrmAddTerms(TfrmMain& frmMain)
    : QDialog(&frmMain,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FMain(frmMain) {
  setObjectName(QStringLiteral("frmAddTerms"));
  setWindowTitle(QStringLiteral("Add Terms to Function"));
  setFont(WindowFont());
  setFixedSize(481, 223 + kBelowTerms);

  Label1 = new QLabel(QStringLiteral("Terms:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(8, 8);
  Label1->adjustSize();

  memoNewTerms = new QPlainTextEdit(this);
  memoNewTerms->setObjectName(QStringLiteral("memoNewTerms"));
  memoNewTerms->setGeometry(8, 24, 465, 161);
  memoNewTerms->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memoNewTerms->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoNewTerms->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoNewTerms->setTabChangesFocus(true);

  // Neither button is a default button: Enter in the text starts a new line.
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setGeometry(392, 192 + kBelowTerms, 81, 25);
  btnCancel->setAutoDefault(false);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(304, 192 + kBelowTerms, 81, 25);
  Button1->setAutoDefault(false);

  auto expressionRow = [this](QLabel*& label, QLineEdit*& edit, const char* name, const QString& caption, int top) {
    label = new QLabel(caption, this);
    label->move(8, top + 3);
    label->adjustSize();
    edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(88, top, 385, 21);
  };
  expressionRow(lblExpression, edtExpression, "edtExpression", QStringLiteral("Expression:"), 192 + kReadingRow);
  expressionRow(lblDontCares, edtDontCares, "edtDontCares", QStringLiteral("Don't cares:"), 218 + kReadingRow);

  lblReading = new QLabel(this);
  lblReading->setObjectName(QStringLiteral("lblReading"));
  lblReading->setGeometry(8, 188, 465, 18);
  lblReading->setTextFormat(Qt::PlainText);
  FReadingTimer = new QTimer(this);
  FReadingTimer->setSingleShot(true);
  FReadingTimer->setInterval(kReadingDelayMs);
  connect(FReadingTimer, &QTimer::timeout, this, [this] { UpdateReading(); });
  for (QLineEdit* edit : {edtExpression, edtDontCares})
    connect(edit, &QLineEdit::textChanged, FReadingTimer, qOverload<>(&QTimer::start));
  connect(memoNewTerms, &QPlainTextEdit::textChanged, FReadingTimer, qOverload<>(&QTimer::start));

  setTabOrder(memoNewTerms, edtExpression);
  setTabOrder(edtExpression, edtDontCares);
  setTabOrder(edtDontCares, btnCancel);
  setTabOrder(btnCancel, Button1);

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

void TfrmAddTerms::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    // Over the middle of the main window.
    const QRect frame = FMain.frameGeometry();
    move(frame.center() - QRect(QPoint(), frameSize()).center());
  }
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmAddTerms::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) return;  // Escape does not cancel
  QDialog::keyPressEvent(event);
}

void TfrmAddTerms::FormShow() {
  // The term list's lines joined by ", ", made from the store: the list
  // makes its rows only when they are painted.
  const TTermVector& f = FMain.Document().Current();
  std::string text;
  text.reserve(static_cast<size_t>(f.Count()) * 9);
  // A long list goes on several lines, broken after a comma (where a line
  // break means nothing to the parser): a text box lays out a line as a
  // whole, and one line of a million terms would freeze it.
  const bool oneLine = f.Count() <= kOneLineTerms;
  for (int32_t i = 0; i < f.Count(); ++i) {
    if (i > 0) text += oneLine || i % kTermsPerLine != 0 ? ", " : ",\n";
    text += std::to_string(f.GetTerm(i));
    if (f.GetDontCare(i)) text += 'd';
  }
  // Ending with the separator, the caret after it: what the user types is
  // a new term.
  if (f.Count() > 0) text += ", ";
  memoNewTerms->setPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  memoNewTerms->moveCursor(QTextCursor::End);
  edtExpression->clear();
  edtDontCares->clear();
  FReadingTimer->stop();
  UpdateReading();
  memoNewTerms->setFocus();
}

void TfrmAddTerms::UpdateReading() {
  FReadingTimer->stop();
  QString line;
  // As OK reads them: either field with more than blanks gives the function.
  const auto blank = [](const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; });
  };
  if (!blank(edtExpression->text()) || !blank(edtDontCares->text())) {
    line = QStringLiteral("the expressions below give the function; the terms are not read");
  } else {
    const TTermEntryReading reading =
        ReadTermEntry(memoNewTerms->toPlainText().toStdString(), FMain.radMaxTerms->isChecked());
    line = QString::fromStdString(TermEntrySummary(reading));
  }
  // The whole line as a tip; the label shows what fits.
  lblReading->setToolTip(line);
  lblReading->setText(lblReading->fontMetrics().elidedText(line, Qt::ElideRight, lblReading->width()));
}

void TfrmAddTerms::Button1Click() {
  try {
    // Parse first: a text that cannot be read changes nothing.
    const bool maxterms = FMain.radMaxTerms->isChecked();
    TDocument& document = FMain.Document();
    std::optional<TTermVector> function = FunctionFromEntryExpressions(
        edtExpression->text().toStdString(), edtDontCares->text().toStdString(), document.System(), maxterms);
    if (!function) function = ParseTermEntry(memoNewTerms->toPlainText().toStdString(), maxterms);
    document.SetTerms(document.CurrentFunction(), std::move(*function));
    accept();
  } catch (const std::exception& e) {
    FMain.ShowError(QString::fromUtf8(e.what()));
  }
}

void TfrmAddTerms::btnCancelClick() { reject(); }

}  // namespace tavro
