#include "GdbFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include <sys/resource.h>
#include <unistd.h>

#include "DegreeText.h"
#include "VekError.h"

namespace vek {

namespace fs = std::filesystem;

void (*GdbBeforeFileChange)() = nullptr;

int64_t MemoryLimit() {
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  int64_t limit = pages > 0 && size > 0 ? int64_t(pages) * size : INT64_MAX;
  for (int r : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit l{};
    if (getrlimit(r, &l) == 0 && l.rlim_cur != RLIM_INFINITY && int64_t(l.rlim_cur) < limit)
      limit = int64_t(l.rlim_cur);
  }
  return limit;
}

[[noreturn]] void RaiseInOut(int Err, const std::string& What, const std::string& FileName) {
  if (Err == 0) Err = EIO;
  throw EInOutError(Err, What + " \"" + FileName + "\": " + std::strerror(Err));
}

TGdbFile::~TGdbFile() { Close(); }

void TGdbFile::Fail(const char* What) {
  const int err = errno;
  FStream.clear();
  FSize = -1;
  FWritePos = -1;
  RaiseInOut(err, What, FName);
}

bool TGdbFile::TryOpen(const std::string& FileName) {
  Close();
  FName = FileName;
  // Unbuffered: every write reaches the operating system when the call returns, so a
  // crashing application never leaves records behind in a buffer.
  FStream.rdbuf()->pubsetbuf(nullptr, 0);
  errno = 0;
  FStream.open(FileName, std::ios::in | std::ios::out | std::ios::binary);
  FSize = -1;
  return FStream.is_open();
}

void TGdbFile::Open(const std::string& FileName) {
  if (!TryOpen(FileName)) Fail("cannot open");
}

void TGdbFile::Create(const std::string& FileName) {
  Close();
  BeforeFileChange();
  FName = FileName;
  FStream.rdbuf()->pubsetbuf(nullptr, 0);
  errno = 0;
  FStream.open(FileName, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
  if (!FStream.is_open()) Fail("cannot create");
  FSize = 0;
}

void TGdbFile::OpenRead(const std::string& FileName) {
  Close();
  FName = FileName;
  errno = 0;
  FStream.open(FileName, std::ios::in | std::ios::binary);
  if (!FStream.is_open()) Fail("cannot open");
  FSize = -1;
}

void TGdbFile::Close() {
  if (FStream.is_open()) FStream.close();
  FStream.clear();
  FSize = -1;
  FWritePos = -1;
}

int64_t TGdbFile::Size() {
  if (FSize >= 0) return FSize;
  FWritePos = -1;
  errno = 0;
  FStream.seekg(0, std::ios::end);
  const std::streamoff end = FStream.tellg();
  if (!FStream || end < 0) Fail("cannot determine the size of");
  FSize = end;
  return FSize;
}

void TGdbFile::ReadAt(int64_t Offset, void* Buffer, int64_t Count) {
  FWritePos = -1;
  errno = 0;
  FStream.seekg(Offset);
  if (!FStream) Fail("cannot seek in");
  if (Count <= 0) return;
  FStream.read(static_cast<char*>(Buffer), Count);
  if (FStream.gcount() != Count) {
    if (errno == 0) {
      FStream.clear();
      throw EInOutError(EIO, "unexpected end of file \"" + FName + "\"");
    }
    Fail("cannot read");
  }
}

int64_t TGdbFile::ReadSome(void* Buffer, int64_t Count) {
  FWritePos = -1;
  errno = 0;
  FStream.read(static_cast<char*>(Buffer), Count);
  const int64_t n = FStream.gcount();
  if (FStream.bad()) Fail("cannot read");
  FStream.clear();
  return n;
}

void TGdbFile::WriteAt(int64_t Offset, const void* Buffer, int64_t Count) {
  BeforeFileChange();
  errno = 0;
  // Consecutive appends need no seek (one system call less per record in bulk loads).
  if (Offset != FWritePos) {
    FStream.seekp(Offset);
    if (!FStream) Fail("cannot seek in");
  }
  FWritePos = -1;
  FStream.write(static_cast<const char*>(Buffer), Count);
  FStream.flush();
  if (!FStream) Fail("cannot write");
  FWritePos = Offset + Count;
  if (FSize >= 0 && Offset + Count > FSize) FSize = Offset + Count;
}

int64_t TGdbFile::Append(const void* Buffer, int64_t Count) {
  const int64_t at = Size();
  WriteAt(at, Buffer, Count);
  return at;
}

void TGdbFile::Flush() {
  errno = 0;
  FStream.flush();
  if (!FStream) Fail("cannot write");
}

void TGdbFile::Truncate(int64_t NewSize) {
  Flush();
  TruncateFile(FName, NewSize);
  FSize = NewSize;
  FWritePos = -1;
}

bool FileExists(const std::string& FileName) {
  std::error_code ec;
  return fs::is_regular_file(fs::path(FileName), ec);
}

int64_t FileSizeOf(const std::string& FileName) {
  std::error_code ec;
  const auto n = fs::file_size(fs::path(FileName), ec);
  return ec ? -1 : static_cast<int64_t>(n);
}

bool FileModificationTime(const std::string& FileName, TDateTime& Time) {
  std::error_code ec;
  const auto ft = fs::last_write_time(fs::path(FileName), ec);
  if (ec) return false;
  const auto sys = std::chrono::file_clock::to_sys(ft);
  const std::time_t t = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
  std::tm lt{};
  if (!localtime_r(&t, &lt)) return false;
  Time = EncodeDateTime(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min,
                        lt.tm_sec);
  return true;
}

void TruncateFile(const std::string& FileName, int64_t Size) {
  BeforeFileChange();
  std::error_code ec;
  fs::resize_file(fs::path(FileName), static_cast<uintmax_t>(Size), ec);
  if (ec) RaiseInOut(ec.value(), "cannot truncate", FileName);
}

void ReplaceFileAtomically(const std::string& FileName, const void* Data, int64_t Count) {
  const std::string tmp = FileName + ".tmp";
  BeforeFileChange();
  {
    std::ofstream out;
    errno = 0;
    out.open(tmp, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open()) RaiseInOut(errno, "cannot create", tmp);
    if (Count > 0) out.write(static_cast<const char*>(Data), Count);
    out.flush();
    const int err = errno;
    const bool ok = static_cast<bool>(out);
    out.close();
    if (!ok || out.fail()) {
      std::error_code ec;
      fs::remove(fs::path(tmp), ec);
      RaiseInOut(err, "cannot write", tmp);
    }
  }
  std::error_code ec;
  BeforeFileChange();
  fs::rename(fs::path(tmp), fs::path(FileName), ec);
  if (ec) {
    std::error_code ec2;
    fs::remove(fs::path(tmp), ec2);
    RaiseInOut(ec.value(), "cannot replace", FileName);
  }
}

}  // namespace vek
