#include "GdbFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

void TGdbFile::Fail(const char* What, int Err) {
  FSize = -1;
  RaiseInOut(Err, What, FName);
}

bool TGdbFile::TryOpen(const std::string& FileName) {
  Close();
  FName = FileName;
  errno = 0;
  FFd = ::open(FileName.c_str(), O_RDWR | O_CLOEXEC);
  FSize = -1;
  return FFd >= 0;
}

void TGdbFile::Open(const std::string& FileName) {
  if (!TryOpen(FileName)) Fail("cannot open", errno);
}

void TGdbFile::Create(const std::string& FileName) {
  Close();
  BeforeFileChange();
  FName = FileName;
  FFd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (FFd < 0) Fail("cannot create", errno);
  FSize = 0;
}

void TGdbFile::Close() {
  if (FHead) munmap(FHead, static_cast<size_t>(FHeadSize));
  FHead = nullptr;
  FHeadSize = 0;
  if (FFd >= 0) ::close(FFd);
  FFd = -1;
  FSize = -1;
}

int64_t TGdbFile::Size() {
  if (FSize >= 0) return FSize;
  struct stat st {};
  if (fstat(FFd, &st) != 0) Fail("cannot determine the size of", errno);
  FSize = st.st_size;
  return FSize;
}

void TGdbFile::ReadAt(int64_t Offset, void* Buffer, int64_t Count) {
  auto* p = static_cast<char*>(Buffer);
  while (Count > 0) {
    const ssize_t got = ::pread(FFd, p, static_cast<size_t>(Count), Offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read", errno);
    }
    if (got == 0) throw EInOutError(EIO, "unexpected end of file \"" + FName + "\"");
    p += got;
    Offset += got;
    Count -= got;
  }
}

void TGdbFile::WriteAt(int64_t Offset, const void* Buffer, int64_t Count) {
  BeforeFileChange();
  const auto* p = static_cast<const char*>(Buffer);
  const int64_t end = Offset + Count;
  while (Count > 0) {
    const ssize_t put = ::pwrite(FFd, p, static_cast<size_t>(Count), Offset);
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", errno);
    }
    p += put;
    Offset += put;
    Count -= put;
  }
  if (FSize >= 0 && end > FSize) FSize = end;
}

void TGdbFile::WriteHead(const void* Buffer, int64_t Count) {
  if (!FHead || FHeadSize < Count) {
    if (FHead) munmap(FHead, static_cast<size_t>(FHeadSize));
    FHead = nullptr;
    // Only over bytes the file has: a mapping beyond its end would fault.
    if (Size() < Count) return WriteAt(0, Buffer, Count);
    void* m = mmap(nullptr, static_cast<size_t>(Count), PROT_READ | PROT_WRITE, MAP_SHARED, FFd, 0);
    if (m == MAP_FAILED) return WriteAt(0, Buffer, Count);
    FHead = m;
    FHeadSize = Count;
  }
  BeforeFileChange();
  std::memcpy(FHead, Buffer, static_cast<size_t>(Count));
}

void TGdbFile::Truncate(int64_t NewSize) {
  BeforeFileChange();
  if (FHead && NewSize < FHeadSize) {
    munmap(FHead, static_cast<size_t>(FHeadSize));
    FHead = nullptr;
    FHeadSize = 0;
  }
  if (::ftruncate(FFd, NewSize) != 0) Fail("cannot truncate", errno);
  FSize = NewSize;
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
