#include "ui/frmTerms.h"

#include <exception>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "engine/TermEntry.h"
#include "ui/Fonts.h"
#include "ui/Main.h"
#include "ui/ViewWindows.h"

namespace tavro {

namespace {
constexpr int kExpressionRows = 52;  // the two expression fields below the terms
}  // namespace

TfrmAddTerms::TfrmAddTerms(TfrmMain& frmMain)
    : QDialog(&frmMain, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint),
      FMain(frmMain) {
  setObjectName(QStringLiteral("frmAddTerms"));
  setWindowTitle(QStringLiteral("Add Terms to Function"));
  setFont(WindowFont());
  setFixedSize(481, 223 + kExpressionRows);
  move(359, 246);

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
  btnCancel->setGeometry(392, 192 + kExpressionRows, 81, 25);
  btnCancel->setAutoDefault(false);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(304, 192 + kExpressionRows, 81, 25);
  Button1->setAutoDefault(false);

  auto expressionRow = [this](QLabel*& label, QLineEdit*& edit, const char* name, const QString& caption,
                              int top) {
    label = new QLabel(caption, this);
    label->move(8, top + 3);
    label->adjustSize();
    edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(88, top, 385, 21);
  };
  expressionRow(lblExpression, edtExpression, "edtExpression", QStringLiteral("Expression:"), 192);
  expressionRow(lblDontCares, edtDontCares, "edtDontCares", QStringLiteral("Don't cares:"), 218);

  setTabOrder(memoNewTerms, edtExpression);
  setTabOrder(edtExpression, edtDontCares);
  setTabOrder(edtDontCares, btnCancel);
  setTabOrder(btnCancel, Button1);

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

void TfrmAddTerms::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmAddTerms::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) return;  // Escape does not cancel
  QDialog::keyPressEvent(event);
}

void TfrmAddTerms::FormShow() {
  QStringList lines;
  for (int i = 0; i < FMain.lstTerms->count(); ++i) lines.push_back(FMain.lstTerms->item(i)->text());
  memoNewTerms->setPlainText(lines.join(QStringLiteral(", ")));
  edtExpression->clear();
  edtDontCares->clear();
  memoNewTerms->setFocus();
}

void TfrmAddTerms::Button1Click() {
  try {
    // Parse first: a text that cannot be read changes nothing.
    const bool maxterms = FMain.radMaxTerms->isChecked();
    std::optional<TTermVector> function = FunctionFromEntryExpressions(
        edtExpression->text().toStdString(), edtDontCares->text().toStdString(), FMain.System(), maxterms);
    if (!function) function = ParseTermEntry(memoNewTerms->toPlainText().toStdString(), maxterms);
    ReplaceFunction(FMain, FMain.System().CurrentFunction, std::move(*function));
    accept();
  } catch (const std::exception& e) {
    FMain.ShowError(QString::fromUtf8(e.what()));
  }
}

void TfrmAddTerms::btnCancelClick() { reject(); }

}  // namespace tavro
