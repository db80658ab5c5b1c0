#include "XmlText.h"

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vek {

namespace {

char UpperAscii(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }

// Blanks and control characters; attribute texts of tags broken over lines hold CR and LF.
bool IsWhite(char C) { return static_cast<unsigned char>(C) <= 32; }

char LowerAscii(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C; }

bool SameTextAscii(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (LowerAscii(A[i]) != LowerAscii(B[i])) return false;
  return true;
}

// Index of the first A or B in T[From, N), N when there is none. Names and values are
// short, so this looks at sixteen characters at once rather than calling memchr.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline size_t FindEither(const char* T, size_t From, size_t N, char A, char B) {
  size_t I = From;
#if defined(__SSE2__)
  const __m128i VA = _mm_set1_epi8(A), VB = _mm_set1_epi8(B);
  for (; I + 16 <= N; I += 16) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(T + I));
    const int M = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(V, VA), _mm_cmpeq_epi8(V, VB)));
    if (M != 0) return I + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(M)));
  }
#endif
  while (I < N && T[I] != A && T[I] != B) ++I;
  return I;
}
}  // namespace

std::string LowerCaseAscii(std::string S) {
  for (char& C : S)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return S;
}

std::string UpperCaseAscii(std::string S) {
  for (char& C : S) C = UpperAscii(C);
  return S;
}

int PosOfNthOccurrence(const std::string& Sub, const std::string& Text, int Start, bool IgnoreCase,
                       int N) {
  if (Sub.empty() || N < 1) return 0;
  if (Start < 1) Start = 1;
  if (static_cast<size_t>(Start) > Text.size()) return 0;
  const std::string S = IgnoreCase ? LowerCaseAscii(Sub) : Sub;
  const std::string T = IgnoreCase ? LowerCaseAscii(Text) : Text;
  size_t From = static_cast<size_t>(Start) - 1;
  for (int k = 1;; ++k) {
    size_t P = T.find(S, From);
    if (P == std::string::npos) return 0;
    if (k == N) return static_cast<int>(P) + 1;
    From = P + 1;
  }
}

std::string TrimSpaces(const std::string& S) {
  size_t B = S.find_first_not_of(' ');
  if (B == std::string::npos) return std::string();
  size_t E = S.find_last_not_of(' ');
  return S.substr(B, E - B + 1);
}

void ReadStreamLine(TStream& Stream, bool& EndOfStream, std::string& Line) {
  Line.clear();
  EndOfStream = false;
  bool SawLF = false;
  char C;
  for (;;) {
    if (Stream.Read(&C, 1) != 1) {
      EndOfStream = true;
      break;
    }
    Line += C;
    if (C == '\n') {
      SawLF = true;
      break;
    }
  }
  if (SawLF) {
    for (int k = 0; k < 2; ++k)
      if (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r')) Line.pop_back();
  }
}

int SplitNextAttributeView(std::string_view AttrText, int& Pos, std::string_view& Name,
                           std::string_view& Value) {
  const size_t N = AttrText.size();
  Name = {};
  Value = {};
  if (Pos < 1) Pos = 1;
  if (static_cast<size_t>(Pos) > N) return saPastEnd;
  const char* const T = AttrText.data();
  size_t I = static_cast<size_t>(Pos) - 1;  // 0-based from here on

  const size_t NameBegin = I;
  I = FindEither(T, I, N, '=', '"');
  if (I < N && T[I] == '"') {
    Pos = static_cast<int>(I) + 2;
    return saQuoteInName;
  }
  size_t B = NameBegin, E = I;
  while (B < E && IsWhite(T[B])) ++B;
  while (E > B && IsWhite(T[E - 1])) --E;
  Name = AttrText.substr(B, E - B);
  auto Leave = [&](size_t At) { Pos = static_cast<int>(At) + 1; };
  if (I >= N) {  // end of the text: a name without value
    Leave(I);
    return saOK;
  }
  ++I;  // the '='
  while (I < N && IsWhite(T[I])) ++I;
  if (I >= N) {
    Leave(I);
    return saOK;
  }
  if (T[I] == '=') {
    Leave(I + 1);
    return saDoubleEqual;
  }
  if (T[I] == '"') {
    ++I;
    const size_t Close = FindEither(T, I, N, '"', '"');
    Value = AttrText.substr(I, Close - I);
    Leave(Close < N ? Close + 1 : Close);  // after the closing quote
    return saOK;
  }
  const size_t ValueBegin = I;
  while (I < N && !IsWhite(T[I]) && T[I] != '"') {
    if (T[I] == '=') {
      Value = AttrText.substr(ValueBegin, I - ValueBegin);
      Leave(I + 1);
      return saEqualInValue;
    }
    ++I;
  }
  Value = AttrText.substr(ValueBegin, I - ValueBegin);
  Leave(I);
  return saOK;
}

int SplitNextAttribute(const std::string& AttrText, int& Pos, std::string& Name, std::string& Value) {
  std::string_view N, V;
  const int Status = SplitNextAttributeView(AttrText, Pos, N, V);
  Name.assign(N);
  Value.assign(V);
  return Status;
}

std::string_view FindAttributeValueView(std::string_view AttrText, std::string_view Name) {
  int Pos = 1;
  std::string_view N, V;
  while (SplitNextAttributeView(AttrText, Pos, N, V) == saOK) {
    if (SameTextAscii(N, Name)) return V;
  }
  return std::string_view();
}

std::string FindAttributeValue(const std::string& AttrText, const std::string& Name) {
  return std::string(FindAttributeValueView(AttrText, Name));
}

}  // namespace vek
