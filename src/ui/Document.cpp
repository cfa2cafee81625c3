#include "ui/Document.h"

#include <QFile>
#include <QFileInfo>
#include <QUndoCommand>

#include <utility>

#include "engine/io/TermFile.h"
#include "model/Errors.h"

namespace tavro {

std::string FileNameBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FileNameText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// One undo step: the document's state on the other side of an edit. The
// first redo is the edit itself, which the document then carries out.
class TRecordedState : public QUndoCommand {
 public:
  TRecordedState(TDocument& document, const QString& text) : QUndoCommand(text), FDocument(document) {
    FOther = document.FSystem;
    FOther.ResultCubes.reset();
    FOther.ResultPrimes.reset();
  }
  void undo() override { FDocument.Exchange(FOther); }
  void redo() override {
    if (std::exchange(FFirst, false)) return;
    FDocument.Exchange(FOther);
  }

 private:
  TDocument& FDocument;
  TFunctionSystem FOther;
  bool FFirst = true;
};

namespace {
// Steps kept; a system of more terms than kUndoTermsMost is not recorded
// (the stack is cleared instead), so that memory stays bounded.
constexpr int kUndoSteps = 100;
constexpr int64_t kUndoTermsMost = int64_t{1} << 20;
}  // namespace

TDocument::TDocument(QObject* parent) : QObject(parent) {
  FUndo.setUndoLimit(kUndoSteps);
  // The unsaved mark follows the stack when it moves.
  connect(&FUndo, &QUndoStack::indexChanged, this, [this] {
    if (FUndo.isClean() == FSystem.Modified) {
      FSystem.Modified = !FUndo.isClean();
      emit Changed();
    }
  });
  InitializeNew();
}

void TDocument::Record(const QString& text) {
  if (FSystem.TotalTerms() > kUndoTermsMost) {
    FUndo.clear();
    return;
  }
  FUndo.push(new TRecordedState(*this, text));
}

void TDocument::Exchange(TFunctionSystem& other) {
  std::swap(FSystem.Functions, other.Functions);
  std::swap(FSystem.CurrentFunction, other.CurrentFunction);
  std::swap(FSystem.CurrentFileName, other.CurrentFileName);
  std::swap(FSystem.Names, other.Names);
  std::swap(FSystem.MinInputBits, other.MinInputBits);
  std::swap(FSystem.SourceCubes, other.SourceCubes);
  std::swap(FSystem.SourceDontCares, other.SourceDontCares);
  std::swap(FSystem.SourceIdentity, other.SourceIdentity);
  std::swap(FSystem.TermsInSource, other.TermsInSource);
  std::swap(FSystem.EmptyIsConstant, other.EmptyIsConstant);
  FSystem.ResultReady = false;
  FSystem.Modified = true;  // until the stack says it is back where it was saved
  Touch(true);
}

QString TDocument::FileName() const { return FileNameText(FSystem.CurrentFileName); }

QString TDocument::Folder() const {
  if (FSystem.CurrentFileName.empty()) return QString();
  return QFileInfo(FileName()).absolutePath();
}

QString TDocument::BaseName() const {
  if (FSystem.CurrentFileName.empty()) return QString();
  QString name = QFileInfo(FileName()).fileName();
  const int dot = int(name.lastIndexOf(QLatin1Char('.')));
  if (dot > 0) name.truncate(dot);
  return name;
}

void TDocument::Touch(bool edited) {
  FSystem.UpdateInputBits();
  if (edited) emit Edited();
  emit Changed();
}

void TDocument::SetCurrentFunction(int f) {
  if (f < 0 || f >= FSystem.FunctionCount() || f == FSystem.CurrentFunction) return;
  FSystem.CurrentFunction = f;
  emit CurrentFunctionChanged();
  emit Changed();
}

void TDocument::SetTerms(int f, TTermVector terms) {
  Record(QStringLiteral("Terms of f%1").arg(f));
  FSystem.Functions.at(static_cast<size_t>(f)) = std::move(terms);
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  Touch(true);
}

void TDocument::RemoveTerm(int f, int index) {
  Record(QStringLiteral("Remove Term"));
  FSystem.Functions.at(static_cast<size_t>(f)).Delete(index);
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  Touch(true);
}

int TDocument::AddFunction() {
  Record(QStringLiteral("Add Function"));
  FSystem.Functions.emplace_back();
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  Touch(true);
  return FSystem.FunctionCount() - 1;
}

void TDocument::RemoveFunction(int f) {
  const int count = FSystem.FunctionCount();
  if (count >= 2 && f >= 0 && f < count) Record(QStringLiteral("Remove Function"));
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  if (count >= 2 && f >= 0 && f < count) {
    FSystem.Functions.erase(FSystem.Functions.begin() + f);
    if (FSystem.CurrentFunction >= FSystem.FunctionCount()) FSystem.CurrentFunction = FSystem.FunctionCount() - 1;
  }
  Touch(true);
}

void TDocument::SetKind(int f, bool maxterms, bool relabel) {
  TTermVector& function = FSystem.Functions.at(static_cast<size_t>(f));
  if (function.Maxterms == maxterms) return;
  Record(QStringLiteral("Kind of f%1").arg(f));  // a copy: function stays where it is
  if (relabel) function.Maxterms = maxterms;
  else function = FSystem.ComplementTerms(function);
  // The term file stores the kind, so a changed kind is unsaved work; the
  // last result still holds (it is about the same function either way).
  FSystem.Modified = true;
  Touch(true);
}

void TDocument::MarkModified() {
  if (FSystem.Modified) return;
  FSystem.Modified = true;
  emit Changed();
}

void TDocument::MarkEdited() {
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  emit Changed();
}

void TDocument::Reset() {
  Record(QStringLiteral("New"));
  FSystem.ResetSystem();
  FUndo.setClean();
  Touch(true);
}

void TDocument::InitializeNew() {
  // A new window's system: nothing to undo, and no state saved yet (the
  // stack first, as clearing it marks the system saved).
  FUndo.clear();
  FUndo.resetClean();
  FSystem.ResetSystem();
  FSystem.CurrentFileName.clear();
  FSystem.Modified = true;  // an untouched new system counts as unsaved
  FSystem.ResultReady = false;
  FSystem.ResultMode = modeSOP;
  Touch(true);
}

namespace {

void Run(const TDocument::TRunner& run, const std::function<void()>& work) {
  if (run) run(work);
  else work();
}

}  // namespace

void TDocument::Load(const QString& path, const TRunner& run) {
  // Only a regular file has an end the window can wait for: a pipe whose
  // writer stays open, or a device, would never finish reading.
  const QFileInfo info(path);
  if (info.exists() && !info.isFile() && !info.isDir())
    throw FileError(FileNameBytes(info.fileName()) + " is not a regular file");
  // The file is read into a system like this one but for its functions,
  // which takes their place once it is all read.
  TFunctionSystem loaded;
  {
    std::vector<TTermVector> functions = std::move(FSystem.Functions);
    loaded = FSystem;
    FSystem.Functions = std::move(functions);
  }
  const std::string name = FileNameBytes(path);
  // The default memory limit holds while the file is read.
  Run(run, [&] { LoadSystemFile(loaded, name, TLoadParams{}); });
  Record(QStringLiteral("Open"));
  FSystem = std::move(loaded);
  if (FSystem.CurrentFunction >= FSystem.FunctionCount()) FSystem.CurrentFunction = 0;
  if (!FSystem.Modified) FUndo.setClean();
  Touch(true);
}

void TDocument::Write(const QString& path, const TRunner& run) {
  const std::string name = FileNameBytes(path);
  if (FSystem.TermsInSource && FSystem.InputBits > MaxInputBits)
    throw TavroError("Cannot save " + name + " as a term file: the system has " + std::to_string(FSystem.InputBits) +
                     " inputs, and a term file holds at most " + std::to_string(MaxInputBits) +
                     ". Its PLA file stays its source; a result is written as PLA by tavro-cli --pla.");
  Run(run, [&] { WriteTermFile(FSystem.Functions, name); });  // throws before anything changes
  FSystem.Modified = false;
  FUndo.setClean();
  FSystem.CurrentFileName = name;
}

void TDocument::SaveAs(const QString& path, const TRunner& run) {
  Write(path, run);
  emit Renamed();
  emit Changed();
}

void TDocument::Save(const TRunner& run) {
  Write(FileName(), run);
  emit Changed();
}

void TDocument::SetModified(bool modified) {
  if (modified) FUndo.resetClean();
  else FUndo.setClean();
  if (FSystem.Modified == modified) return;
  FSystem.Modified = modified;
  emit Changed();
}

void TDocument::ApplyResult(int mode, std::shared_ptr<const TCover> cubes, std::shared_ptr<const TCover> primes) {
  FSystem.ResultCubes = std::move(cubes);
  FSystem.ResultPrimes = std::move(primes);
  FSystem.ResultReady = true;
  FSystem.ResultMode = mode;
  emit Changed();
}

}  // namespace tavro
