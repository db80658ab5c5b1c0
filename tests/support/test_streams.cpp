#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "TempDir.h"
#include "Vek_support.h"

namespace vek {
namespace {

using StreamTest = testing::TempDirTest;
using TextFileTest = testing::TempDirTest;

TEST(MemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream m;
  EXPECT_EQ(m.Size(), 0);
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Position(), 5);
  EXPECT_EQ(m.Size(), 5);
  m.SetPosition(1);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 4);
  EXPECT_EQ(std::string(buf, 4), "ello");
  EXPECT_EQ(m.Read(buf, 8), 0);  // at the end
  EXPECT_EQ(m.Seek(-2, soEnd), 3);
  EXPECT_EQ(m.Seek(1, soCurrent), 4);
  EXPECT_EQ(m.Seek(-100, soCurrent), 0);  // clamped at the start
  EXPECT_THROW(m.ReadBuffer(buf, 6), EInOutError);
}

TEST(MemoryStream, WritingPastTheEndFillsWithZerosAndShrinkMovesPosition) {
  TMemoryStream m;
  m.SetPosition(4);
  m.WriteBuffer("x", 1);
  ASSERT_EQ(m.Size(), 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), 5), std::string("\0\0\0\0x", 5));
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
}

TEST(MemoryStream, AbsurdSizeRaisesInsteadOfCrashing) {
  TMemoryStream m;
  EXPECT_THROW(m.SetSize(int64_t{1} << 41), EInOutError);
  EXPECT_EQ(m.Size(), 0);
}

TEST_F(StreamTest, MemoryStreamFileRoundTripAndCopy) {
  TMemoryStream m;
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  m.WriteBuffer(bytes.data(), 256);
  m.SaveToFile(Path("a.bin"));
  EXPECT_EQ(ReadBytes("a.bin"), bytes);

  TMemoryStream back;
  back.LoadFromFile(Path("a.bin"));
  EXPECT_EQ(back.Size(), 256);
  EXPECT_EQ(back.Position(), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.Memory()), 256), bytes);

  TMemoryStream copy;
  copy.WriteBuffer("ab", 2);
  back.SaveToStream(copy);  // appends at copy's position
  EXPECT_EQ(copy.Size(), 258);
  TMemoryStream all;
  EXPECT_EQ(all.CopyFrom(copy, 0), 258);
  EXPECT_EQ(all.Size(), 258);
}

TEST_F(StreamTest, FileStreamModes) {
  {
    TFileStream f(Path("f.bin"), fmCreate);
    f.WriteBuffer("0123456789", 10);
    f.SetPosition(2);
    char c;
    f.ReadBuffer(&c, 1);
    EXPECT_EQ(c, '2');
    f.WriteBuffer("X", 1);  // write right after a read
    EXPECT_EQ(f.Size(), 10);
  }
  EXPECT_EQ(ReadBytes("f.bin"), "012X456789");
  {
    TFileStream f(Path("f.bin"), fmOpenReadWrite | fmShareDenyNone);
    f.Seek(0, soEnd);
    f.WriteBuffer("AB", 2);
    f.SetSize(5);
    EXPECT_EQ(f.Size(), 5);
    EXPECT_EQ(f.Position(), 5);
  }
  EXPECT_EQ(ReadBytes("f.bin"), "012X4");
  TFileStream r(Path("f.bin"), fmOpenRead);
  char buf[16];
  EXPECT_EQ(r.Read(buf, 16), 5);
  EXPECT_THROW(r.WriteBuffer("z", 1), EInOutError);
}

TEST_F(StreamTest, MissingFileRaisesWithErrnoAndName) {
  try {
    TFileStream f(Path("missing.bin"), fmOpenRead);
    FAIL() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(std::string(e.what()).find("missing.bin"), std::string::npos);
  }
  try {
    TFileStream d(FDir.string(), fmOpenRead);  // a directory is no file
    FAIL() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), EISDIR);
  }
  TMemoryStream m;
  EXPECT_THROW(m.LoadFromFile(Path("missing.bin")), EInOutError);
  EXPECT_THROW(m.SaveToFile(Path("no/such/dir/x.bin")), EInOutError);
}

TEST_F(TextFileTest, WritesCrLfAndAppends) {
  TextFile f;
  AssignFile(f, Path("t.txt"));
  Rewrite(f);
  WriteLn(f, "first");
  WriteLn(f);
  Write(f, "a");
  Write(f, "b");
  WriteLn(f, "c");
  CloseFile(f);
  EXPECT_EQ(ReadBytes("t.txt"), "first\r\n\r\nabc\r\n");
  Append(f);
  WriteLn(f, "more");
  CloseFile(f);
  EXPECT_EQ(ReadBytes("t.txt"), "first\r\n\r\nabc\r\nmore\r\n");
}

TEST_F(TextFileTest, ReadsLfCrLfAndLoneCrLineEnds) {
  WriteBytes("t.txt", "a\r\nb\nc\rd\r\n\r\n\nlast");
  TextFile f;
  AssignFile(f, Path("t.txt"));
  Reset(f);
  std::string s;
  std::vector<std::string> lines;
  while (!Eof(f)) {
    ReadLn(f, s);
    lines.push_back(s);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d", "", "", "last"}));
  EXPECT_FALSE(ReadLn(f, s));
  EXPECT_EQ(s, "");
  CloseFile(f);
}

TEST_F(TextFileTest, EightBitBytesPassUnchanged) {
  std::string line;
  for (int i = 1; i < 256; ++i)
    if (i != '\r' && i != '\n') line += static_cast<char>(i);
  TextFile f;
  AssignFile(f, Path("t.txt"));
  Rewrite(f);
  WriteLn(f, line);
  CloseFile(f);
  Reset(f);
  std::string back;
  ASSERT_TRUE(ReadLn(f, back));
  EXPECT_EQ(back, line);
  EXPECT_TRUE(Eof(f));
}

TEST_F(TextFileTest, CrLfSplitAcrossBufferBoundaryIsOneLineEnd) {
  // The internal buffer holds 64 KiB; put the CR as its last byte.
  const std::string first(65535, 'x');
  WriteBytes("t.txt", first + "\r\nsecond\r\n");
  TextFile f;
  AssignFile(f, Path("t.txt"));
  Reset(f);
  std::string s;
  ASSERT_TRUE(ReadLn(f, s));
  EXPECT_EQ(s, first);
  ASSERT_TRUE(ReadLn(f, s));
  EXPECT_EQ(s, "second");
  EXPECT_TRUE(Eof(f));
}

TEST_F(TextFileTest, ManyLinesAndLongLines) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += std::to_string(i) + "\r\n";
  text += std::string(300000, 'L') + "\n";
  WriteBytes("t.txt", text);
  TextFile f;
  AssignFile(f, Path("t.txt"));
  Reset(f);
  std::string s;
  int n = 0;
  bool ok = true;
  while (n < 200000 && ReadLn(f, s)) ok = ok && s == std::to_string(n++);
  EXPECT_TRUE(ok);
  EXPECT_EQ(n, 200000);
  ASSERT_TRUE(ReadLn(f, s));
  EXPECT_EQ(s.size(), 300000u);
  EXPECT_TRUE(Eof(f));
}

TEST_F(TextFileTest, MisuseRaisesInOutError) {
  TextFile f;
  AssignFile(f, Path("missing.txt"));
  try {
    Reset(f);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos);
  }
  std::string s;
  AssignFile(f, FDir.string());
  EXPECT_THROW(Reset(f), EInOutError);  // a directory
  EXPECT_THROW(ReadLn(f, s), EInOutError);  // not open
  EXPECT_THROW(WriteLn(f, "x"), EInOutError);
  AssignFile(f, Path("w.txt"));
  Rewrite(f);
  EXPECT_THROW(ReadLn(f, s), EInOutError);  // open for output
  CloseFile(f);
  Reset(f);
  EXPECT_THROW(WriteLn(f, "x"), EInOutError);  // open for input
  CloseFile(f);
  CloseFile(f);  // closing twice is harmless
}

TEST(WriteLnStream, WritesCrLf) {
  TMemoryStream m;
  WriteLnStream(m, "abc");
  WriteLnStream(m, "");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size())),
            "abc\r\n\r\n");
}

}  // namespace
}  // namespace vek
