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

// The text without the UTF-8 byte-order mark that some editors put at its
// start.
std::string_view WithoutByteOrderMark(std::string_view text);

// The last component of a path ("b.trm" for "a/b.trm").
std::string BaseName(const std::string& path);

// The path a write to path reaches: symbolic links in its last component are
// followed (a chain of them, and a dangling link to the file it would create).
// Any other path comes back as given. Throws FileError for a loop of links.
std::string ResolveLinks(const std::string& path);

// Writes data to path through a temporary file in the same folder that then
// replaces the target, so a failed write never leaves a truncated file behind.
// A symbolic link is written through: the temporary file goes beside the
// file the link leads to, which it replaces (or creates); the link stays.
// A device or a pipe (/dev/null, /dev/stdout) is written to directly.
// Throws FileError("Cannot create file <path>") on any failure.
void WriteFileAtomic(const std::string& path, const std::string& data);

}  // namespace tavro
