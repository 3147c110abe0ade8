// Our own small file layer: open, read, seek and size on a handle.
// The component reads files only through these calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace clipsight {

// A file handle; kInvalidFileHandle when none.
using FileHandle = int;
inline constexpr FileHandle kInvalidFileHandle = -1;

// Opens an existing regular file for reading; kInvalidFileHandle when that fails (missing file,
// no permission, a folder, a pipe, a socket or a device), at once: it never waits for a writer.
FileHandle OpenFileForReading(const char* path);

// Closes a handle opened by OpenFileForReading; ignores kInvalidFileHandle.
void CloseFile(FileHandle file);

// Reads up to `length` bytes at the handle's position and moves the position past them.
// Returns the bytes read (less than asked only at end of file), -1 on an error.
int64_t ReadFile(FileHandle file, void* destination, size_t length);

// Moves the position to an absolute offset (which may lie past the end). false on failure.
bool SeekFile(FileHandle file, uint64_t position);

// Moves the position by a signed distance from where it is. false on failure
// (bad handle, or a target before the start).
bool SeekFileRelative(FileHandle file, int64_t distance);

// The handle's position; -1 on failure.
int64_t TellFile(FileHandle file);

// The file's size in bytes; 0 when it cannot be told.
uint64_t GetFileSize(FileHandle file);

// Bytes delivered by ReadFile since the program started (for measurements only).
uint64_t TotalBytesRead();

}  // namespace clipsight
