#include "ui/RunWorker.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include <QTemporaryFile>

#include "engine/core/Host.h"

namespace tavro {

namespace {

// The worker's host: statuses and beeps go out as signals; the output text
// is kept (in memory up to the pane limit, then in a temporary file).
class TWorkerHost : public IEngineHost {
 public:
  TWorkerHost(TRunWorker& worker, qint64 paneLimit) : FWorker(worker), FLimit(paneLimit) {}

  void AppendOutput(const std::string& text) override {
    FBytes += static_cast<qint64>(text.size());
    if (!FSpill && static_cast<qint64>(FText.size() + text.size()) > FLimit) {
      FSpill = std::make_shared<QTemporaryFile>();
      if (!FSpill->open()) throw std::runtime_error("Cannot create a temporary file");
      Write(FText);
      std::string().swap(FText);
    }
    if (FSpill) Write(text);
    else FText += text;
  }
  void SetStatus(const std::string& text) override {
    emit FWorker.Status(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
  void Beep() override { emit FWorker.BeepRequested(); }

  void Finish(TRunResult& result) {
    result.OutputBytes = FBytes;
    // A pane lays a line out as a whole: very long lines go to the file too.
    size_t longest = 0;
    for (size_t at = 0; at < FText.size();) {
      size_t end = FText.find('\n', at);
      if (end == std::string::npos) end = FText.size();
      longest = std::max(longest, end - at);
      at = end + 1;
    }
    if (!FSpill && static_cast<qint64>(longest) > TRunWorker::kPaneLineLimitChars) {
      FSpill = std::make_shared<QTemporaryFile>();
      if (!FSpill->open()) throw std::runtime_error("Cannot create a temporary file");
      Write(FText);
      std::string().swap(FText);
    }
    if (FSpill) {
      FSpill->flush();
      result.SpillFile = FSpill;
      return;
    }
    result.Output = QString::fromUtf8(FText.data(), static_cast<qsizetype>(FText.size()));
    result.Output.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  }

 private:
  void Write(const std::string& text) {
    if (FSpill->write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
      throw std::runtime_error("Cannot write the output to a temporary file");
  }

  TRunWorker& FWorker;
  qint64 FLimit;
  qint64 FBytes = 0;
  std::string FText;
  std::shared_ptr<QTemporaryFile> FSpill;
};

}  // namespace

TRunWorker::TRunWorker(QObject* parent) : QObject(parent) {}

TRunWorker::~TRunWorker() {
  Stop();
  Join();
}

void TRunWorker::Start(const TFunctionSystem& system, int mode, const TOutputOptions& options, TRunParams params,
                       qint64 paneLimitBytes) {
  if (Running()) return;
  FStop.store(false);
  FResult = TRunResult();
  params.Stop = &FStop;
  // The copy is made here, on the caller's thread, before the store can change.
  auto copy = std::make_shared<TFunctionSystem>(system);
  FThread = std::thread([this, copy, mode, options, params, paneLimitBytes] {
    TRunResult result;
    result.Mode = mode;
    TWorkerHost host(*this, paneLimitBytes);
    try {
      // Every run keeps its steps for the analysis window: tables where the
      // system is small enough for them (such a run pairs level by level),
      // else the counts.
      TStepRecorder steps;
      TRunParams followed = params;
      followed.Observer = &steps;
      result.Outcome = RunCommand(*copy, mode, options, host, &result.Stats, followed);
      if (result.Outcome == TRunOutcome::Completed) {
        result.Cubes = copy->ResultCubes;
        result.Primes = copy->ResultPrimes;
        result.Steps = std::make_shared<const TStepRecord>(steps.Take());
        host.Finish(result);
      }
    } catch (const std::exception& e) {
      // Whatever else fails ends the run as an error the window shows.
      result = TRunResult();
      result.Mode = mode;
      result.Error = QString::fromUtf8(e.what());
    }
    FResult = std::move(result);
    emit Finished();
  });
}

void TRunWorker::Join() {
  if (FThread.joinable()) FThread.join();
}

TRunResult TRunWorker::TakeResult() {
  Join();
  return std::move(FResult);
}

}  // namespace tavro
