#include "ui/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace tavro {

std::optional<QString> TStandardDialogs::OpenFileName(QWidget* parent, const QString& filter, const QString& folder) {
  QFileDialog dialog(parent, QStringLiteral("Open"), folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

std::optional<QString> TStandardDialogs::SaveFileName(QWidget* parent, const QString& filter,
                                                      const QString& initialName) {
  QFileDialog dialog(parent, QStringLiteral("Save As"), QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!initialName.isEmpty()) dialog.selectFile(initialName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

IDialogs::TAnswer TStandardDialogs::AskYesNoCancel(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes: return TAnswer::Yes;
    case QMessageBox::No: return TAnswer::No;
    default: return TAnswer::Cancel;
  }
}

bool TStandardDialogs::AskSaveOrDiscard(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
  QPushButton* save = box.addButton(QStringLiteral("Save to File\u2026"), QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
  box.setDefaultButton(save);
  box.setEscapeButton(discard);
  box.exec();
  return box.clickedButton() == save;
}

void TStandardDialogs::ShowError(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox::critical(parent, caption, text, QMessageBox::Ok);
}

bool TStandardDialogs::ConfirmReplace(QWidget* parent, const QString& path) {
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplicationTitle),
                  QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(path)),
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void TStandardDialogs::PrinterSetup(QWidget* parent, QPrinter& printer) {
  QPageSetupDialog dialog(&printer, parent);
  dialog.exec();  // whether the user confirmed does not matter
}

bool TStandardDialogs::Print(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}

int TStandardDialogs::ShowModal(QDialog& dialog) { return dialog.exec(); }

void TStandardDialogs::Beep() { QApplication::beep(); }

QString ErrorDisplayText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

}  // namespace tavro
