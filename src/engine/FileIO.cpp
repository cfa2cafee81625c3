#include "engine/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/RunParams.h"
#include "model/Errors.h"

namespace tavro {

namespace {

std::string ReadError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "File not found";
    case EACCES:
    case EPERM:
      return "File access denied";
    case EISDIR:
      return "File access denied (it is a folder)";
    default:
      return std::string("Cannot read file: ") + std::strerror(error);
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

namespace {

// Writes all of data to an open descriptor.
bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void WriteInPlace(const std::string& path, const std::string& data, const std::string& failure) {
  // Without a reader a pipe would block the open; it fails instead.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw FileError(failure);
  const FdCloser closer{fd};
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (!WriteAll(fd, data)) throw FileError(failure);
}

}  // namespace

std::string ReadFileBytes(const std::string& path) { return ReadFile(path, {}); }

std::string ReadTextFile(const std::string& path, const std::string& kind) {
  return ReadFile(path, {kind, true, 0});
}

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

void WriteFileAtomic(const std::string& givenPath, const std::string& data) {
  const std::string failure = "Cannot create file " + givenPath;
  if (givenPath.empty()) throw FileError(failure);
  // A device or a pipe (/dev/null, /dev/stdout) cannot be replaced, only
  // written to.
  struct stat target {};
  if (::stat(givenPath.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode)) {
    WriteInPlace(givenPath, data, failure);
    return;
  }
  // A link is written through: the file it leads to is replaced (or, for a
  // dangling link, created) and the link stays a link.
  std::string path;
  try {
    path = ResolveLinks(givenPath);
  } catch (const FileError&) {
    throw FileError(failure);
  }
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) throw FileError(failure);
  // Keep the permissions of a file being replaced; a new file gets the
  // usual ones.
  struct stat st {};
  mode_t mode;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data);
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    throw FileError(failure);
  }
}

}  // namespace tavro
