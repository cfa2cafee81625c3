#include "engine/io/FileIO.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/RunParams.h"
#include "model/Errors.h"

namespace tavro {

namespace {

std::string ReadError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return "File not found";
    case EACCES:
    case EPERM: return "File access denied";
    case EISDIR: return "File access denied (it is a folder)";
    default: return std::string("Cannot read file: ") + std::strerror(error);
  }
}

// Closes a descriptor on every way out, exceptions included.
struct FdCloser {
  int Fd;
  ~FdCloser() { ::close(Fd); }
};

}  // namespace

std::string ReadFile(const std::string& path, const TReadParams& params) {
  // O_NONBLOCK keeps open() from waiting for a writer of a FIFO; it is
  // cleared again so that a pipe with a writer is read to its end.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw FileError(ReadError(errno));
  const FdCloser closer{fd};
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (S_ISDIR(st.st_mode)) throw FileError(ReadError(EISDIR));
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  // What is not a regular file (a pipe, a device) gives no size beforehand:
  // it is read only up to a smaller limit.
  const uint64_t limit = regular ? MaxFileBytes : MaxStreamBytes;
  const auto tooLarge = [limit] {
    return FileError("File too large (more than " + std::to_string(limit >> 20) + " MiB)");
  };
  const auto checkMemory = [&params](uint64_t bytes) {
    if (params.MaxMemoryBytes && bytes > params.MaxMemoryBytes) throw TooLargeError(bytes);
  };
  if (regular && static_cast<uint64_t>(st.st_size) > limit) throw tooLarge();
  std::string data;
  if (regular && st.st_size > 0) {
    checkMemory(static_cast<uint64_t>(st.st_size));
    data.reserve(static_cast<size_t>(st.st_size));
  }
  const bool text = !params.TextKind.empty();
  char buffer[1 << 16];
  while (true) {
    CheckStop();
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(ReadError(errno));
    }
    if (n == 0) break;
    auto used = static_cast<size_t>(n);
    const void* end = params.EndAtCtrlZ ? std::memchr(buffer, kEndOfText, used) : nullptr;
    if (end) used = static_cast<size_t>(static_cast<const char*>(end) - buffer);
    if (text && std::memchr(buffer, 0, used))
      throw FileError(BaseName(path) + " is not a " + params.TextKind + " (it holds binary data)");
    if (data.size() + used > limit) throw tooLarge();
    // A stream (or a file that grew since it was measured) is held as it
    // comes: growing the string needs its old and its new storage at once.
    if (data.size() + used > data.capacity())
      checkMemory(data.capacity() + std::max<uint64_t>(data.capacity() * 2, data.size() + used));
    data.append(buffer, used);
    if (end) break;
  }
  return data;
}

std::string ReadFileBytes(const std::string& path) { return ReadFile(path, {}); }

std::string ReadTextFile(const std::string& path, const std::string& kind) { return ReadFile(path, {kind, true, 0}); }

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view mark = "\xEF\xBB\xBF";
  return text.substr(0, mark.size()) == mark ? text.substr(mark.size()) : text;
}

std::string BaseName(const std::string& path) {
  const size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path;  // "" or only slashes
  const size_t slash = path.rfind('/', end);
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(start, end + 1 - start);
}

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  // As many links as the system itself follows in one path.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<size_t>(n) >= target.size()) return current;  // changed meanwhile
    target.resize(static_cast<size_t>(n));
    if (target.empty()) return current;
    // A relative target is read from the link's folder.
    const size_t slash = current.rfind('/');
    if (target[0] != '/' && slash != std::string::npos) target = current.substr(0, slash + 1) + target;
    current = target;
  }
  throw FileError("Too many levels of symbolic links: " + path);
}

// ---------------------------------------------------------------------------
// Writing

namespace {

[[noreturn]] void CannotCreate(const std::string& path, const std::string& reason) {
  throw FileError("Cannot create file " + path + ": " + reason);
}

[[noreturn]] void CannotCreate(const std::string& path, int error) { CannotCreate(path, std::strerror(error)); }

// The write under way as a signal handler sees it. One write at a time holds
// this slot (the command-line tool writes one file after another); a write
// that starts while another holds it is not seen by the handler.
enum : int { kIdle, kBusy, kTempReady };
std::atomic<bool> gSlotTaken{false};
std::atomic<int> gWriteState{kIdle};
std::atomic<int> gDeferredSignal{0};
char gTempPath[8192];

class TSignalSlot {
 public:
  TSignalSlot() : FOwner(!gSlotTaken.exchange(true)) {}
  ~TSignalSlot() {
    if (!FOwner) return;
    Enter(kIdle);
    gSlotTaken.store(false);
  }
  TSignalSlot(const TSignalSlot&) = delete;
  TSignalSlot& operator=(const TSignalSlot&) = delete;

  // A signal that came while the write was busy is raised again as soon as
  // it is not.
  void Enter(int state) {
    if (!FOwner) return;
    gWriteState.store(state);
    if (state == kBusy) return;
    if (const int signal = gDeferredSignal.exchange(0)) ::raise(signal);
  }

  // The temporary file the handler removes; set while busy.
  void SetTemp(const std::string& path) {
    if (!FOwner) return;
    const size_t n = path.size() < sizeof gTempPath ? path.size() : 0;
    std::memcpy(gTempPath, path.data(), n);
    gTempPath[n] = '\0';
  }

 private:
  bool FOwner;
};

// The content of a write: a text in memory, or a file read a block at a time.
struct TSource {
  const std::string* Data = nullptr;
  int Fd = -1;
  std::string Path;
};

// Writes all of the source to fd; returns 0, or the errno of the write that
// failed. A source file that cannot be read throws.
int WriteSource(const TSource& source, int fd) {
  const auto writeAll = [fd](const char* p, size_t n) -> int {
    while (n > 0) {
      const ssize_t done = ::write(fd, p, n);
      if (done < 0 && errno == EINTR) continue;
      if (done < 0) return errno;
      if (done == 0) return EIO;
      p += done;
      n -= static_cast<size_t>(done);
    }
    return 0;
  };
  if (source.Data) return writeAll(source.Data->data(), source.Data->size());
  std::vector<char> buffer(size_t{1} << 20);
  while (true) {
    const ssize_t n = ::read(source.Fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("Cannot read file " + source.Path + ": " + std::strerror(errno));
    if (n == 0) return 0;
    if (const int error = writeAll(buffer.data(), static_cast<size_t>(n))) return error;
  }
}

// The process's umask, read without changing it where the system tells:
// changing it, even for a moment, would change the files that other threads
// create meanwhile.
mode_t CurrentUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool MayWrite(const std::string& path, int how) { return ::faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0; }

// 0 when a new file can be made in folder, else why not (an errno).
int NoNewFileIn(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return MayWrite(folder, W_OK | X_OK) ? 0 : errno;
}

// Whether a new file could be given old's owner and group.
bool CanKeepOwner(const struct stat& old) {
  if (::geteuid() == 0) return true;
  if (old.st_uid != ::geteuid()) return false;
  if (old.st_gid == ::getegid()) return true;
  std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
  const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
  return n > 0 && std::find(groups.begin(), groups.begin() + n, old.st_gid) != groups.begin() + n;
}

enum class TWriteKind { Direct, Replace, InPlace };

struct TWritePlan {
  TWriteKind Kind = TWriteKind::Replace;
  std::string Path;  // the file written, links followed
  bool Exists = false;
  struct stat Old {};  // the file replaced or rewritten
};

// How a write to given goes, or the FileError that refuses it.
TWritePlan PlanWrite(const std::string& given) {
  if (given.empty()) throw FileError("Cannot create file: no file name given");
  TWritePlan plan;
  struct stat st {};
  if (::stat(given.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) CannotCreate(given, EISDIR);
    if (!S_ISREG(st.st_mode)) {
      // A device or a pipe cannot be replaced, only written to.
      if (!MayWrite(given, W_OK)) CannotCreate(given, errno);
      plan.Kind = TWriteKind::Direct;
      plan.Path = given;
      return plan;
    }
  } else if (given.back() == '/') {
    CannotCreate(given, EISDIR);  // a folder's name, as open() says too
  }
  try {
    plan.Path = ResolveLinks(given);
  } catch (const FileError&) {
    CannotCreate(given, ELOOP);
  }
  const std::string folder = FolderOf(plan.Path);
  if (::lstat(plan.Path.c_str(), &plan.Old) != 0) {
    if (errno != ENOENT) CannotCreate(given, errno);  // a name too long, say
    if (const int error = NoNewFileIn(folder)) CannotCreate(given, error);
    return plan;
  }
  if (!S_ISREG(plan.Old.st_mode)) CannotCreate(given, "it is not a regular file");
  plan.Exists = true;
  if (!MayWrite(plan.Path, W_OK)) CannotCreate(given, errno);  // as the shell refuses it
  std::string why;                                             // why it cannot be replaced
  if (plan.Old.st_nlink > 1) why = "it has other hard links";
  else if (NoNewFileIn(folder) != 0) why = "its folder takes no new file";
  else if (!CanKeepOwner(plan.Old)) why = "a new file could not keep its owner and group";
  if (why.empty()) return plan;
  plan.Kind = TWriteKind::InPlace;
  if (static_cast<uint64_t>(plan.Old.st_size) > MaxInPlaceBackupBytes)
    CannotCreate(given, why + ", and it is too large (more than " + std::to_string(MaxInPlaceBackupBytes >> 20) +
                            " MiB) to keep its old content while it is rewritten in place");
  if (!MayWrite(plan.Path, R_OK))
    CannotCreate(given, why +
                            ", and its old content cannot be read to be kept while it is "
                            "rewritten in place");
  return plan;
}

// A temporary file beside path for its new content; removed again unless it
// was renamed (Path cleared).
class TTempFile {
 public:
  TTempFile(const std::string& path, const std::string& given, TSignalSlot& slot) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = path.substr(folder.size());
    // The name and mkstemp's ".XXXXXX", shortened to fit the longest name the
    // folder takes.
    long nameMax = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = NAME_MAX;
    const size_t room = nameMax > 8 ? static_cast<size_t>(nameMax) - 7 : 1;
    if (base.size() > room) base.resize(room);
    Path = folder + base + ".XXXXXX";
    slot.Enter(kBusy);  // until the handler knows the name
    Fd = ::mkostemp(Path.data(), O_CLOEXEC);
    if (Fd < 0) {
      const int error = errno;
      Path.clear();
      CannotCreate(given, error);
    }
    slot.SetTemp(Path);
    slot.Enter(kTempReady);
  }
  ~TTempFile() {
    if (Fd >= 0) ::close(Fd);
    if (!Path.empty()) ::unlink(Path.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  int Fd = -1;
  std::string Path;
};

void WriteDirect(const std::string& path, const TSource& source) {
  // Without a reader a pipe would block the open; it fails instead.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) CannotCreate(path, errno);
  const FdCloser closer{fd};
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (const int error = WriteSource(source, fd)) CannotCreate(path, error);
}

void Replace(const TWritePlan& plan, const std::string& given, const TSource& source) {
  TSignalSlot slot;
  TTempFile temp(plan.Path, given, slot);
  int error = WriteSource(source, temp.Fd);
  // The owner, group and permissions of the file replaced, or the usual ones
  // of a new file; given once the content is written, so that a file more
  // open than the temporary one (0600) is never read half-written.
  struct stat now {};
  if (!error && plan.Exists && ::fstat(temp.Fd, &now) == 0 &&
      (now.st_uid != plan.Old.st_uid || now.st_gid != plan.Old.st_gid) &&
      ::fchown(temp.Fd, plan.Old.st_uid, plan.Old.st_gid) != 0)
    error = errno;
  const mode_t mode = plan.Exists ? plan.Old.st_mode & 07777 : 0666 & ~CurrentUmask();
  if (!error && ::fchmod(temp.Fd, mode) != 0) error = errno;
  if (!error && ::fsync(temp.Fd) != 0) error = errno;
  if (::close(temp.Fd) != 0 && !error) error = errno;
  temp.Fd = -1;
  if (error) CannotCreate(given, error);
  slot.Enter(kBusy);  // the name may not be removed once it is the target's
  if (::rename(temp.Path.c_str(), plan.Path.c_str()) != 0) CannotCreate(given, errno);
  temp.Path.clear();
}

// Puts the old content back; false when even that fails.
bool Restore(int fd, const std::string& old) {
  for (size_t done = 0; done < old.size();) {
    const ssize_t n = ::pwrite(fd, old.data() + done, old.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return ::ftruncate(fd, static_cast<off_t>(old.size())) == 0 && ::fsync(fd) == 0;
}

// Rewrites an existing file in place. Guaranteed: the file is touched only
// once its old content is read into memory; the new content goes over the
// old from the start and the file is cut to its new length only at the end,
// so after a failed write (a full disk, a size limit, a source that cannot be
// read) putting the old content back rewrites blocks the file already has,
// and the error says if even that failed. A signal that would stop the
// process waits until the file is whole again. Not guaranteed: that a reader
// never sees a mix of old and new meanwhile, or that the file is whole after
// a crash of the system; on a file system that writes every block anew
// (copy-on-write) putting back can itself fail on a full disk.
void RewriteInPlace(const TWritePlan& plan, const std::string& given, const TSource& source) {
  TSignalSlot slot;
  slot.Enter(kBusy);
  const int fd = ::open(plan.Path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) CannotCreate(given, errno);
  const FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) CannotCreate(given, errno);
  if (static_cast<uint64_t>(st.st_size) > MaxInPlaceBackupBytes)
    CannotCreate(given, "it grew too large to keep its old content while it is rewritten in place");
  std::string old(static_cast<size_t>(st.st_size), '\0');
  for (size_t done = 0; done < old.size();) {
    const ssize_t n = ::pread(fd, old.data() + done, old.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) CannotCreate(given, errno);
    if (n == 0) {
      old.resize(done);  // it shrank meanwhile
      break;
    }
    done += static_cast<size_t>(n);
  }
  const std::string lost = "; its old content could not be put back either";
  int error = 0;
  try {
    error = WriteSource(source, fd);
  } catch (const FileError& e) {
    if (!Restore(fd, old)) throw FileError(e.what() + lost);
    throw;
  }
  if (!error) {
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (end < 0 || ::ftruncate(fd, end) != 0 || ::fsync(fd) != 0) error = errno;
  }
  if (!error) return;
  if (!Restore(fd, old)) CannotCreate(given, std::strerror(error) + lost);
  CannotCreate(given, error);
}

void Write(const std::string& given, const TSource& source) {
  const TWritePlan plan = PlanWrite(given);
  switch (plan.Kind) {
    case TWriteKind::Direct: WriteDirect(plan.Path, source); return;
    case TWriteKind::Replace: Replace(plan, given, source); return;
    case TWriteKind::InPlace: RewriteInPlace(plan, given, source); return;
  }
}

}  // namespace

void WriteFileAtomic(const std::string& path, const std::string& data) {
  TSource source;
  source.Data = &data;
  Write(path, source);
}

void WriteFileAtomicFrom(const std::string& path, const std::string& sourcePath) {
  const int fd = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("Cannot read file " + sourcePath + ": " + std::strerror(errno));
  const FdCloser closer{fd};
  TSource source;
  source.Fd = fd;
  source.Path = sourcePath;
  Write(path, source);
}

void CheckWritable(const std::string& path) { PlanWrite(path); }

bool NamesFolderOrDevice(const std::string& path) {
  if (!path.empty() && path.back() == '/') return true;
  const std::string base = BaseName(path);
  if (base == "." || base == "..") return true;
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool DiscardWriteOnSignal(int signal) {
  gDeferredSignal.store(signal);
  const int state = gWriteState.load();
  if (state == kBusy) return false;
  if (state == kTempReady && gTempPath[0] != '\0') ::unlink(gTempPath);
  gDeferredSignal.store(0);
  return true;
}

}  // namespace tavro
