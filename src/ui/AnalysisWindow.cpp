#include "ui/AnalysisWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "engine/io/Steps.h"

namespace tavro {

TAnalysisWindow::TAnalysisWindow(TRecordSource record, TNamesSource names, TExport exportSteps, QWidget* parent)
    : QWidget(parent, Qt::Window),
      FRecord(std::move(record)),
      FNames(std::move(names)),
      FExport(std::move(exportSteps)) {
  setObjectName(QStringLiteral("AnalysisWindow"));
  setWindowTitle(QStringLiteral("Algoritm Analysis"));
  auto* layout = new QVBoxLayout(this);
  FText = new QTextBrowser(this);
  FText->setObjectName(QStringLiteral("AnalysisText"));
  FText->setAccessibleName(QStringLiteral("Steps of the last run"));
  FText->setOpenLinks(false);
  layout->addWidget(FText, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* html = new QPushButton(QStringLiteral("Export HTML..."), this);
  html->setObjectName(QStringLiteral("btnExportHtml"));
  auto* latex = new QPushButton(QStringLiteral("Export LaTeX..."), this);
  latex->setObjectName(QStringLiteral("btnExportLatex"));
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("btnClose"));
  buttons->addWidget(html);
  buttons->addWidget(latex);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(html, &QPushButton::clicked, this, [this] { FExport(false); });
  connect(latex, &QPushButton::clicked, this, [this] { FExport(true); });
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  // As large as the record of a four-input function needs, where the
  // screen allows.
  QSize size(1000, 900);
  if (const QScreen* screen = parent ? parent->screen() : nullptr)
    size = size.boundedTo(screen->availableGeometry().size() - QSize(20, 40));
  resize(size);
  Refresh();
}

void TAnalysisWindow::Refresh() {
  const auto record = FRecord();
  const TStepRecord none;
  FText->setHtml(QString::fromStdString(StepsHtml(record ? *record : none, FNames())));
}

}  // namespace tavro
