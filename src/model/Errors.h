#pragma once
// Exceptions carrying a message for the user. Every failure that a command
// can hit is one of these; callers show the message (the window adds a period
// by its own rule, the command-line tool prints it on stderr).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavro {

class TavroError : public std::runtime_error {
 public:
  explicit TavroError(const std::string& message) : std::runtime_error(message) {}
};

// An index outside a container.
class RangeError : public TavroError {
 public:
  RangeError() : TavroError("Range check error") {}
};

// Text that cannot be converted to a 32-bit signed integer.
class ConvertError : public TavroError {
 public:
  explicit ConvertError(const std::string& text) : TavroError("'" + text + "' is not a valid integer value") {}
};

// A file that cannot be opened, read or written.
class FileError : public TavroError {
 public:
  explicit FileError(const std::string& message) : TavroError(message) {}
};

// A run that was stopped because it would need more memory than allowed.
class ResourceError : public TavroError {
 public:
  explicit ResourceError(const std::string& message, uint64_t bytes = 0) : TavroError(message), Bytes(bytes) {}
  uint64_t Bytes;  // the memory the work would have needed, where known
};

// A run that was asked to stop before it ended.
class StoppedError : public TavroError {
 public:
  StoppedError() : TavroError("Stopped.") {}
};

// A consistency check of the engine failed: a bug, never a user error.
class InternalError : public TavroError {
 public:
  explicit InternalError(const std::string& message) : TavroError("Internal error: " + message) {}
};

}  // namespace tavro
