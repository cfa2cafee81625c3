#pragma once
// The lifecycle of the window's minimization runs. A run works on a worker
// thread (TRunWorker) with its own copy of the system; its status texts and
// beeps come back as signals; a completed run's output is appended to the
// output pane a piece at a time, so that the window paints and takes input
// meanwhile. A stopped run that has not ended after a grace period is given
// up: the controller is free at once and drops whatever that run still sends.

#include <cstdint>
#include <memory>
#include <vector>

#include <QObject>
#include <QString>

#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "engine/run/Minimize.h"
#include "ui/RunWorker.h"

class QPlainTextEdit;

namespace tavro {

class TRunController : public QObject {
  Q_OBJECT

 public:
  // Output text appended to the pane per turn of the event loop.
  static constexpr int kAppendChunkChars = 64 * 1024;
  // A stopped run that has not ended after this long is left to end on its
  // own (it works on a copy, so nothing waits for it).
  static constexpr int kStopGraceMs = 300;

  // Completed runs append their output to the end of pane.
  explicit TRunController(QPlainTextEdit& pane, QObject* parent = nullptr);
  ~TRunController() override;

  // Starts a run on a copy of system; nothing happens while a run is on its way.
  void Start(const TFunctionSystem& system, int mode, const TOutputOptions& options, const TRunParams& params);
  // Asks the working run to end; once the grace period is over without its
  // end, it is given up as Abandon does.
  void Stop();
  // Gives the working run up at once: the status "Stopped.", then Ended.
  // Nothing happens once its output is being appended.
  void Abandon();
  // Stops every run, given-up ones too, and waits for their threads.
  void StopAll();

  // A run is on its way: working, or its output still being appended.
  bool IsRunning() const { return FRunning; }
  // Whether any run's thread is still working, a given-up one included.
  bool RunsPending() const { return FWorker != nullptr || !FAbandoned.empty(); }

  // Output beyond this size is set aside in a file instead of the pane.
  void SetPaneLimit(qint64 bytes) { FPaneLimit = bytes; }
  void SetChunkChars(int chars) { FChunkChars = chars; }
  void SetStopGraceMs(int ms) { FStopGraceMs = ms; }

 signals:
  void Status(const QString& text);
  void BeepRequested();
  // The run has ended on its own and left this result: completed (its output
  // follows in the pane unless set aside in result.SpillFile), stopped,
  // refused with a status, or failed (result.Error). The run is still on its
  // way while the handlers run; a run that was given up sends nothing.
  void Finished(const TRunResult& result);
  // Another piece of the output, whole lines, is at the end of the pane.
  void ChunkAppended(qsizetype appended, qsizetype total);
  // Nothing is left to do for the run; IsRunning() is false from here on.
  void Ended();

 private:
  void WorkerFinished(TRunWorker* worker);
  void AppendNextChunk();
  void ShowNewBlock();
  void End();

  QPlainTextEdit& FPane;
  // The run under way, and runs that were given up but have not ended yet.
  std::unique_ptr<TRunWorker> FWorker;
  std::vector<std::unique_ptr<TRunWorker>> FAbandoned;
  bool FRunning = false;
  uint64_t FRunSerial = 0;  // counts runs: a late grace timer knows whether its run is still on
  qint64 FPaneLimit = TRunWorker::kPaneLimitBytes;
  int FChunkChars = kAppendChunkChars;
  int FStopGraceMs = kStopGraceMs;
  // The completed run's output on its way to the pane.
  QString FPendingOutput;
  qsizetype FPendingPos = 0;
  int FRunFirstBlock = 0;
};

}  // namespace tavro
