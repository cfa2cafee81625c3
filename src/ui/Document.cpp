#include "ui/Document.h"

#include <QFile>
#include <QFileInfo>

#include "engine/io/TermFile.h"
#include "model/Errors.h"

namespace tavro {

std::string FileNameBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FileNameText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

TDocument::TDocument(QObject* parent) : QObject(parent) { InitializeNew(); }

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
  FSystem.Functions.at(static_cast<size_t>(f)) = std::move(terms);
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  Touch(true);
}

void TDocument::RemoveTerm(int f, int index) {
  FSystem.Functions.at(static_cast<size_t>(f)).Delete(index);
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  Touch(true);
}

int TDocument::AddFunction() {
  FSystem.Functions.emplace_back();
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  Touch(true);
  return FSystem.FunctionCount() - 1;
}

void TDocument::RemoveFunction(int f) {
  FSystem.Modified = true;
  FSystem.ResultReady = false;
  const int count = FSystem.FunctionCount();
  if (count >= 2 && f >= 0 && f < count) {
    FSystem.Functions.erase(FSystem.Functions.begin() + f);
    if (FSystem.CurrentFunction >= FSystem.FunctionCount()) FSystem.CurrentFunction = FSystem.FunctionCount() - 1;
  }
  Touch(true);
}

void TDocument::SetKind(int f, bool maxterms, bool relabel) {
  TTermVector& function = FSystem.Functions.at(static_cast<size_t>(f));
  if (relabel) {
    if (function.Maxterms == maxterms) return;
    function.Maxterms = maxterms;
  } else {
    if (function.Maxterms == maxterms) return;
    function = FSystem.ComplementTerms(function);
  }
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
  FSystem.ResetSystem();
  Touch(true);
}

void TDocument::InitializeNew() {
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
  FSystem = std::move(loaded);
  if (FSystem.CurrentFunction >= FSystem.FunctionCount()) FSystem.CurrentFunction = 0;
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
  if (FSystem.Modified == modified) return;
  FSystem.Modified = modified;
  emit Changed();
}

void TDocument::ApplyResult(int mode, std::shared_ptr<const TCover> cubes) {
  FSystem.ResultCubes = std::move(cubes);
  FSystem.ResultReady = true;
  FSystem.ResultMode = mode;
  emit Changed();
}

}  // namespace tavro
