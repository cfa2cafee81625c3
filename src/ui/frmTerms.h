#pragma once
// The term entry dialog: the current function's terms as editable text.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tavro {

class TfrmMain;

class TfrmAddTerms : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAddTerms(TfrmMain& frmMain);

  // Up to this many terms the text is one line; longer lists are broken
  // into lines of kTermsPerLine terms.
  static constexpr int kOneLineTerms = 20000;
  static constexpr int kTermsPerLine = 16;

  // Fills the text from the main window's term list.
  void FormShow();
  // Replaces the current function's terms by the text, or shows why not and
  // stays open.
  void Button1Click();
  void btnCancelClick();

  QLabel* Label1 = nullptr;
  QPlainTextEdit* memoNewTerms = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* Button1 = nullptr;
  // A Boolean expression and one of the don't cares; either one, when not
  // empty, gives the function instead of the terms.
  QLabel* lblExpression = nullptr;
  QLineEdit* edtExpression = nullptr;
  QLabel* lblDontCares = nullptr;
  QLineEdit* edtDontCares = nullptr;
  // Under the terms, what OK will store, kept up as the user types.
  QLabel* lblReading = nullptr;
  void UpdateReading();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TfrmMain& FMain;
  QTimer* FReadingTimer = nullptr;
};

}  // namespace tavro
