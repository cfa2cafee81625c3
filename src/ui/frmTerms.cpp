#include "ui/frmTerms.h"

#include <exception>

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "engine/TermEntry.h"
#include "ui/Fonts.h"
#include "ui/Main.h"

namespace tavro {

TfrmAddTerms::TfrmAddTerms(TfrmMain& frmMain)
    : QDialog(&frmMain, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint),
      FMain(frmMain) {
  setObjectName(QStringLiteral("frmAddTerms"));
  setWindowTitle(QStringLiteral("Add Terms to Function"));
  setFont(WindowFont());
  setFixedSize(481, 223);
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
  btnCancel->setGeometry(392, 192, 81, 25);
  btnCancel->setAutoDefault(false);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(304, 192, 81, 25);
  Button1->setAutoDefault(false);

  setTabOrder(memoNewTerms, btnCancel);
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
  memoNewTerms->setFocus();
}

void TfrmAddTerms::Button1Click() {
  try {
    // Parse first: a text that cannot be read changes nothing.
    TTermVector function =
        ParseTermEntry(memoNewTerms->toPlainText().toStdString(), FMain.radMaxTerms->isChecked());
    TFunctionSystem& system = FMain.System();
    FMain.lstTerms->clear();
    system.Current() = std::move(function);
    system.Modified = true;
    system.ResultReady = false;
    FMain.RefreshWindow();
    accept();
  } catch (const std::exception& e) {
    FMain.ShowError(QString::fromUtf8(e.what()));
  }
}

void TfrmAddTerms::btnCancelClick() { reject(); }

}  // namespace tavro
