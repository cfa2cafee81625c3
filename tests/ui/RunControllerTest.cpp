// The run controller against the engine run directly: the same statuses,
// beeps, outcome and output, the output reaching the pane in whole-line
// pieces between turns of the event loop; stopping a run, giving it up, and
// dropping what a given-up run still sends.

#include <random>

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "engine/run/Minimize.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "ui/RunController.h"

using namespace tavro;

namespace {

QString Joined(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list.join('|');
}

// Everything one controller sends, in order.
struct TLog {
  QStringList Statuses, Panes;  // Panes: the pane's text after each piece
  std::vector<TRunOutcome> Outcomes;
  int Beeps = 0, Turns = 0, Ended = 0, Misordered = 0;
  TLog(TRunController& run, QPlainTextEdit& pane) {
    QObject::connect(&run, &TRunController::Status, [this](const QString& s) { Statuses << s; });
    QObject::connect(&run, &TRunController::BeepRequested, [this] { ++Beeps; });
    QObject::connect(&run, &TRunController::Finished, [this, &run](const TRunResult& r) {
      Misordered += !run.IsRunning();
      Outcomes.push_back(r.Outcome);
    });
    // The loop turns between two pieces: a turn asked for after one comes before the next.
    QObject::connect(&run, &TRunController::ChunkAppended, [this, &run, &pane] {
      Misordered += Turns != int(Panes.size()) || !run.IsRunning();
      Panes << pane.toPlainText();
      QTimer::singleShot(0, &pane, [this] { ++Turns; });
    });
    QObject::connect(&run, &TRunController::Ended, [this, &run] { Ended += !run.IsRunning(); });
  }
};

TFunctionSystem System(std::mt19937& rng, const testing::RandomSystemOptions& options) {
  TFunctionSystem system;
  int bits = 0;
  system.Functions = testing::RandomSystem(rng, options, &bits);
  system.UpdateInputBits();
  return system;
}

}  // namespace

class TestRunController : public QObject {
  Q_OBJECT

 private slots:
  void runsAsTheEngineDoes() {
    std::mt19937 rng(5);
    for (int round = 0; round < 40; ++round) {
      TFunctionSystem system = System(rng, {.MaxBits = 6});
      if (round % 7 == 3) system.Functions.emplace_back();  // refused in a SOP run, with a beep
      const int mode = int(rng() % 2);
      const TOutputOptions output{rng() % 2 == 0, rng() % 4 != 0, rng() % 4 == 0};
      TFunctionSystem copy = system;
      testing::RecordingHost host;
      const TRunOutcome outcome = RunCommand(copy, mode, output, host);
      const QString expected = QString::fromStdString(host.Output).replace("\r\n", "\n");

      QPlainTextEdit pane("earlier\n");
      TRunController run(pane);
      const int chunk = round % 3 == 0 ? TRunController::kAppendChunkChars : int(rng() % 60) + 1;
      run.SetChunkChars(chunk);
      TLog log(run, pane);
      QSignalSpy ended(&run, &TRunController::Ended);
      run.Start(system, mode, output, {});
      QVERIFY(ended.wait(60000));
      QCOMPARE(log.Statuses.join('|'), Joined(host.Statuses));
      QCOMPARE(log.Beeps, host.Beeps);
      QVERIFY(log.Outcomes == std::vector{outcome});
      QVERIFY(log.Ended == 1 && log.Misordered == 0 && !run.RunsPending());
      QCOMPARE(pane.toPlainText(), "earlier\n" + expected);
      // Whole lines, the fewest that reach the piece size (the last may fall short).
      qsizetype done = 8;
      for (const QString& now : log.Panes) {
        const QString piece = now.mid(done);
        QVERIFY(piece.endsWith('\n') && piece.lastIndexOf('\n', -2) + 1 < chunk);
        QVERIFY(piece.size() >= chunk || now.size() == pane.toPlainText().size());
        done = now.size();
      }
      QCOMPARE(done, 8 + expected.size());
    }
  }

  void stoppedAndGivenUpRuns() {
    std::mt19937 rng(3);
    const TFunctionSystem big = System(rng, {14, 14, 4, 4, 0.3, 0.03}), small = System(rng, {});
    testing::RecordingHost reference;
    TFunctionSystem copy = small;
    RunCommand(copy, modeSOP, {}, reference);
    QPlainTextEdit pane;
    TRunController run(pane);
    TLog log(run, pane);
    QSignalSpy ended(&run, &TRunController::Ended);

    // Within the grace period the run ends as stopped, and says so.
    run.SetStopGraceMs(60000);
    run.Start(big, modeSOP, {}, {});
    run.Stop();
    QVERIFY(ended.wait(60000));
    QVERIFY(log.Outcomes == std::vector{TRunOutcome::Stopped});
    QCOMPARE(log.Statuses.last(), QStringLiteral("Stopped."));
    // Past it (none here) the run is given up at once: no outcome.
    run.SetStopGraceMs(0);
    run.Start(big, modeSOP, {}, {});
    run.Stop();
    QVERIFY(ended.wait(60000));
    QCOMPARE(log.Outcomes.size(), size_t(1));
    QCOMPARE(log.Statuses.last(), QStringLiteral("Stopped."));

    // Given up with statuses on their way: those and its end are dropped,
    // and the next run reports only its own.
    run.Start(big, modeSOP, {}, {});
    QThread::msleep(100);
    run.Abandon();
    const qsizetype before = log.Statuses.size();
    run.Start(small, modeSOP, {}, {});
    QVERIFY(ended.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!run.RunsPending(), 60000);
    QCOMPARE(log.Statuses.mid(before).join('|'), Joined(reference.Statuses));
    QVERIFY(log.Outcomes.size() == 2 && log.Outcomes[1] == TRunOutcome::Completed && log.Ended == 4);
    QCOMPARE(pane.toPlainText(), QString::fromStdString(reference.Output).replace("\r\n", "\n"));
  }
};

QTEST_MAIN(TestRunController)
#include "RunControllerTest.moc"
