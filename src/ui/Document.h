#pragma once
// The document behind the window: the function system and the flags that
// follow its edits (Modified, ResultReady, the derived input bits, the file
// name). Views read it and call its edits; every edit ends with Changed.
// What the main window shows follows three more precise signals: Edited (the
// functions changed), CurrentFunctionChanged and Renamed. The flags alone
// change nothing the window shows but the unsaved mark until its next
// refresh, so their edits end with Changed only.

#include <functional>
#include <memory>

#include <QObject>
#include <QString>
#include <QUndoStack>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"

namespace tavro {

class TDocument : public QObject {
  Q_OBJECT

 public:
  explicit TDocument(QObject* parent = nullptr);

  // The store itself, for reading; writers outside the document are the
  // engine's own file readers and the tests.
  TFunctionSystem& System() { return FSystem; }
  const TFunctionSystem& System() const { return FSystem; }

  int FunctionCount() const { return FSystem.FunctionCount(); }
  int CurrentFunction() const { return FSystem.CurrentFunction; }
  const TTermVector& Function(int f) const { return FSystem.Functions.at(static_cast<size_t>(f)); }
  const TTermVector& Current() const { return Function(FSystem.CurrentFunction); }
  int InputBits() const { return FSystem.InputBits; }
  int64_t TotalTerms() const { return FSystem.TotalTerms(); }
  bool Modified() const { return FSystem.Modified; }
  // Nothing a user could lose: no file, and one function without terms.
  bool Untouched() const {
    return FSystem.CurrentFileName.empty() && FSystem.FunctionCount() == 1 && FSystem.Functions[0].Count() == 0;
  }
  bool ResultReady() const { return FSystem.ResultReady; }
  int ResultMode() const { return FSystem.ResultMode; }
  std::shared_ptr<const TCover> ResultCubes() const { return FSystem.ResultCubes; }
  // The file name as chosen (a term file may be written with ".trm" added).
  QString FileName() const;
  // The folder of the file, empty without a file name.
  QString Folder() const;
  // The file's name without folder and extension, empty without a file name.
  QString BaseName() const;

  // Edits of the functions. Each sets Modified, clears ResultReady unless
  // said otherwise, derives the input bits and signals.
  void SetCurrentFunction(int f);  // no flag changes
  void SetTerms(int f, TTermVector terms);
  void RemoveTerm(int f, int index);
  int AddFunction();           // returns the new function's number
  void RemoveFunction(int f);  // refused for the only function
  // The kind: relabel keeps the numbers and changes their meaning; otherwise
  // the terms become the same function's other kind. Either sets Modified
  // (the term file keeps the kind) and leaves ResultReady as it is.
  void SetKind(int f, bool maxterms, bool relabel);
  // Flags alone, as the editor's commands set them before they act.
  void MarkModified();
  void MarkEdited();  // Modified, and the last result no longer applies

  // The whole system.
  // Reset and InitializeNew signal Edited even when nothing changed.
  void Reset();          // one empty minterm function, no name, flags cleared
  void InitializeNew();  // as Reset, but unsaved (a new window's system)
  // How the file work of Load and SaveAs is carried out: the runner calls
  // the work it is given (on another thread, say) and returns once it is
  // done, rethrowing what it threw. The work reads the document's functions
  // and changes nothing of the document meanwhile.
  using TRunner = std::function<void(const std::function<void()>&)>;
  // Reads a term or PLA file; on an error (also a path that is not a
  // regular file, and a load stopped through the runner's stop flag)
  // nothing changes and the error is thrown.
  void Load(const QString& path, const TRunner& run = {});
  // Writes the term file; only when it was written do the name and the
  // flag change. Throws the file error otherwise.
  void SaveAs(const QString& path, const TRunner& run = {});
  // Writes the term file under its name, as SaveAs does, without renaming.
  void Save(const TRunner& run = {});
  void SetModified(bool modified);
  // Derives the input bits again, for a store written from outside.
  void DeriveInputBits() { FSystem.UpdateInputBits(); }

  // A completed run's result (not an edit: it is not undone).
  void ApplyResult(int mode, std::shared_ptr<const TCover> cubes, std::shared_ptr<const TCover> primes = nullptr);

  // Every edit of the functions, a load and New can be undone. The unsaved
  // mark follows the stack: back at the state last saved or loaded, it is
  // cleared. Undo and redo act as edits (the last result no longer applies).
  QUndoStack& UndoStack() { return FUndo; }

 signals:
  void Changed();
  // The functions changed (not only the flags or the name).
  void Edited();
  // SetCurrentFunction made another function the current one.
  void CurrentFunctionChanged();
  // SaveAs gave the document a name (which may be the one it had).
  void Renamed();

 private:
  void Touch(bool edited);
  void Write(const QString& path, const TRunner& run);

  // The state an edit is about to change, kept on the undo stack.
  void Record(const QString& text);
  // Swaps the functions and what describes them with a recorded state.
  void Exchange(TFunctionSystem& other);
  friend class TRecordedState;

  TFunctionSystem FSystem;
  QUndoStack FUndo;
};

// The file name as the file system takes it, and back.
std::string FileNameBytes(const QString& path);
QString FileNameText(const std::string& path);

}  // namespace tavro
