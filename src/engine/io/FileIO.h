#pragma once
// Whole-file reads and crash-safe whole-file writes.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavro {

// Largest file a reader loads; a longer one (or an endless device such as
// /dev/zero) is refused instead of filling the memory. The largest system a
// run takes (2^28 terms, as a PLA may list) is about 3 GB as a term file; a
// full 24-bit function written out ("16777215d, " for every row) is about
// 180 MB. The term file reader folds repeated terms as it goes, so a load
// holds the file and about its distinct terms.
constexpr uint64_t MaxFileBytes = uint64_t{4} << 30;
// The same for a stream (a pipe or a device), whose size is not known
// before it is read.
constexpr uint64_t MaxStreamBytes = uint64_t{256} << 20;

// Character 26 (Ctrl-Z): where a text file's text ends.
constexpr char kEndOfText = 26;

// How ReadFile reads.
struct TReadParams {
  // Not empty: the file holds text of this kind ("term file"), and a NUL
  // byte stops the read with FileError("<file name> is not a <kind> (it
  // holds binary data)"); nothing after the block that holds it is read.
  std::string TextKind;
  // The text ends at the first Ctrl-Z; nothing after it is read.
  bool EndAtCtrlZ = false;
  // The most bytes the read may hold: a longer file is refused with
  // TooLargeError before it is read, a longer stream as soon as it passes.
  // 0: only the file limits above.
  uint64_t MaxMemoryBytes = 0;
};

// Reads the whole file as asked; throws FileError ("File not found", "File
// access denied", "File too large ...", ...) when it cannot. A pipe or FIFO
// without a writer reads as empty instead of blocking. Each block read
// checks the thread's stop flag (CheckStop).
std::string ReadFile(const std::string& path, const TReadParams& params);

// All the bytes of a file.
std::string ReadFileBytes(const std::string& path);

// The text of a file: its bytes up to the first Ctrl-Z, or all of them; what
// follows a Ctrl-Z is never read. A NUL byte in the text stops the read and
// throws FileError("<file name> is not a <kind> (it holds binary data)").
std::string ReadTextFile(const std::string& path, const std::string& kind);

// Calls fn(number, line) for each line of text, numbered from 1: the text
// between two line feeds, without them (a carriage return before one stays).
// A last line without a line feed counts too; fn returning false stops.
template <class Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
  size_t at = 0;
  for (int number = 1; at < text.size(); ++number) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    if (!fn(number, text.substr(at, end - at))) return;
    at = end + 1;
  }
}

// The text without the UTF-8 byte-order mark that some editors put at its
// start.
std::string_view WithoutByteOrderMark(std::string_view text);

// The last component of a path ("b.trm" for "a/b.trm").
std::string BaseName(const std::string& path);

// The path a write to path reaches: symbolic links in its last component are
// followed (a chain of them, and a dangling link to the file it would create).
// Any other path comes back as given. Throws FileError for a loop of links.
std::string ResolveLinks(const std::string& path);

// Writes data to path so that a failed write never leaves a truncated file
// behind, and the file written stays the user's file:
// - A new file, or a file that may be replaced, is written to a temporary
//   file in the same folder that then replaces it; it keeps the owner, group
//   and permissions of the file it replaces (a new file gets the usual ones).
// - A symbolic link is written through: the file it leads to is replaced (or,
//   for a dangling link, created) and the link stays a link.
// - A device or a pipe (/dev/null, /dev/stdout) is written to directly.
// - A file that the process may write but not replace is rewritten in place:
//   one with other hard links (so that all its names keep naming it), one in
//   a folder where no file can be created, one whose owner or group a
//   replacement could not keep. Its old content is kept in memory (up to
//   MaxInPlaceBackupBytes; a larger file is refused) and written back if the
//   write fails half-way.
// A file the process may not write is refused, as the shell refuses it.
// Throws FileError("Cannot create file <path>: <reason>") on any failure.
void WriteFileAtomic(const std::string& path, const std::string& data);

// The same with the content of the file at sourcePath, read a block at a time
// (never held in memory whole). A source that cannot be read throws
// FileError("Cannot read file <sourcePath>: <reason>"); the target is then
// as before.
void WriteFileAtomicFrom(const std::string& path, const std::string& sourcePath);

// Largest old content a rewrite in place keeps to put back after a failure.
constexpr uint64_t MaxInPlaceBackupBytes = uint64_t{64} << 20;

// Throws the FileError that a write to path would throw for the path alone
// (a missing or unwritable folder, a folder named as the file, a file the
// process may not write), so that a program writing several files can refuse
// before writing any. What only writing can find out (a full disk) is left.
void CheckWritable(const std::string& path);

// Whether a write to path goes to a folder or a device rather than a file of
// its own: the name ends in "/" or names an existing folder, device or pipe.
// Such a name gets no extension added.
bool NamesFolderOrDevice(const std::string& path);

// For a SIGINT or SIGTERM handler; async-signal-safe. Removes the temporary
// file of a write under way and returns true: the handler may end the
// process. Returns false while the write must not be cut short (creating or
// renaming its temporary file, rewriting a file in place): the handler then
// returns, and the write raises the signal again as soon as it may be cut.
bool DiscardWriteOnSignal(int signal);

}  // namespace tavro
