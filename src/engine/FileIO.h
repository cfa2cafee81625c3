#pragma once
// Whole-file reads and crash-safe whole-file writes.

#include <string>

namespace tavro {

// Reads the whole file; throws FileError ("File not found", "File access
// denied", ...) when it cannot.
std::string ReadFileBytes(const std::string& path);

// Writes data to path through a temporary file in the same folder that then
// replaces the target, so a failed write never leaves a truncated file behind.
// Throws FileError("Cannot create file <path>") on any failure.
void WriteFileAtomic(const std::string& path, const std::string& data);

}  // namespace tavro
