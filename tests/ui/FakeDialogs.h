#pragma once
// Answers the window's modal questions from a script and records what was
// asked, so the tests drive the window without blocking.

#include <deque>
#include <functional>
#include <optional>

#include <QDialog>
#include <QPrinter>
#include <QStringList>

#include "ui/AboutBox.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"
#include "ui/frmTerms.h"

class TFakeDialogs : public tavro::IDialogs {
 public:
  // Scripted answers, used front first; an empty script cancels.
  std::deque<std::optional<QString>> OpenAnswers;
  std::deque<std::optional<QString>> SaveAnswers;
  std::deque<TAnswer> Answers;
  // Runs while one of the program's dialogs is shown modally.
  std::function<void(QDialog&)> OnModal;
  std::function<void(QPrinter&)> OnPrinterSetup;
  // The print dialog's answer; without one it is confirmed as it stands.
  std::function<bool(QPrinter&)> OnPrint;
  // Answers to "replace the existing file?"; an empty script says yes.
  std::deque<bool> ReplaceAnswers;

  QStringList OpenFilters, OpenFolders, SaveFilters, SaveInitialNames;
  QStringList ReplaceQuestions;
  int PrintDialogs = 0;
  QStringList QuestionCaptions, QuestionTexts;
  QStringList ErrorCaptions, Errors;
  QList<QDialog*> Modals;
  int PrinterSetups = 0;
  int Beeps = 0;

  std::optional<QString> OpenFileName(QWidget*, const QString& filter, const QString& folder) override {
    OpenFilters << filter;
    OpenFolders << folder;
    return Pop(OpenAnswers);
  }
  std::optional<QString> SaveFileName(QWidget*, const QString& filter, const QString& initialName) override {
    SaveFilters << filter;
    SaveInitialNames << initialName;
    return Pop(SaveAnswers);
  }
  bool ConfirmReplace(QWidget*, const QString& path) override {
    ReplaceQuestions << path;
    if (ReplaceAnswers.empty()) return true;
    const bool answer = ReplaceAnswers.front();
    ReplaceAnswers.pop_front();
    return answer;
  }
  TAnswer AskYesNoCancel(QWidget*, const QString& caption, const QString& text) override {
    QuestionCaptions << caption;
    QuestionTexts << text;
    if (Answers.empty()) return TAnswer::Cancel;
    const TAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  // From the same script as AskYesNoCancel: Yes saves, anything else
  // discards.
  bool AskSaveOrDiscard(QWidget* parent, const QString& caption, const QString& text) override {
    return AskYesNoCancel(parent, caption, text) == TAnswer::Yes;
  }
  void ShowError(QWidget*, const QString& caption, const QString& text) override {
    ErrorCaptions << caption;
    Errors << text;
  }
  void PrinterSetup(QWidget*, QPrinter& printer) override {
    ++PrinterSetups;
    if (OnPrinterSetup) OnPrinterSetup(printer);
  }
  bool Print(QWidget*, QPrinter& printer) override {
    ++PrintDialogs;
    return OnPrint ? OnPrint(printer) : true;
  }
  // Shows the dialog without a nested event loop; a dialog the script leaves
  // open stays visible for the test to drive.
  int ShowModal(QDialog& dialog) override {
    Modals << &dialog;
    dialog.setResult(0);
    dialog.show();
    if (OnModal) OnModal(dialog);
    return dialog.result();
  }
  void Beep() override { ++Beeps; }

 private:
  static std::optional<QString> Pop(std::deque<std::optional<QString>>& answers) {
    if (answers.empty() || !answers.front().has_value()) {
      if (!answers.empty()) answers.pop_front();
      return std::nullopt;
    }
    QString answer = *answers.front();
    answers.pop_front();
    return answer;
  }
};

// The three windows as the program creates them.
struct TWindows {
  explicit TWindows(const QString& fileArgument = QString())
      : Main(Dialogs, fileArgument), AddTerms(Main), About(&Main) {
    Main.AttachForms(&AddTerms, &About);
    Main.show();
  }
  tavro::TFunctionSystem& System() { return Main.System(); }

  TFakeDialogs Dialogs;
  tavro::TfrmMain Main;
  tavro::TfrmAddTerms AddTerms;
  tavro::TfrmAbout About;
};
