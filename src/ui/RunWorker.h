#pragma once
// A minimization run on a worker thread. The worker runs on its own copy of
// the functions; the window applies the result when the run has completed,
// so a stopped run changes nothing. Status texts and beeps reach the window
// through queued signals, in the order the run sets them.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <QObject>
#include <QString>

#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "engine/run/Minimize.h"
#include "engine/run/StepRecord.h"

class QTemporaryFile;

namespace tavro {

// What a finished run leaves for the window.
struct TRunResult {
  TRunOutcome Outcome = TRunOutcome::NothingToDo;
  int Mode = modeSOP;
  std::shared_ptr<const TCover> Cubes;
  std::shared_ptr<const TCover> Primes;  // where the run kept them
  std::shared_ptr<const TStepRecord> Steps;
  TRunStats Stats;
  // The text for the output pane ("\n" line ends), when it stayed below the
  // pane limits; past them the text went to SpillFile as written ("\r\n").
  QString Output;
  std::shared_ptr<QTemporaryFile> SpillFile;
  qint64 OutputBytes = 0;
  // The message of an error that ended the run, for the error display.
  QString Error;
};

class TRunWorker : public QObject {
  Q_OBJECT

 public:
  // Output beyond this many bytes is not meant for the pane.
  static constexpr qint64 kPaneLimitBytes = qint64{16} << 20;
  // Nor is a line longer than this: the pane lays out a line in one go.
  static constexpr qint64 kPaneLineLimitChars = 256 * 1024;

  explicit TRunWorker(QObject* parent = nullptr);
  ~TRunWorker() override;

  bool Running() const { return FThread.joinable(); }
  // Starts a run on a copy of system. Nothing happens while one is running.
  void Start(const TFunctionSystem& system, int mode, const TOutputOptions& options, TRunParams params,
             qint64 paneLimitBytes = kPaneLimitBytes);
  // Asks the run to end; it finishes as Stopped unless it was done already.
  void Stop() { FStop.store(true); }
  bool StopRequested() const { return FStop.load(); }
  // Waits for the worker thread (after Finished, or on shutdown).
  void Join();
  // The finished run's result; valid once Finished was emitted.
  TRunResult TakeResult();

 signals:
  void Status(const QString& text);
  void BeepRequested();
  void Finished();

 private:
  std::thread FThread;
  std::atomic<bool> FStop{false};
  TRunResult FResult;
};

}  // namespace tavro
