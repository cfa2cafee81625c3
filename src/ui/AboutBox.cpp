#include "ui/AboutBox.h"

#include <algorithm>

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "ui/Fonts.h"
#include "ui/Resources.h"

namespace tavro {

namespace {

QLabel* MakeText(QWidget* parent, const char* name, const QString& text, const QRect& geometry, bool wrap) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(geometry);
  label->setWordWrap(wrap);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // A wrapped text grows downwards to show all its lines.
  if (wrap) label->resize(geometry.width(), std::max(geometry.height(), label->heightForWidth(geometry.width())));
  return label;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  RegisterResources();
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About tavro"));
  setFont(WindowFont());
  setFixedSize(371, 326);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(8, 6, 161, 313);
  Image1->setPixmap(QPixmap(QStringLiteral(":/tavro/chip.png")));
  Image1->setScaledContents(true);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setGeometry(8, 6, 161, 313);
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);

  Label3 = MakeText(this, "Label3", QStringLiteral("Tavro"), {176, 8, 60, 20}, false);
  Label3->setFont(TitleFont());
  Label3->adjustSize();
  lblVersion =
      MakeText(this, "lblVersion", QStringLiteral("See executable for version infomation."), {178, 32, 180, 13}, true);
  lblDescription =
      MakeText(this, "lblDescription", QStringLiteral("Two-level minimization of systems of Boolean functions."),
               {178, 56, 152, 26}, true);
  lblCredit1 =
      MakeText(this, "lblCredit1", QStringLiteral("Written by the Tavro developers."), {178, 88, 183, 13}, false);
  lblCredit2 = MakeText(this, "lblCredit2", QStringLiteral("© Tavro developers"), {178, 104, 183, 13}, false);

  // A line along its top edge only.
  Bevel2 = new QFrame(this);
  Bevel2->setObjectName(QStringLiteral("Bevel2"));
  Bevel2->setGeometry(176, 240, 193, 9);
  Bevel2->setStyleSheet(QStringLiteral("#Bevel2 { border: none; border-top: 1px solid palette(dark); }"));

  lblPictureCredit = MakeText(this, "lblPictureCredit", QStringLiteral("Chip picture drawn by the Tavro developers."),
                              {178, 248, 183, 26}, true);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(288, 294, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
}

void TfrmAbout::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    // Over the middle of the main window, or of the screen without one.
    if (const QWidget* owner = parentWidget())
      move(owner->window()->frameGeometry().center() - QRect(QPoint(), frameSize()).center());
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - rect().center());
    OKButton->setFocus();
  }
  QDialog::showEvent(event);
}

void TfrmAbout::OKButtonClick() { accept(); }

}  // namespace tavro
