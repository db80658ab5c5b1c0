// A numbered list of named landmark symbol styles that an application offers its users,
// with a backup copy, saved to and loaded from the library's XML dialect:
//   <lmsymbols sig="Quillwort" vers="1.0" id="SET"> ... <symbol element=... /> ... </lmsymbols>
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Canvas.h"
#include "Component.h"
#include "GeoMapRecords.h"
#include "ShortString.h"
#include "Streams.h"

namespace vek {

struct TSymbol {
  TSymbolProperties Properties;
  ShortString<40> Name;
  int32_t Category = 0;  // free grouping number
  friend bool operator==(const TSymbol&, const TSymbol&) = default;
};

// The entry handed out for indexes outside the list and written by Clear: a black cross of
// size 8 on red, direction 90, length 40, no name.
TSymbol DefaultSymbolRecord();

class TSymbolRepository : public TComponent {
  Q_OBJECT

 public:
  // The array grows in steps of this many entries while a file is read.
  static constexpr int32_t CapacityStep = 1000;

  explicit TSymbolRepository(QObject* AOwner = nullptr);
  ~TSymbolRepository() override;

  int32_t NumEntries() const { return FNEntries; }
  // Negative values are ignored. The array gets exactly Value entries: added entries are
  // zero-filled (lmPlus, all numbers 0, no name), the others keep their contents.
  void SetNumEntries(int32_t Value);
  void SetNEntries(int32_t Value) { SetNumEntries(Value); }
  // Length of the entry array, which may exceed NumEntries.
  int32_t Capacity() const { return FArrayLen; }
  int32_t NumEntriesBak() const { return FNEntriesBak; }

  // Entry ix (1 .. NumEntries); DefaultSymbolRecord outside.
  TSymbol Symbols(int32_t ix) const { return GetValues(ix); }
  void SetSymbols(int32_t ix, const TSymbol& v) { SetValues(ix, v); }
  TSymbol GetValues(int32_t ix) const;
  // Ignored outside 1 .. NumEntries.
  void SetValues(int32_t ix, const TSymbol& v);

  // Every entry becomes DefaultSymbolRecord; the count stays.
  void Clear();
  void Backup();
  // Back to the last backup; without one the repository becomes empty.
  void Restore();

  // Copies the entries and the backup of Source (the two stay independent).
  void Assign(const TSymbolRepository& Source);
  // Source must be a TSymbolRepository; anything else raises EVEKGeoMapError.
  void Assign(const QObject* Source);
  // Dest->Assign(*this) when Dest is a TSymbolRepository; anything else raises.
  void AssignTo(QObject* Dest) const;

  // Creates or overwrites the file with one symbol set named DataID.
  void StoreOnFile(const std::string& FileName, const std::string& DataID) const;
  void WriteToOpenXMLFile(TextFile& F, const std::string& DataID) const;
  // From the current position: the first set DataID (empty: the first set; compared in
  // lower case) replaces the entries. False, and nothing changed, when none is found.
  bool ReadFromOpenXMLFile(TextFile& F, const std::string& DataID);
  // False when the file cannot be opened.
  bool LoadFromFile(const std::string& FileName, const std::string& DataID);

 private:
  void Append(const TSymbol& S);

  std::vector<TSymbol> FSymbols;  // entries 1 .. FNEntries; the rest of the array is zero
  std::vector<TSymbol> FSymbolsBak;
  int32_t FNEntries = 0;
  int32_t FNEntriesBak = 0;
  int32_t FArrayLen = CapacityStep;
};

// One symbol from the attribute text of its element; absent attributes give 0 or lmCross.
TSymbol SymbolFromAttributes(const std::string& Attributes);
// The element line of one symbol, attributes in their fixed order.
std::string SymbolToElement(const TSymbol& S);

}  // namespace vek
