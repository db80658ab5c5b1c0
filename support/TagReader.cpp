#include "TagReader.h"

#include <algorithm>
#include <cstring>

namespace vek {

namespace {

// Bounds that keep damaged input from exhausting memory: a longer tag is skipped, a longer
// content is cut (the reader goes on after it all the same).
constexpr size_t kMaxTagLength = 1 << 20;
constexpr size_t kMaxContentLength = 16 << 20;
// The longest end tag looked for right after a content: "</" + name + blanks + ">".
constexpr size_t kMaxLookahead = 512;

// Both sources hand out characters from a buffered window [FCur, FEnd) so that the scanner
// costs a pointer step per character; Refill moves the window on.

class TextFileSource {
 public:
  explicit TextFileSource(TextFile& F) : FFile(F) {}
  bool Next(char& C) {
    if (FCur == FEnd && !Refill()) return false;
    C = *FCur++;
    return true;
  }
  // Skips to the next occurrence of C and consumes it; false at the end of the input.
  bool SkipPast(char C) {
    for (;;) {
      if (FCur == FEnd && !Refill()) return false;
      const void* hit = std::memchr(FCur, C, static_cast<size_t>(FEnd - FCur));
      if (hit) {
        FCur = static_cast<const char*>(hit) + 1;
        return true;
      }
      FCur = FEnd;
    }
  }
  size_t Peek(char* Dst, size_t N) {
    if (static_cast<size_t>(FEnd - FCur) >= N) {
      std::memcpy(Dst, FCur, N);
      return N;
    }
    Sync();
    return FFile.PeekChars(Dst, N);
  }
  void Skip(size_t N) {
    if (static_cast<size_t>(FEnd - FCur) >= N) {
      FCur += N;
      return;
    }
    Sync();
    FFile.SkipChars(N);
  }
  void Commit() { Sync(); }

 private:
  // Hands the consumed part of the window back to the file.
  void Sync() {
    if (FBegin) FFile.SkipChars(static_cast<size_t>(FCur - FBegin));
    FBegin = FCur = FEnd = nullptr;
  }
  bool Refill() {
    Sync();
    const std::string_view v = FFile.Buffered();
    if (v.empty()) return false;
    FBegin = FCur = v.data();
    FEnd = FCur + v.size();
    return true;
  }

  TextFile& FFile;
  const char* FBegin = nullptr;
  const char* FCur = nullptr;
  const char* FEnd = nullptr;
};

// Reads the stream in blocks and puts its position back to just after what was consumed.
class StreamSource {
 public:
  explicit StreamSource(TStream& S) : FStream(S), FStart(S.Position()) {}
  bool Next(char& C) {
    if (FPos == FBuf.size() && !TopUp(1)) return false;
    C = FBuf[FPos++];
    return true;
  }
  bool SkipPast(char C) {
    for (;;) {
      if (FPos == FBuf.size() && !TopUp(1)) return false;
      const void* hit = std::memchr(FBuf.data() + FPos, C, FBuf.size() - FPos);
      if (hit) {
        FPos = static_cast<size_t>(static_cast<const char*>(hit) - FBuf.data()) + 1;
        return true;
      }
      FPos = FBuf.size();
    }
  }
  size_t Peek(char* Dst, size_t N) {
    if (FBuf.size() - FPos < N) TopUp(N);
    const size_t avail = std::min(N, FBuf.size() - FPos);
    std::memcpy(Dst, FBuf.data() + FPos, avail);
    return avail;
  }
  void Skip(size_t N) {
    if (FBuf.size() - FPos < N) TopUp(N);
    FPos += std::min(N, FBuf.size() - FPos);
  }
  void Commit() { FStream.SetPosition(FStart + FConsumedBefore + static_cast<int64_t>(FPos)); }

 private:
  bool TopUp(size_t N) {
    // Drop what was consumed, then read until N unconsumed bytes are there or the end.
    FConsumedBefore += static_cast<int64_t>(FPos);
    FBuf.erase(FBuf.begin(), FBuf.begin() + static_cast<std::ptrdiff_t>(FPos));
    FPos = 0;
    while (FBuf.size() < N && !FAtEnd) {
      // Each call reads afresh, and most elements are short: start small, grow on demand.
      const int64_t block = FBlock;
      FBlock = std::min<int64_t>(FBlock * 2, kMaxBlock);
      const size_t old = FBuf.size();
      FBuf.resize(old + static_cast<size_t>(block));
      const int64_t got = FStream.Read(FBuf.data() + old, block);
      FBuf.resize(old + static_cast<size_t>(std::max<int64_t>(got, 0)));
      if (got <= 0) FAtEnd = true;
    }
    return FBuf.size() >= N;
  }

  static constexpr int64_t kMaxBlock = 1 << 16;
  int64_t FBlock = 256;
  TStream& FStream;
  int64_t FStart;
  int64_t FConsumedBefore = 0;
  std::vector<char> FBuf;
  size_t FPos = 0;
  bool FAtEnd = false;
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

std::string Trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

template <class Src>
bool SkipComment(Src& in) {
  // After "<!--": everything up to and including "-->".
  char c, prev1 = 0, prev2 = 0;
  while (in.Next(c)) {
    if (c == '>' && prev1 == '-' && prev2 == '-') return true;
    prev2 = prev1;
    prev1 = c;
  }
  return false;
}

// Reads the text of a tag after its "<" up to the closing ">" (not included). Double quotes
// protect a ">" inside attribute values, but only up to the end of the line, so that one
// stray quote cannot swallow the rest of the input. A "<" outside quotes means the first "<"
// was plain text: the tag starts anew there. Returns false at the end of the input;
// Overflow tells that the tag was too long to keep.
template <class Src>
bool ReadTagText(Src& in, std::string& tag, bool& overflow) {
  tag.clear();
  overflow = false;
  bool inQuote = false;
  char c;
  while (in.Next(c)) {
    if (inQuote) {
      if (c == '"' || IsLineBreak(c)) inQuote = false;
    } else if (c == '"') {
      inQuote = true;
    } else if (c == '>') {
      return true;
    } else if (c == '<') {
      tag.clear();
      overflow = false;
      continue;
    }
    if (tag.size() < kMaxTagLength)
      tag += c;
    else
      overflow = true;
  }
  return false;
}

// True, consuming it, when the input continues with "</Name>" (blanks before ">" allowed).
template <class Src>
bool ConsumeEndTag(Src& in, const std::string& name) {
  const size_t want = std::min(kMaxLookahead, name.size() + 2 + 64);
  if (name.size() + 3 > want) return false;
  char buf[kMaxLookahead];
  const size_t n = in.Peek(buf, want);
  if (n < name.size() + 3 || buf[0] != '<' || buf[1] != '/') return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (LowerAscii(buf[2 + i]) != LowerAscii(name[i])) return false;
  size_t i = 2 + name.size();
  while (i < n && IsBlank(buf[i])) ++i;
  if (i >= n || buf[i] != '>') return false;
  in.Skip(i + 1);
  return true;
}

// Searches Tags[0..Last]; answers High when no further element can be read.
template <class Src>
int ReadNextTag(Src& in, const std::string* Tags, int Last, int High, std::string& Content,
                std::string& Attributes) {
  Content.clear();
  Attributes.clear();
  if (Tags == nullptr || Last < 0) return High;
  std::string tag;
  for (;;) {
    if (!in.SkipPast('<')) return High;

    char head[3];
    if (in.Peek(head, 3) == 3 && std::memcmp(head, "!--", 3) == 0) {
      in.Skip(3);
      if (!SkipComment(in)) return High;
      continue;
    }
    bool overflow;
    if (!ReadTagText(in, tag, overflow)) return High;
    if (overflow || tag.empty()) continue;

    // The name runs to the first blank or "/" (a leading "/" belongs to an end tag's name).
    size_t e = tag[0] == '/' ? 1 : 0;
    while (e < tag.size() && !IsBlank(tag[e]) && tag[e] != '/') ++e;
    const std::string name = tag.substr(0, e);
    if (name.empty() || name[0] == '?' || name[0] == '!') continue;

    int found = -1;
    for (int i = 0; i <= Last && found < 0; ++i)
      if (SameName(name, Tags[i])) found = i;
    if (found < 0) continue;

    std::string rest = Trimmed(tag.substr(e));
    const bool selfClosing = !rest.empty() && rest.back() == '/';
    if (selfClosing) {
      rest.pop_back();
      rest = Trimmed(rest);
    }
    Attributes = rest;
    if (selfClosing || name[0] == '/') return found;

    // The content runs to the next tag; it is the element's own when that tag ends it.
    char pc;
    while (in.Peek(&pc, 1) == 1 && pc != '<') {
      in.Next(pc);
      if (Content.size() < kMaxContentLength) Content += pc;
    }
    ConsumeEndTag(in, name);
    size_t b = 0, ce = Content.size();
    while (b < ce && IsLineBreak(Content[b])) ++b;
    while (ce > b && IsLineBreak(Content[ce - 1])) --ce;
    Content = Content.substr(b, ce - b);
    return found;
  }
}

template <class Src>
int ReadWithSource(Src&& in, const std::string* Tags, int Last, int High, std::string& Content,
                   std::string& Attributes) {
  const int r = ReadNextTag(in, Tags, Last, High, Content, Attributes);
  in.Commit();
  return r;
}

// Entries beyond the end of a table cannot match.
int LastIndex(const std::vector<std::string>& Tags, int High) {
  return std::min(High, static_cast<int>(Tags.size()) - 1);
}

}  // namespace

int ReadNextTagInTextFile(TextFile& F, const std::string Tags[], int High, std::string& Content,
                          std::string& Attributes) {
  return ReadWithSource(TextFileSource(F), Tags, High, High, Content, Attributes);
}

int ReadNextTagInTextFile(TextFile& F, const std::vector<std::string>& Tags, int High,
                          std::string& Content, std::string& Attributes) {
  return ReadWithSource(TextFileSource(F), Tags.data(), LastIndex(Tags, High), High, Content,
                        Attributes);
}

int ReadNextTagInStream(TStream& Stream, const std::string Tags[], int High, std::string& Content,
                        std::string& Attributes) {
  return ReadWithSource(StreamSource(Stream), Tags, High, High, Content, Attributes);
}

int ReadNextTagInStream(TStream& Stream, const std::vector<std::string>& Tags, int High,
                        std::string& Content, std::string& Attributes) {
  return ReadWithSource(StreamSource(Stream), Tags.data(), LastIndex(Tags, High), High, Content,
                        Attributes);
}

void WriteLnStream(TStream& Stream, const std::string& S) {
  if (!S.empty()) Stream.WriteBuffer(S.data(), static_cast<int64_t>(S.size()));
  Stream.WriteBuffer("\r\n", 2);
}

}  // namespace vek
