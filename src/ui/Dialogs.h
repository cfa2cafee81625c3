#pragma once
// Everything the window asks the user modally, and the bell. The window only
// talks to this interface, so the tests can answer in place of the user.

#include <optional>

#include <QString>

class QDialog;
class QPrinter;
class QWidget;

namespace tavro {

// The program's title: task bar, error boxes, the window caption.
inline const char* const kApplicationTitle = "Tavro";

class IDialogs {
 public:
  enum class TAnswer { Yes, No, Cancel };

  virtual ~IDialogs() = default;

  // The file-open dialog with a Qt filter string ("Name (*.a *.A);;..."),
  // opened in folder. It also accepts the name of a file that does not
  // exist. nullopt: cancelled.
  virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& folder) = 0;
  // The file-save dialog, opened on initialName (a path: its folder and the
  // proposed name). It adds no suffix and does not ask before replacing a
  // file; the caller asks with ConfirmReplace about the file it will write.
  // nullopt: cancelled.
  virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& initialName) = 0;
  // Whether the existing file at path may be replaced.
  virtual bool ConfirmReplace(QWidget* parent, const QString& path) = 0;
  // A question with Yes, No and Cancel and no icon; closing the box is Cancel.
  virtual TAnswer AskYesNoCancel(QWidget* parent, const QString& caption, const QString& text) = 0;
  // A choice between "Save to File..." (true) and "Discard" (false); closing
  // the box discards.
  virtual bool AskSaveOrDiscard(QWidget* parent, const QString& caption, const QString& text) = 0;
  // An error box with a single OK button.
  virtual void ShowError(QWidget* parent, const QString& caption, const QString& text) = 0;
  // The page set-up dialog; what the user picks is stored in printer.
  virtual void PrinterSetup(QWidget* parent, QPrinter& printer) = 0;
  // The print dialog (printer or PDF file, page range, copies); false when
  // the user cancelled.
  virtual bool Print(QWidget* parent, QPrinter& printer) = 0;
  // Shows one of the program's own dialogs modally and returns its result.
  virtual int ShowModal(QDialog& dialog) = 0;
  virtual void Beep() = 0;
};

// The real thing: Qt's file, message and print dialogs.
class TStandardDialogs : public IDialogs {
 public:
  std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& folder) override;
  std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& initialName) override;
  bool ConfirmReplace(QWidget* parent, const QString& path) override;
  TAnswer AskYesNoCancel(QWidget* parent, const QString& caption, const QString& text) override;
  bool AskSaveOrDiscard(QWidget* parent, const QString& caption, const QString& text) override;
  void ShowError(QWidget* parent, const QString& caption, const QString& text) override;
  void PrinterSetup(QWidget* parent, QPrinter& printer) override;
  bool Print(QWidget* parent, QPrinter& printer) override;
  int ShowModal(QDialog& dialog) override;
  void Beep() override;
};

// The text of the general error display: the message, with a period added
// when its last character sorts after "." (so "...value" gains one, while
// "...!" or "...'" do not).
QString ErrorDisplayText(const QString& message);

}  // namespace tavro
