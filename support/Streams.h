// Byte streams (memory and file) and line-oriented 8-bit text files.
// Every failure of the file system raises EInOutError with errno and the file's name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "VekError.h"

namespace vek {

enum TSeekOrigin : uint8_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to Count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes Count bytes; returns how many were written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t NewSize) = 0;

  int64_t Position() const { return const_cast<TStream*>(this)->Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }

  // As Read/Write, but a short transfer raises EInOutError.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position (Count 0: all of Source from its start).
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

class TMemoryStream : public TStream {
 public:
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() const override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void Clear();
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName) const;
  // Replaces the content by the whole of Stream (read from its start); position 0.
  void LoadFromStream(TStream& Stream);
  // Writes the whole content at Stream's position.
  void SaveToStream(TStream& Stream) const;

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// Open modes of TFileStream; the share flags are accepted and ignored.
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyNone = 0x0040;
inline constexpr uint16_t fmCreate = 0xFF00;  // create or truncate, read and write

class TFileStream : public TStream {
 public:
  TFileStream(const std::string& FileName, uint16_t Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() const override;
  void SetSize(int64_t NewSize) override;
  const std::string& FileName() const { return FFileName; }

 private:
  std::FILE* FFile = nullptr;
  std::string FFileName;
  bool FLastWasWrite = false;
  bool FLastWasRead = false;
};

// A text file of 8-bit lines. Lines are written with CR LF; on reading LF, CR LF and a lone
// CR all end a line. Bytes pass unchanged in both directions.
class TextFile {
 public:
  TextFile() = default;
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  void Assign(const std::string& FileName);
  void Reset();    // open for reading
  void Rewrite();  // create or truncate, open for writing
  void Append();   // open for writing at the end (the file is created when missing)
  void Close();    // no effect when not open

  bool IsOpen() const { return FFile != nullptr; }
  bool IsInput() const { return FFile != nullptr && FInput; }
  const std::string& FileName() const { return FFileName; }

  // Reads the rest of the current line (without its line end) and moves to the next line.
  // Returns false, leaving Line empty, at the end of the file.
  bool ReadLn(std::string& Line);
  void ReadLn();  // skips the rest of the line
  bool Eof();
  void Write(const std::string& S);
  void WriteLn(const std::string& S);
  void WriteLn();
  void Flush();

  // Character access for parsers that work across lines (the tag reader).
  // NextChar returns false at the end of the file.
  bool NextChar(char& C);
  bool PeekChar(char& C);
  // Copies up to N (at most 64 KiB) of the next characters without consuming them;
  // returns how many there are. SkipChars consumes N characters (fewer at the end).
  size_t PeekChars(char* Dst, size_t N);
  void SkipChars(size_t N);
  // The characters already buffered (reading more when none are); empty at the end of the
  // file. Valid until the next call on this file; consume them with SkipChars.
  std::string_view Buffered();

 private:
  bool Fill();
  void RequireInput() const;
  void RequireOutput() const;
  void CheckWrite(size_t Written, size_t Wanted);

  std::FILE* FFile = nullptr;
  std::string FFileName;
  bool FInput = false;
  std::vector<char> FBuf;
  size_t FBufPos = 0;
  size_t FBufLen = 0;
};

// Pascal-style free functions over TextFile.
inline void AssignFile(TextFile& F, const std::string& FileName) { F.Assign(FileName); }
inline void Reset(TextFile& F) { F.Reset(); }
inline void Rewrite(TextFile& F) { F.Rewrite(); }
inline void Append(TextFile& F) { F.Append(); }
inline void CloseFile(TextFile& F) { F.Close(); }
inline bool ReadLn(TextFile& F, std::string& Line) { return F.ReadLn(Line); }
inline void ReadLn(TextFile& F) { F.ReadLn(); }
inline void Write(TextFile& F, const std::string& S) { F.Write(S); }
inline void WriteLn(TextFile& F, const std::string& S) { F.WriteLn(S); }
inline void WriteLn(TextFile& F) { F.WriteLn(); }
inline bool Eof(TextFile& F) { return F.Eof(); }

// AssignFile and Reset in one; false instead of EInOutError when the file cannot be opened
// for reading.
inline bool TryReset(TextFile& F, const std::string& FileName) {
  AssignFile(F, FileName);
  try {
    Reset(F);
  } catch (const EInOutError&) {
    return false;
  }
  return true;
}

}  // namespace vek
