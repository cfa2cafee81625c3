// The document behind the window, and runs on the worker thread: stopping,
// the results they leave, large output, and where the pane shows them.

#include <sys/stat.h>
#include <atomic>

#include <exception>
#include <random>
#include <thread>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "UiTestUtil.h"
#include "engine/core/RunParams.h"
#include "engine/io/TermFile.h"
#include "ui/Document.h"

using tavro::IDialogs;
using tavro::TDocument;
using tavro::TTermVector;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

int Bits(const std::vector<TTermVector>& functions) {
  int bits = 0;
  for (const auto& f : functions) bits = std::max(bits, tavro::TFunctionSystem::FunctionInputBits(f));
  return bits;
}

// A random system of `functions` functions over `bits` inputs, about `density`
// of the rows listed, some as don't cares.
std::vector<TTermVector> RandomSystem(unsigned seed, int bits, int functions, double density) {
  std::mt19937 random(seed);
  std::bernoulli_distribution listed(density), dontCare(0.1);
  std::vector<TTermVector> system(static_cast<size_t>(functions));
  for (auto& f : system)
    for (int32_t row = 0; row < (1 << bits); ++row)
      if (listed(random)) f.Add(row, dontCare(random));
  return system;
}

void SetSystem(TWindows& w, const std::vector<TTermVector>& functions) {
  w.System().Functions = functions;
  w.Main.RefreshWindow();
}

}  // namespace

class TestDocument : public QObject {
  Q_OBJECT

 private slots:
  void editsAgainstAReference();
  void saveAndLoad();
  void stoppedRunChangesNothing();
  void largeOutputIsOfferedForExport();
  void newBlockAtTheTop();
  void longTermListsRoundTrip();
};

// Random edits on the document and on a plain reference: the functions, the
// flags and the derived width agree after every step, and every edit signals.
void TestDocument::editsAgainstAReference() {
  std::mt19937 random(7);
  QTemporaryDir dir;
  for (int round = 0; round < 20; ++round) {
    TDocument doc;
    QSignalSpy changed(&doc, &TDocument::Changed), edited(&doc, &TDocument::Edited);
    std::vector<TTermVector> ref(1);
    bool modified = true, ready = false;
    // The undo stack: the functions after each step it recorded, and the
    // step at which they were saved.
    std::vector<std::vector<TTermVector>> states{ref};
    int savedAt = -1;
    for (int step = 0; step < 40; ++step) {
      if (step == 20) {
        doc.SaveAs(dir.filePath(QStringLiteral("saved%1.trm").arg(round)));
        savedAt = doc.UndoStack().index();
        modified = false;
      }
      const int recorded = doc.UndoStack().index();
      const int count = int(ref.size());
      const int f = std::uniform_int_distribution<int>(0, count - 1)(random);
      const auto changesBefore = changed.count(), editsBefore = edited.count();
      bool edit = true;
      switch (std::uniform_int_distribution<int>(0, 6)(random)) {
        case 0: {  // replace the terms
          TTermVector terms;
          for (int k = std::uniform_int_distribution<int>(0, 6)(random); k > 0; --k)
            terms.Add(std::uniform_int_distribution<int32_t>(0, 300)(random), k % 3 == 0);
          terms.Maxterms = random() % 2;
          ref[size_t(f)] = terms;
          doc.SetTerms(f, terms);
          modified = true, ready = false;
          break;
        }
        case 1:
          if (ref[size_t(f)].Count() == 0) {
            edit = false;
            break;
          }
          ref[size_t(f)].Delete(0);
          doc.RemoveTerm(f, 0);
          modified = true, ready = false;
          break;
        case 2:
          ref.emplace_back();
          QCOMPARE(doc.AddFunction(), count);
          modified = true, ready = false;
          break;
        case 3:
          // Refused for the only function, but the flags change all the same.
          if (count > 1) ref.erase(ref.begin() + f);
          doc.RemoveFunction(f);
          modified = true, ready = false;
          break;
        case 4: {  // relabel: same numbers, other meaning; unsaved, the result stands
          const bool was = ref[size_t(f)].Maxterms;
          ref[size_t(f)].Maxterms = !was;
          doc.SetKind(f, !was, true);
          modified = true;
          break;
        }
        case 5: {  // convert: the same function as the other kind; as relabelling
          const bool was = ref[size_t(f)].Maxterms;
          ref[size_t(f)] = tavro::ComplementTerms(ref[size_t(f)], Bits(ref));
          ref[size_t(f)].Maxterms = !was;
          doc.SetKind(f, !was, false);
          modified = true;
          break;
        }
        case 6:
          doc.ApplyResult(tavro::modeSOP, nullptr);
          ready = true;
          edit = false;
          break;
      }
      QCOMPARE(doc.FunctionCount(), int(ref.size()));
      for (size_t i = 0; i < ref.size(); ++i) {
        QCOMPARE(TermLines(doc.Function(int(i))), TermLines(ref[i]));
        QCOMPARE(doc.Function(int(i)).Maxterms, ref[i].Maxterms);
      }
      QCOMPARE(doc.Modified(), modified);
      QCOMPARE(doc.ResultReady(), ready);
      QCOMPARE(doc.InputBits(), Bits(ref));
      QVERIFY(doc.CurrentFunction() < doc.FunctionCount());
      if (edit) QVERIFY(changed.count() > changesBefore);
      QCOMPARE(edited.count() > editsBefore, edit);
      if (doc.UndoStack().index() > recorded) states.push_back(ref);
      else QCOMPARE(doc.UndoStack().index(), recorded);
    }
    // Undone to the start and redone to the end, the same edits in reverse
    // and again: each state as it was, unsaved but where it was saved.
    QCOMPARE(doc.UndoStack().index() + 1, int(states.size()));
    const auto check = [&](int at) {
      QCOMPARE(doc.FunctionCount(), int(states[size_t(at)].size()));
      for (size_t i = 0; i < states[size_t(at)].size(); ++i) {
        QCOMPARE(TermLines(doc.Function(int(i))), TermLines(states[size_t(at)][i]));
        QCOMPARE(doc.Function(int(i)).Maxterms, states[size_t(at)][i].Maxterms);
      }
      QCOMPARE(doc.Modified(), at != savedAt);
      QVERIFY(!doc.ResultReady());
      QCOMPARE(doc.InputBits(), Bits(states[size_t(at)]));
    };
    for (int at = int(states.size()) - 2; at >= 0; --at) {
      doc.UndoStack().undo();
      check(at);
    }
    for (int at = 1; at < int(states.size()); ++at) {
      doc.UndoStack().redo();
      check(at);
    }
    doc.Reset();
    QVERIFY(!doc.Modified());
    doc.UndoStack().undo();  // New is undone too
    QCOMPARE(doc.FunctionCount(), int(states.back().size()));
    doc.UndoStack().redo();
    QCOMPARE(doc.FunctionCount(), 1);
    QVERIFY(!doc.Modified() && !doc.ResultReady() && doc.InputBits() == 0);
  }
}

// Saving: only a written file changes the name and the flag; loading gives
// back what was saved.
void TestDocument::saveAndLoad() {
  QTemporaryDir dir;
  TDocument doc;
  TTermVector f;
  f.Add(5, false);
  f.Add(9, true);
  doc.SetTerms(0, f);
  doc.AddFunction();
  const QString bad = dir.filePath("missing/x");
  QVERIFY_THROWS_EXCEPTION(std::exception, doc.SaveAs(bad));
  QVERIFY(doc.FileName().isEmpty());
  QVERIFY(doc.Modified());

  const QString good = dir.filePath("sys");
  doc.SaveAs(good);
  QCOMPARE(doc.FileName(), good);
  QCOMPARE(doc.BaseName(), QStringLiteral("sys"));
  QCOMPARE(doc.Folder(), dir.path());
  QVERIFY(!doc.Modified());

  TDocument other;
  other.Load(good + ".trm");
  QCOMPARE(other.FunctionCount(), 2);
  QCOMPARE(TermLines(other.Function(0)), TermLines(f));
  QCOMPARE(other.InputBits(), 4);
  QVERIFY(!other.Modified());

  // The file work on a thread of its own, as the window runs it: the same
  // results, and a failed load changes nothing.
  const TDocument::TRunner elsewhere = [](const std::function<void()>& work) {
    std::exception_ptr error;
    std::thread([&] {
      try {
        work();
      } catch (...) {
        error = std::current_exception();
      }
    }).join();
    if (error) std::rethrow_exception(error);
  };
  TDocument third;
  third.SetTerms(0, f);
  QVERIFY_THROWS_EXCEPTION(std::exception, third.Load(dir.filePath("none.trm"), elsewhere));
  QCOMPARE(third.FunctionCount(), 1);
  QCOMPARE(TermLines(third.Function(0)), TermLines(f));
  third.Load(good + ".trm", elsewhere);
  QCOMPARE(third.FunctionCount(), 2);
  QCOMPARE(third.FileName(), good + ".trm");
  third.SaveAs(dir.filePath("copy"), elsewhere);
  QVERIFY(!third.Modified());
  QFile a(good + ".trm"), b(dir.filePath("copy.trm"));
  QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  QCOMPARE(b.readAll(), a.readAll());

  // Cancelled, as the window's Cancel sets the work's stop flag: nothing
  // changes. Neither does a path that is not a regular file.
  const TDocument::TRunner cancelled = [](const std::function<void()>& work) {
    const std::atomic<bool> stop{true};
    const tavro::TStopScope scope(&stop);
    work();
  };
  TDocument fourth;
  fourth.SetTerms(0, f);
  QVERIFY_THROWS_EXCEPTION(tavro::StoppedError, fourth.Load(good + ".trm", cancelled));
  QVERIFY_THROWS_EXCEPTION(tavro::FileError, fourth.Load(QStringLiteral("/dev/zero")));
  QCOMPARE(fourth.FunctionCount(), 1);
  QCOMPARE(TermLines(fourth.Function(0)), TermLines(f));
  QVERIFY(fourth.FileName().isEmpty());
}

// A stopped run leaves the system, the pane and the result as they were, and
// a later run gives what an uninterrupted run gives.
void TestDocument::stoppedRunChangesNothing() {
  const auto system = RandomSystem(3, 14, 4, 0.3);
  TWindows reference;
  SetSystem(reference, system);
  QVERIFY(RunAndWait(reference, reference.Main.btnSOP));
  QCOMPARE(reference.Main.StatusText(), QStringLiteral("Done."));

  TWindows w;
  auto& m = w.Main;
  QApplication::setActiveWindow(&m);
  QVERIFY(QTest::qWaitForWindowActive(&m));
  SetSystem(w, system);
  m.Memo1->setPlainText("kept");
  QSignalSpy finished(&m, &tavro::TfrmMain::RunFinished);
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QVERIFY(m.Running());
  // Nothing that would change the system while the run works on a copy.
  QVERIFY(!m.btnAddFunction->isEnabled() && !m.Button1->isEnabled() && !m.btnSOP->isEnabled());
  QVERIFY(!m.New1->isEnabled() && m.btnStop->isEnabled());
  QTest::keyClick(&m, Qt::Key_Escape);
  QVERIFY(finished.wait(60000));
  QCOMPARE(m.StatusText(), QStringLiteral("Stopped."));
  QCOMPARE(m.OutputText(), QStringLiteral("kept"));
  QVERIFY(!w.System().ResultReady);
  QVERIFY(!m.btnVHDL->isEnabled());
  QVERIFY(m.btnAddFunction->isEnabled() && !m.btnStop->isEnabled());
  for (size_t f = 0; f < system.size(); ++f) QCOMPARE(TermLines(w.System().Functions[f]), TermLines(system[f]));

  m.Memo1->clear();
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), reference.Main.OutputText());
  QVERIFY(w.System().ResultReady);
  QCOMPARE(w.System().ResultCubes->Count(), reference.System().ResultCubes->Count());

  // A status speaks of the system it was set for: an edit or New clears it.
  QCOMPARE(m.StatusText(), QStringLiteral("Done."));
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QCOMPARE(m.StatusText(), QString());
  QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
  QVERIFY(RunAndWait(w, m.Button2));
  QCOMPARE(m.StatusText(), QStringLiteral("Done."));
  w.Dialogs.Answers = {IDialogs::TAnswer::No};
  m.New1->trigger();
  QCOMPARE(m.StatusText(), QString());
}

// Output past the pane limit is offered for export; the file holds what the
// pane would have held, and the pane keeps its text. Saved over a link, the
// link stays and the file it leads to keeps its permissions.
void TestDocument::largeOutputIsOfferedForExport() {
  QTemporaryDir dir;
  const auto system = RandomSystem(5, 8, 3, 0.4);
  TWindows reference;
  SetSystem(reference, system);
  reference.Main.mnuPIs->trigger();
  QVERIFY(RunAndWait(reference, reference.Main.btnSOP));

  TWindows w;
  auto& m = w.Main;
  SetSystem(w, system);
  m.mnuPIs->trigger();
  m.SetPaneLimit(100);
  w.Dialogs.Answers = {IDialogs::TAnswer::Yes, IDialogs::TAnswer::No};
  w.Dialogs.SaveAnswers = {dir.filePath("big")};
  {
    QFile notes(dir.filePath("notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("the user's notes") > 0);
  }
  QVERIFY(chmod(QFile::encodeName(dir.filePath("notes.txt")).constData(), 0600) == 0);
  QVERIFY(QFile::link(QStringLiteral("notes.txt"), dir.filePath("big.txt")));
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(w.Dialogs.QuestionCaptions, QStringList{"Tavro"});
  QCOMPARE(w.Dialogs.ReplaceQuestions, QStringList{dir.filePath("big.txt")});
  QCOMPARE(ReadAll(dir.filePath("big.txt")), reference.Main.OutputText().toLatin1());
  QVERIFY(QFileInfo(dir.filePath("big.txt")).isSymLink());
  struct stat notes {};
  QVERIFY(stat(QFile::encodeName(dir.filePath("notes.txt")).constData(), &notes) == 0);
  QCOMPARE(notes.st_mode & 07777, 0600u);
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System), (QStringList{"big.txt", "notes.txt"}));
  // The pane says where the text went, in one line; the busy bar is gone.
  const QString saved = "The output of this run (1 MB) was saved to " + dir.filePath("big.txt") + ".";
  QCOMPARE(m.OutputText(), saved);
  QVERIFY(!m.prgRun->isVisible());
  QVERIFY(w.System().ResultReady);
  // Discarded: the text is left out and the pane says so; the result stands.
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(w.Dialogs.QuestionCaptions.size(), 2);
  QVERIFY(w.Dialogs.QuestionTexts[1].contains("Discard leaves it out"));
  QCOMPARE(m.OutputText(), saved + "\r\nThe output of this run (1 MB) was discarded: too large for the output pane.");
  QCOMPARE(m.StatusText(), QStringLiteral("Done."));
}

// After a run the first line of its block is the pane's top line.
void TestDocument::newBlockAtTheTop() {
  TWindows w;
  auto& m = w.Main;
  QVERIFY(QTest::qWaitForWindowExposed(&m));
  SetSystem(w, RandomSystem(9, 6, 12, 0.5));
  m.mnuPIs->trigger();
  QVERIFY(RunAndWait(w, m.btnSOP));
  const int firstBlock = m.Memo1->document()->blockCount() - 1;
  QVERIFY(RunAndWait(w, m.Button2));
  QVERIFY(m.Memo1->document()->blockCount() - firstBlock > 20);  // more than the pane shows
  const QTextCursor top = m.Memo1->cursorForPosition(QPoint(4, 4));
  QCOMPARE(top.blockNumber(), firstBlock);
  QCOMPARE(top.block().text(), QStringLiteral("All Prime Implicants"));
}

// The term list and the term dialog with more terms than fit on one line:
// the list shows every term, and OK on the unchanged text keeps the function.
void TestDocument::longTermListsRoundTrip() {
  for (const int count : {tavro::TfrmAddTerms::kOneLineTerms - 1, tavro::TfrmAddTerms::kOneLineTerms + 37}) {
    TWindows w;
    auto& m = w.Main;
    std::vector<TTermVector> system(1);
    std::mt19937 random(count);
    while (system[0].Count() < count)
      system[0].Add(std::uniform_int_distribution<int32_t>(0, 1 << 22)(random), random() % 5 == 0);
    SetSystem(w, system);
    QCOMPARE(m.lstTerms->count(), count);
    QCOMPARE(m.lstTerms->itemText(count - 1), TermLines(system[0]).last());
    QTest::mouseClick(m.Button1, Qt::LeftButton);
    const QString text = w.AddTerms.memoNewTerms->toPlainText();
    QCOMPARE(text.contains(QLatin1Char('\n')), count > tavro::TfrmAddTerms::kOneLineTerms);
    QTest::mouseClick(w.AddTerms.Button1, Qt::LeftButton);
    QVERIFY(w.Dialogs.Errors.isEmpty());
    QCOMPARE(TermLines(w.System().Functions[0]), TermLines(system[0]));
  }
}

QTEST_MAIN(TestDocument)
#include "DocumentTest.moc"
