// Binary file access of the database: positioned reads and writes that raise EInOutError
// with the operating system's error code, and whole-file replacement through a temporary
// file so that a crash or a full disk never leaves a half-written file behind.
#pragma once

#include <cstdint>
#include <string>

#include "VekTypes.h"

namespace vek {

class TGdbFile {
 public:
  TGdbFile() = default;
  ~TGdbFile();
  TGdbFile(const TGdbFile&) = delete;
  TGdbFile& operator=(const TGdbFile&) = delete;

  // Opens an existing file for reading and writing; false when it cannot be opened.
  bool TryOpen(const std::string& FileName);
  // Opens for reading and writing, raising EInOutError on failure.
  void Open(const std::string& FileName);
  // Creates (or truncates) the file and opens it for reading and writing.
  void Create(const std::string& FileName);
  void Close();
  bool IsOpen() const { return FFd >= 0; }
  const std::string& FileName() const { return FName; }

  int64_t Size();
  // Reads exactly Count bytes at Offset; a short read raises EInOutError.
  void ReadAt(int64_t Offset, void* Buffer, int64_t Count);
  // Every write reaches the operating system before it returns: a crashing application
  // never leaves records behind in a buffer of its own.
  void WriteAt(int64_t Offset, const void* Buffer, int64_t Count);
  // Cuts or extends the open file to NewSize bytes.
  void Truncate(int64_t NewSize);

  // Writes the first Count bytes through a shared mapping of the file's start, kept while
  // the file is open: the same effect as WriteAt(0, ...), without a system call each time.
  void WriteHead(const void* Buffer, int64_t Count);

 private:
  [[noreturn]] void Fail(const char* What, int Err);
  int FFd = -1;
  std::string FName;
  int64_t FSize = -1;  // cached size, -1 when unknown
  void* FHead = nullptr;
  int64_t FHeadSize = 0;
};

bool FileExists(const std::string& FileName);
// Size in bytes, or -1 when the file does not exist.
int64_t FileSizeOf(const std::string& FileName);
// The file's modification time as local TDateTime; false when it cannot be read.
bool FileModificationTime(const std::string& FileName, TDateTime& Time);
// Cuts or extends the file to Size bytes.
void TruncateFile(const std::string& FileName, int64_t Size);
// Writes Count bytes to FileName + a temporary suffix and renames that over FileName.
// On failure the old file is left as it was and EInOutError is raised.
void ReplaceFileAtomically(const std::string& FileName, const void* Data, int64_t Count);

// The most memory one allocation may take: the machine's physical memory, or less when the
// process is limited. Sizes read from files are checked against it before allocating.
int64_t MemoryLimit();

// Called before every call that changes a file of the database (write, truncation,
// creation, rename). Empty in normal use; tests set it to stop the process at a chosen
// write and check what a crash there leaves behind.
extern void (*GdbBeforeFileChange)();
inline void BeforeFileChange() {
  if (GdbBeforeFileChange) GdbBeforeFileChange();
}

[[noreturn]] void RaiseInOut(int Err, const std::string& What, const std::string& FileName);

}  // namespace vek
