// The window program: application title, the three windows in their order,
// the event loop. The first argument may name a term file to open.

#include <cstdlib>

#include <QApplication>
#include <QStringList>
#include <QStyleFactory>

#include "engine/core/RunParams.h"
#include "ui/AboutBox.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/Main.h"
#include "ui/frmTerms.h"

int main(int argc, char** argv) {
  tavro::KeepFreedMemoryForReuse();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(tavro::kApplicationTitle));
  // Lets the desktop match the window to the menu entry tavro.desktop (its icon).
  QGuiApplication::setDesktopFileName(QStringLiteral("tavro"));
  if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(style);
  QApplication::setFont(tavro::WindowFont());

  const QStringList arguments = QCoreApplication::arguments();
  tavro::TStandardDialogs dialogs;
  tavro::TfrmMain frmMain(dialogs, arguments.size() > 1 ? arguments.at(1) : QString());
  tavro::TfrmAddTerms frmAddTerms(frmMain);
  tavro::TfrmAbout frmAbout(&frmMain);
  frmMain.AttachForms(&frmAddTerms, &frmAbout);

  frmMain.show();
  const int code = app.exec();
  // A stopped run inside a step that cannot be interrupted may still be
  // working on its own copy of the system; nothing of it is wanted, so the
  // program ends without waiting for it.
  if (frmMain.RunsPending()) std::_Exit(code);
  return code;
}
