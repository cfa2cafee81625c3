#pragma once
// The About box: a picture of a chip, the program's name and credits.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace tavro {

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  void OKButtonClick();

  QLabel* Image1 = nullptr;
  QFrame* Bevel1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblDescription = nullptr;
  QLabel* lblCredit1 = nullptr;
  QLabel* lblCredit2 = nullptr;
  QFrame* Bevel2 = nullptr;
  QLabel* lblPictureCredit = nullptr;
  QPushButton* OKButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace tavro
