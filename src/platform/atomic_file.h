// Whole-file reads and crash-safe whole-file replacement, for the settings stores.
//
// A replacement writes a temporary file in the same folder, flushes it to disk, then renames it over the
// old file (MoveFileExA with replace-existing and write-through on Windows), keeping the old file's
// permissions. A crash or a failed step at any point leaves the previous file byte for byte; the
// temporary file is removed on failure.
//
// The primitive steps go through a FileSystem seam so tests can fail any one of them (open, write,
// short write, flush, rename) without touching the real disk's behaviour.
//
// Thread contract: [any-thread]; two replacements of one file race like two renames (last one wins, the
// file is never torn). Callers that read-modify-write serialise themselves (see the registry store's file
// lock). The seam is process-wide: install a fake only in tests, before other threads use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvo::platform {

// The primitive operations a replacement is made of. Each returns false and sets `error` on failure.
class FileSystem {
 public:
  virtual ~FileSystem();
  // Creates a new, empty temporary file beside `path` and returns its name and an open handle.
  virtual bool CreateTemp(const std::string& path, std::string* temp_name, intptr_t* handle,
                          std::string* error) = 0;
  // Writes up to `size` bytes; *written receives how many were written (a short write is not an error).
  virtual bool Write(intptr_t handle, const char* data, size_t size, size_t* written, std::string* error) = 0;
  virtual bool Flush(intptr_t handle, std::string* error) = 0;
  virtual bool Close(intptr_t handle, std::string* error) = 0;
  // Gives `temp_name` the permissions of `path` when `path` exists; fails when the caller may not write
  // `path`, so a read-only file is never replaced.
  virtual bool CopyPermissions(const std::string& path, const std::string& temp_name, std::string* error) = 0;
  // Atomically replaces `path` with `temp_name`.
  virtual bool Rename(const std::string& temp_name, const std::string& path, std::string* error) = 0;
  virtual void Remove(const std::string& name) = 0;
};

// The system's file system.
FileSystem& SystemFileSystem();
// The seam in force (the system's unless a test installed another); returns the previous one.
FileSystem& CurrentFileSystem();
FileSystem* InstallFileSystem(FileSystem* file_system);  // null restores the system's

// Replaces `path` with `content` as described above. False (and `error` set) when any step failed; the
// previous file is then unchanged.
bool ReplaceFileAtomically(const std::string& path, std::string_view content, std::string* error);

// Reads the whole file. False when it cannot be opened or read (a missing file included).
bool ReadWholeFile(const std::string& path, std::string* content, std::string* error);

}  // namespace kvo::platform
