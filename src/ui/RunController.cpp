#include "ui/RunController.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

namespace tavro {

TRunController::TRunController(QPlainTextEdit& pane, QObject* parent) : QObject(parent), FPane(pane) {}

TRunController::~TRunController() { StopAll(); }

void TRunController::Start(const TFunctionSystem& system, int mode, const TOutputOptions& options,
                           const TRunParams& params) {
  if (FRunning) return;
  FRunning = true;
  ++FRunSerial;
  FWorker = std::make_unique<TRunWorker>();
  TRunWorker* worker = FWorker.get();
  // Signals of a run that was given up are dropped (they may already be
  // queued when it is).
  connect(worker, &TRunWorker::Status, this, [this, worker](const QString& text) {
    if (worker == FWorker.get()) emit Status(text);
  });
  connect(worker, &TRunWorker::BeepRequested, this, [this, worker] {
    if (worker == FWorker.get()) emit BeepRequested();
  });
  connect(worker, &TRunWorker::Finished, this, [this, worker] { WorkerFinished(worker); });
  worker->Start(system, mode, options, params, FPaneLimit);
}

void TRunController::Stop() {
  if (!FRunning || !FWorker || FWorker->StopRequested()) return;
  // Most stages end within milliseconds; should this one not, nothing waits
  // for it. A new worker may be allocated where this one was, so the run is
  // known by its number. The timer is set before the run is told, so that
  // it comes first even without a grace period.
  const uint64_t serial = FRunSerial;
  QTimer::singleShot(FStopGraceMs, this, [this, serial] {
    if (FRunning && serial == FRunSerial) Abandon();
  });
  FWorker->Stop();
}

void TRunController::Abandon() {
  if (!FWorker) return;
  FWorker->Stop();
  FAbandoned.push_back(std::move(FWorker));
  emit Status(QStringLiteral("Stopped."));
  End();
}

void TRunController::StopAll() {
  if (FWorker) FWorker->Stop();
  for (auto& worker : FAbandoned) worker->Stop();
  FWorker.reset();  // each waits for its thread
  FAbandoned.clear();
}

void TRunController::WorkerFinished(TRunWorker* worker) {
  if (worker != FWorker.get()) {
    // A run that was given up has ended: let it go.
    for (auto it = FAbandoned.begin(); it != FAbandoned.end(); ++it)
      if (it->get() == worker) {
        it->release()->deleteLater();  // its thread has ended
        FAbandoned.erase(it);
        break;
      }
    return;
  }
  TRunResult result = FWorker->TakeResult();
  FWorker.release()->deleteLater();
  emit Finished(result);
  if (result.Outcome != TRunOutcome::Completed || result.SpillFile) {
    End();
    return;
  }
  FPendingOutput = std::move(result.Output);
  FPendingPos = 0;
  // The new block starts on the pane's last line (empty after a line end).
  FRunFirstBlock = FPane.document()->blockCount() - 1;
  AppendNextChunk();
}

void TRunController::AppendNextChunk() {
  // Whole lines, as many as make a piece: a line is laid out once.
  qsizetype end = FPendingPos;
  while (end < FPendingOutput.size() && end - FPendingPos < FChunkChars) {
    const qsizetype lineEnd = FPendingOutput.indexOf(QLatin1Char('\n'), end);
    end = lineEnd < 0 ? FPendingOutput.size() : lineEnd + 1;
  }
  if (end > FPendingPos) {
    QTextCursor cursor(FPane.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(FPendingOutput.mid(FPendingPos, end - FPendingPos));
    FPendingPos = end;
    emit ChunkAppended(FPendingPos, FPendingOutput.size());
  }
  if (FPendingPos < FPendingOutput.size()) {
    // Let the window paint and take input between the pieces.
    QTimer::singleShot(0, this, [this] { AppendNextChunk(); });
    return;
  }
  const bool appended = !FPendingOutput.isEmpty();
  FPendingOutput.clear();
  FPendingPos = 0;
  if (appended) ShowNewBlock();
  End();
}

void TRunController::ShowNewBlock() {
  // The first line of the new block at the top: from the end, moving the
  // caret up to it scrolls just far enough.
  QScrollBar* bar = FPane.verticalScrollBar();
  bar->setValue(bar->maximum());
  QTextBlock first = FPane.document()->findBlockByNumber(FRunFirstBlock);
  if (!first.isValid()) first = FPane.document()->firstBlock();
  FPane.setTextCursor(QTextCursor(first));
  FPane.ensureCursorVisible();
}

void TRunController::End() {
  FRunning = false;
  emit Ended();
}

}  // namespace tavro
