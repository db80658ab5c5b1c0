#include "Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

namespace vek {

namespace {

[[noreturn]] void RaiseIO(int code, const std::string& what, const std::string& fileName) {
  if (code == 0) code = EIO;
  throw EInOutError(code, what + " \"" + fileName + "\": " + std::strerror(code));
}

// The C library opens a directory for reading without complaint; refuse it at once so that
// "cannot open" is reported where callers expect it, not at the first read.
void RefuseDirectory(std::FILE*& f, const std::string& fileName) {
  std::error_code ec;
  if (f && std::filesystem::is_directory(fileName, ec)) {
    std::fclose(f);
    f = nullptr;
    RaiseIO(EISDIR, "Cannot open file", fileName);
  }
}

}  // namespace

// ---- TStream ----

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count <= 0) return;
  if (Read(Buffer, Count) != Count) throw EInOutError(EIO, "Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count <= 0) return;
  if (Write(Buffer, Count) != Count) throw EInOutError(EIO, "Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  std::vector<char> buf(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(Count, 1), 1 << 16)));
  int64_t done = 0;
  while (done < Count) {
    const int64_t n = std::min<int64_t>(Count - done, static_cast<int64_t>(buf.size()));
    Source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    done += n;
  }
  return done;
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t size = Size();
  if (Count <= 0 || FPosition >= size) return 0;
  const int64_t n = std::min(Count, size - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t end = FPosition + Count;
  if (end > Size()) SetSize(end);
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : Size();
  int64_t pos = base + Offset;
  FPosition = pos < 0 ? 0 : pos;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  // Sizes read from damaged files must fail cleanly, not reach the allocator.
  constexpr int64_t kMaxSize = int64_t{1} << 40;
  if (NewSize > kMaxSize)
    throw EInOutError(ENOMEM, "Memory stream: cannot hold " + std::to_string(NewSize) + " bytes");
  try {
    FData.resize(static_cast<size_t>(NewSize));
  } catch (const std::bad_alloc&) {
    throw EInOutError(ENOMEM, "Memory stream: cannot hold " + std::to_string(NewSize) + " bytes");
  } catch (const std::length_error&) {
    throw EInOutError(ENOMEM, "Memory stream: cannot hold " + std::to_string(NewSize) + " bytes");
  }
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead);
  LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::string& FileName) const {
  TFileStream f(FileName, fmCreate);
  SaveToStream(f);
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  Stream.SetPosition(0);
  const int64_t size = Stream.Size();
  SetSize(size);
  FPosition = 0;
  if (size > 0) Stream.ReadBuffer(FData.data(), size);
}

void TMemoryStream::SaveToStream(TStream& Stream) const {
  if (!FData.empty()) Stream.WriteBuffer(FData.data(), Size());
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FFileName(FileName) {
  const char* how;
  if (Mode == fmCreate || (Mode & 0xFF00) == fmCreate)
    how = "w+b";
  else if ((Mode & 3) == fmOpenWrite || (Mode & 3) == fmOpenReadWrite)
    how = "r+b";
  else
    how = "rb";
  errno = 0;
  FFile = std::fopen(FileName.c_str(), how);
  if (FFile == nullptr)
    RaiseIO(errno, how[0] == 'w' ? "Cannot create file" : "Cannot open file", FileName);
  RefuseDirectory(FFile, FileName);
}

TFileStream::~TFileStream() {
  if (FFile) std::fclose(FFile);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  // The C library needs a positioning call between writing and reading.
  if (FLastWasWrite) std::fseek(FFile, 0, SEEK_CUR);
  FLastWasWrite = false;
  FLastWasRead = true;
  errno = 0;
  const size_t n = std::fread(Buffer, 1, static_cast<size_t>(Count), FFile);
  if (n < static_cast<size_t>(Count) && std::ferror(FFile)) {
    std::clearerr(FFile);
    RaiseIO(errno, "Cannot read file", FFileName);
  }
  return static_cast<int64_t>(n);
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (FLastWasRead) std::fseek(FFile, 0, SEEK_CUR);
  FLastWasRead = false;
  FLastWasWrite = true;
  errno = 0;
  const size_t n = std::fwrite(Buffer, 1, static_cast<size_t>(Count), FFile);
  if (n < static_cast<size_t>(Count)) {
    std::clearerr(FFile);
    RaiseIO(errno, "Cannot write file", FFileName);
  }
  return static_cast<int64_t>(n);
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  if (!(Origin == soCurrent && Offset == 0)) {
    errno = 0;
    if (std::fseek(FFile, static_cast<long>(Offset), whence) != 0)
      RaiseIO(errno, "Cannot seek in file", FFileName);
    FLastWasRead = FLastWasWrite = false;
  }
  return static_cast<int64_t>(std::ftell(FFile));
}

int64_t TFileStream::Size() const {
  const long pos = std::ftell(FFile);
  std::fseek(FFile, 0, SEEK_END);
  const long size = std::ftell(FFile);
  std::fseek(FFile, pos, SEEK_SET);
  auto* self = const_cast<TFileStream*>(this);
  self->FLastWasRead = self->FLastWasWrite = false;
  return static_cast<int64_t>(size);
}

void TFileStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  std::fflush(FFile);
  const int64_t pos = Position();
  std::error_code ec;
  std::filesystem::resize_file(FFileName, static_cast<std::uintmax_t>(NewSize), ec);
  if (ec) RaiseIO(ec.value(), "Cannot resize file", FFileName);
  SetPosition(std::min(pos, NewSize));
}

// ---- TextFile ----

namespace {
constexpr size_t kTextBufSize = 1 << 16;
}

TextFile::~TextFile() {
  if (FFile) std::fclose(FFile);
}

void TextFile::Assign(const std::string& FileName) {
  if (FFile) {
    std::fclose(FFile);
    FFile = nullptr;
  }
  FFileName = FileName;
}

void TextFile::Reset() {
  Close();
  errno = 0;
  FFile = std::fopen(FFileName.c_str(), "rb");
  if (!FFile) RaiseIO(errno, "Cannot open file", FFileName);
  RefuseDirectory(FFile, FFileName);
  FInput = true;
  FBuf.resize(kTextBufSize);
  FBufPos = FBufLen = 0;
}

void TextFile::Rewrite() {
  Close();
  errno = 0;
  FFile = std::fopen(FFileName.c_str(), "wb");
  if (!FFile) RaiseIO(errno, "Cannot create file", FFileName);
  FInput = false;
}

void TextFile::Append() {
  Close();
  errno = 0;
  FFile = std::fopen(FFileName.c_str(), "ab");
  if (!FFile) RaiseIO(errno, "Cannot open file", FFileName);
  FInput = false;
}

void TextFile::Close() {
  if (!FFile) return;
  std::FILE* f = FFile;
  FFile = nullptr;
  FBufPos = FBufLen = 0;
  errno = 0;
  // Closing flushes what is still buffered, so it can fail on a full disk.
  if (std::fclose(f) != 0 && !FInput) RaiseIO(errno, "Cannot write file", FFileName);
}

void TextFile::RequireInput() const {
  if (!FFile) throw EInOutError(EBADF, "File not open \"" + FFileName + "\"");
  if (!FInput) throw EInOutError(EBADF, "File not open for input \"" + FFileName + "\"");
}

void TextFile::RequireOutput() const {
  if (!FFile) throw EInOutError(EBADF, "File not open \"" + FFileName + "\"");
  if (FInput) throw EInOutError(EBADF, "File not open for output \"" + FFileName + "\"");
}

bool TextFile::Fill() {
  if (FBufPos < FBufLen) return true;
  errno = 0;
  FBufLen = std::fread(FBuf.data(), 1, FBuf.size(), FFile);
  FBufPos = 0;
  if (FBufLen == 0 && std::ferror(FFile)) {
    std::clearerr(FFile);
    RaiseIO(errno, "Cannot read file", FFileName);
  }
  return FBufLen > 0;
}

bool TextFile::NextChar(char& C) {
  RequireInput();
  if (!Fill()) return false;
  C = FBuf[FBufPos++];
  return true;
}

bool TextFile::PeekChar(char& C) {
  RequireInput();
  if (!Fill()) return false;
  C = FBuf[FBufPos];
  return true;
}

size_t TextFile::PeekChars(char* Dst, size_t N) {
  RequireInput();
  N = std::min(N, FBuf.size());
  if (FBufLen - FBufPos < N) {
    // Move the rest to the front of the buffer and top it up.
    std::memmove(FBuf.data(), FBuf.data() + FBufPos, FBufLen - FBufPos);
    FBufLen -= FBufPos;
    FBufPos = 0;
    while (FBufLen < N) {
      errno = 0;
      const size_t got = std::fread(FBuf.data() + FBufLen, 1, FBuf.size() - FBufLen, FFile);
      if (got == 0) {
        if (std::ferror(FFile)) {
          std::clearerr(FFile);
          RaiseIO(errno, "Cannot read file", FFileName);
        }
        break;
      }
      FBufLen += got;
    }
  }
  const size_t avail = std::min(N, FBufLen - FBufPos);
  std::memcpy(Dst, FBuf.data() + FBufPos, avail);
  return avail;
}

std::string_view TextFile::Buffered() {
  RequireInput();
  if (!Fill()) return {};
  return std::string_view(FBuf.data() + FBufPos, FBufLen - FBufPos);
}

void TextFile::SkipChars(size_t N) {
  RequireInput();
  while (N > 0 && Fill()) {
    const size_t k = std::min(N, FBufLen - FBufPos);
    FBufPos += k;
    N -= k;
  }
}

bool TextFile::Eof() {
  if (!FFile) throw EInOutError(EBADF, "File not open \"" + FFileName + "\"");
  if (!FInput) return true;
  return !Fill();
}

bool TextFile::ReadLn(std::string& Line) {
  RequireInput();
  Line.clear();
  if (!Fill()) return false;
  for (;;) {
    const char* begin = FBuf.data() + FBufPos;
    const char* end = FBuf.data() + FBufLen;
    const char* p = begin;
    while (p != end && *p != '\n' && *p != '\r') ++p;
    Line.append(begin, p);
    FBufPos += static_cast<size_t>(p - begin);
    if (p != end) {
      ++FBufPos;
      if (*p == '\r') {
        if (Fill() && FBuf[FBufPos] == '\n') ++FBufPos;
      }
      return true;
    }
    if (!Fill()) return true;  // last line without a line end
  }
}

void TextFile::ReadLn() {
  std::string ignored;
  ReadLn(ignored);
}

void TextFile::CheckWrite(size_t Written, size_t Wanted) {
  if (Written < Wanted) {
    std::clearerr(FFile);
    RaiseIO(errno, "Cannot write file", FFileName);
  }
}

void TextFile::Write(const std::string& S) {
  RequireOutput();
  if (S.empty()) return;
  errno = 0;
  CheckWrite(std::fwrite(S.data(), 1, S.size(), FFile), S.size());
}

void TextFile::WriteLn(const std::string& S) {
  Write(S);
  WriteLn();
}

void TextFile::WriteLn() {
  RequireOutput();
  errno = 0;
  CheckWrite(std::fwrite("\r\n", 1, 2, FFile), 2);
}

void TextFile::Flush() {
  RequireOutput();
  errno = 0;
  if (std::fflush(FFile) != 0) RaiseIO(errno, "Cannot write file", FFileName);
}

}  // namespace vek
