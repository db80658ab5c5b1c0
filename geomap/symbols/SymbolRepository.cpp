#include "SymbolRepository.h"

#include <new>

#include "DegreeText.h"
#include "DialectBlock.h"
#include "LandMarkImageCache.h"
#include "LandMarkXml.h"
#include "TagReader.h"
#include "XmlText.h"

namespace vek {

namespace {

int32_t IntOf(const std::string& V) {
  int pos = 1;
  return ReadIntegerAt(V, pos);
}

}  // namespace

TSymbol DefaultSymbolRecord() {
  TSymbol S{};
  S.Properties = TSymbolProperties{lmCross, 8, 0x000000, 0x0000FF, false, 90, 40};
  return S;
}

TSymbolRepository::TSymbolRepository(QObject* AOwner) : TComponent(AOwner) {}

TSymbolRepository::~TSymbolRepository() = default;

void TSymbolRepository::SetNumEntries(int32_t Value) {
  if (Value < 0) return;
  try {
    FSymbols.resize(size_t(Value));  // new entries are value-initialised: all zero
  } catch (const std::bad_alloc&) {
    throw EVEKGeoMapError(ComponentMessage(*this, "insufficient memory"));
  }
  FNEntries = Value;
  FArrayLen = Value;
}

TSymbol TSymbolRepository::GetValues(int32_t ix) const {
  if (ix < 1 || ix > FNEntries) return DefaultSymbolRecord();
  return FSymbols[size_t(ix - 1)];
}

void TSymbolRepository::SetValues(int32_t ix, const TSymbol& v) {
  if (ix < 1 || ix > FNEntries) return;
  FSymbols[size_t(ix - 1)] = v;
  TLandMarkImageCache::InvalidateAll();
}

void TSymbolRepository::Clear() {
  const TSymbol d = DefaultSymbolRecord();
  for (TSymbol& S : FSymbols) S = d;
  TLandMarkImageCache::InvalidateAll();
}

void TSymbolRepository::Backup() {
  FSymbolsBak = FSymbols;
  FNEntriesBak = FNEntries;
}

void TSymbolRepository::Restore() {
  FSymbols = FSymbolsBak;
  TLandMarkImageCache::InvalidateAll();
  FNEntries = FNEntriesBak;
  FArrayLen = FNEntries;
}

void TSymbolRepository::Assign(const TSymbolRepository& Source) {
  if (&Source == this) return;
  TLandMarkImageCache::InvalidateAll();
  FSymbols = Source.FSymbols;
  FSymbolsBak = Source.FSymbolsBak;
  FNEntries = Source.FNEntries;
  FNEntriesBak = Source.FNEntriesBak;
  FArrayLen = Source.FArrayLen;
}

void TSymbolRepository::Assign(const QObject* Source) {
  if (const auto* R = dynamic_cast<const TSymbolRepository*>(Source)) {
    Assign(*R);
    return;
  }
  const std::string from = Source ? Source->metaObject()->className() : "nil";
  throw EVEKGeoMapError(ComponentMessage(*this, "cannot assign a " + from + " to a " +
                                                 metaObject()->className()));
}

void TSymbolRepository::AssignTo(QObject* Dest) const {
  if (auto* R = dynamic_cast<TSymbolRepository*>(Dest)) {
    R->Assign(*this);
    return;
  }
  const std::string to = Dest ? Dest->metaObject()->className() : "nil";
  throw EVEKGeoMapError(ComponentMessage(*this, std::string("cannot assign a ") +
                                                 metaObject()->className() + " to a " + to));
}

// ---- file ----

TSymbol SymbolFromAttributes(const std::string& Attributes) {
  TSymbol S{};
  S.Properties.Kind = lmCross;
  S.Properties.FGColor = ScanHex(std::string(), 1);
  S.Properties.BGColor = S.Properties.FGColor;
  bool seen[9] = {};
  static const char* const kNames[9] = {"category", "name", "colorfg", "colorbg", "size",
                                        "transp",   "dir",  "leng",    "element"};
  int pos = 1;
  std::string name, value;
  while (SplitNextAttribute(Attributes, pos, name, value) == saOK) {
    const std::string lower = LowerCaseAscii(name);
    int ix = -1;
    for (int i = 0; i < 9 && ix < 0; ++i)
      if (lower == kNames[i]) ix = i;
    if (ix < 0 || seen[ix]) continue;  // the first pair of a name counts
    seen[ix] = true;
    switch (ix) {
      case 0: S.Category = IntOf(value); break;
      case 1: S.Name.SetAnsi(value); break;
      case 2: S.Properties.FGColor = ScanHex(value, 1); break;
      case 3: S.Properties.BGColor = ScanHex(value, 1); break;
      case 4: S.Properties.Size = IntOf(value); break;
      case 5: S.Properties.Transparent = LowerCaseAscii(value).find("true") != std::string::npos; break;
      case 6: S.Properties.Direction = IntOf(value); break;
      case 7: S.Properties.Length = IntOf(value); break;
      case 8: S.Properties.Kind = LandMarkElementFromName(value); break;
    }
  }
  return S;
}

std::string SymbolToElement(const TSymbol& S) {
  const TSymbolProperties& P = S.Properties;
  const int kind = P.Kind < NumLandMarkElements ? int(P.Kind) : int(lmCross);
  return std::string("<symbol element=\"") + LMTypeNames[kind] + "\" name=\"" +
         DialectAttributeText(S.Name.ansi()) + "\" category=\"" + std::to_string(S.Category) +
         "\" colorfg=\"" + Hex(P.FGColor, 8) + "\" colorbg=\"" + Hex(P.BGColor, 8) +
         "\" size=\"" + std::to_string(P.Size) + "\" transp=\"" + BoolToText(P.Transparent) +
         "\" dir=\"" + std::to_string(P.Direction) + "\" leng=\"" + std::to_string(P.Length) +
         "\" />";
}

void TSymbolRepository::WriteToOpenXMLFile(TextFile& F, const std::string& DataID) const {
  WriteLn(F, "<?xml version=\"1.0\"?>");
  WriteLn(F);
  WriteLn(F, "<!-- TGeoMap Landmark Repository / Quillwort -->");
  WriteLn(F, DialectRootLine("lmsymbols", DataID, riEscaped));
  for (int32_t i = 0; i < FNEntries; ++i) WriteLn(F, SymbolToElement(FSymbols[size_t(i)]));
  WriteLn(F, "</lmsymbols>");
}

void TSymbolRepository::StoreOnFile(const std::string& FileName, const std::string& DataID) const {
  TextFile F;
  AssignFile(F, FileName);
  Rewrite(F);
  WriteToOpenXMLFile(F, DataID);
  CloseFile(F);
}

void TSymbolRepository::Append(const TSymbol& S) {
  try {
    FSymbols.push_back(S);
  } catch (const std::bad_alloc&) {
    throw EVEKGeoMapError(ComponentMessage(*this, "insufficient memory"));
  }
  FNEntries = static_cast<int32_t>(FSymbols.size());
  if (FNEntries > CapacityStep && FNEntries % CapacityStep == 1 &&
      FNEntries + CapacityStep > FArrayLen)
    FArrayLen = FNEntries + CapacityStep;
}

bool TSymbolRepository::ReadFromOpenXMLFile(TextFile& F, const std::string& DataID) {
  if (!FindDialectBlock(TDialectLines(F), "lmsymbols", DataID,
                        [](const std::string&, const std::string& Lower) {
                          return RootLineId(Lower, "<lmsymbols");
                        }))
    return false;

  TLandMarkImageCache::InvalidateAll();
  FSymbols.clear();
  FNEntries = 0;
  FArrayLen = CapacityStep;
  std::string content, attributes;
  for (;;) {
    const int tag = ReadNextTagInTextFile(F, XmlTags, XmlReaderTagHigh, content, attributes);
    if (tag == xtGeoMapEnd || tag == xtInvalidTag) break;
    if (tag == xtSymbol) Append(SymbolFromAttributes(attributes));
  }
  return true;
}

bool TSymbolRepository::LoadFromFile(const std::string& FileName, const std::string& DataID) {
  TextFile F;
  if (!TryReset(F, FileName)) return false;
  const bool result = ReadFromOpenXMLFile(F, DataID);
  CloseFile(F);
  return result;
}

}  // namespace vek
