// The landmark list: capacity rule, the five builders, veto, finding, the removals and
// their compaction, and the mouse-trace store.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LandMarkStore.h"

using namespace vek;

namespace {

// Adds landmarks named by their identifier at (lat, long), class 0 unless given.
void AddNamed(TLandMarkStore& S, const std::string& id, double lat, double lon, uint8_t cls = 0) {
  TLandMark LM = S.MakeLandMark(lat, lon, 0, TLMIdentifier(id), 0);
  LM.ClassFlag = cls;
  ASSERT_TRUE(S.AddLandMark(LM));
}

std::string Ids(const TLandMarkStore& S) {
  std::string out;
  for (int i = 1; i <= S.NumLandMarks(); ++i) out += S[i].Identifier.str();
  return out;
}

TLandMarkStore FiveInARow() {
  TLandMarkStore S;
  const char* names[] = {"A", "B", "C", "D", "E"};
  for (int i = 0; i < 5; ++i) AddNamed(S, names[i], 10.0 * i, 0);
  return S;
}

}  // namespace

TEST(LandMarkStore, CapacityFollowsThousandsAndFallsBackWhenEmptied) {
  TLandMarkStore S;
  EXPECT_EQ(S.NumLandMarks(), 0);
  EXPECT_EQ(S.Capacity(), 1000);
  for (int i = 0; i < 1000; ++i) S.AppendLandMark(S.MakeLandMark(i, 0, 0));
  EXPECT_EQ(S.Capacity(), 1000);
  S.AppendLandMark(S.MakeLandMark(0, 0, 0));
  EXPECT_EQ(S.NumLandMarks(), 1001);
  EXPECT_EQ(S.Capacity(), 2000);
  for (int i = 0; i < 999; ++i) S.AppendLandMark(S.MakeLandMark(0, 0, 0));
  EXPECT_EQ(S.Capacity(), 2000);
  S.AppendLandMark(S.MakeLandMark(0, 0, 0));
  EXPECT_EQ(S.NumLandMarks(), 2001);
  EXPECT_EQ(S.Capacity(), 3000);

  // Removing part of the list keeps the array; only an empty store goes back to 1000.
  EXPECT_TRUE(S.RemoveLastLandMark());
  EXPECT_EQ(S.Capacity(), 3000);
  EXPECT_EQ(S.RemoveAllLandMarks(uint8_t(0)), 2000);  // the class holds every landmark
  EXPECT_EQ(S.NumLandMarks(), 0);
  EXPECT_EQ(S.Capacity(), 1000);

  for (int i = 0; i < 1001; ++i) S.AppendLandMark(S.MakeLandMark(0, 0, 0));
  EXPECT_EQ(S.Capacity(), 2000);
  S.RemoveAllLandMarks();
  EXPECT_EQ(S.Capacity(), 1000);
  EXPECT_EQ(S.NumLandMarks(), 0);

  // Emptying by single removals resets the array too.
  for (int i = 0; i < 1001; ++i) S.AppendLandMark(S.MakeLandMark(0, 0, 0));
  while (S.NumLandMarks() > 1) S.RemoveLandMark(1);
  EXPECT_EQ(S.Capacity(), 2000);
  EXPECT_EQ(S.RemoveLandMark(1), 1);
  EXPECT_EQ(S.Capacity(), 1000);
}

TEST(LandMarkStore, InitialDefaultsAndBuilders) {
  TLandMarkStore S;
  const TLandMark& D = S.LandMarkDefault();
  EXPECT_EQ(D.SymbolProps.Kind, lmCross);
  EXPECT_EQ(D.SymbolProps.Size, 7);
  EXPECT_EQ(D.SymbolProps.FGColor, 0xFF0000u);
  EXPECT_EQ(D.SymbolProps.BGColor, 0xFFFFFFu);
  EXPECT_FALSE(D.SymbolProps.Transparent);
  EXPECT_EQ(D.SymbolProps.Length, 10);
  EXPECT_EQ(D.Caption.Size, 8);
  EXPECT_EQ(D.Caption.FontName, "MS Sans Serif");
  EXPECT_TRUE(D.Caption.Transparent);
  EXPECT_EQ(D.Caption.dy, 8);
  EXPECT_EQ(D.Caption.HAlignment, taCenter);
  EXPECT_EQ(D.Caption.BGColor, 0xFFFFFFu);
  EXPECT_TRUE(D.Identifier.empty());

  TLandMark tmpl = D;
  tmpl.ClassFlag = 7;
  tmpl.Tag = 99;
  tmpl.Identifier = "tmpl";
  tmpl.Time = 123;
  tmpl.Caption.Text = "default caption";
  S.SetLandMarkDefault(tmpl);

  const TLandMark a = S.MakeLandMark(1, 2, 3);
  EXPECT_EQ(a.Latitude, 1);
  EXPECT_EQ(a.Longitude, 2);
  EXPECT_EQ(a.Altitude, 3);
  EXPECT_EQ(a.ClassFlag, 7);
  EXPECT_EQ(a.Identifier, "tmpl");
  EXPECT_EQ(a.Caption.Text, "default caption");

  const TLandMark b = S.MakeLandMark(1, 2, 3, TLMIdentifier("ID-0123456789ABCDEF"), 45000.5);
  EXPECT_EQ(b.Identifier.str(), "ID-0123456789AB");  // 15 characters kept
  EXPECT_EQ(b.Time, 45000.5);
  EXPECT_EQ(b.Caption.Text, "default caption");

  const TLandMark c = S.MakeLandMark(1, 2, 3, std::string(100, 'x'), 12, 0x00FF00);
  EXPECT_EQ(c.Caption.Text.length(), 80);
  EXPECT_EQ(c.Caption.Size, 12);
  EXPECT_EQ(c.Caption.FGColor, 0x00FF00u);
  EXPECT_EQ(c.Identifier, "tmpl");  // identifier and time stay those of the default
  EXPECT_EQ(c.Time, 123);

  const TLandMark d = S.MakeLandMark(1, 2, 3, TLMIdentifier("x"), 5, "Zürich", 9, 0x123456);
  EXPECT_EQ(d.Identifier, "x");
  EXPECT_EQ(d.Time, 5);
  EXPECT_EQ(d.Caption.Text.str(), "Zürich");
  EXPECT_EQ(d.Caption.Text.length(), 6);  // one 8-bit character for the umlaut
  EXPECT_EQ(d.Caption.Size, 9);

  const TLandMark e = S.MakeLandMark(1, 2, 3, lmArrowTo, 200, TLMIdentifier("e"), 6, -4,
                                     0x111111, 0x222222, 15, true, 45, 30);
  EXPECT_EQ(e.ClassFlag, 200);
  EXPECT_EQ(e.Tag, -4);
  EXPECT_EQ(e.SymbolProps, (TSymbolProperties{lmArrowTo, 15, 0x111111, 0x222222, true, 45, 30}));
  EXPECT_EQ(e.Caption, tmpl.Caption);  // the whole caption from the default
}

TEST(LandMarkStore, VetoOnAddAndRemove) {
  TLandMarkStore S;
  std::vector<TLandMarkAction> asked;
  auto refuse = [&](TLandMarkAction a, const TLandMark&) {
    asked.push_back(a);
    return false;
  };
  EXPECT_FALSE(S.AddLandMark(S.MakeLandMark(1, 1, 0), refuse));
  EXPECT_EQ(S.NumLandMarks(), 0);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], lmaAdd);

  AddNamed(S, "A", 0, 0);
  AddNamed(S, "B", 0.1, 0);
  asked.clear();
  EXPECT_EQ(S.RemoveLandMark(0, 0, -1, 1.0, refuse), 0);
  EXPECT_EQ(asked, (std::vector<TLandMarkAction>{lmaRemove, lmaRemove}));
  EXPECT_EQ(S.RemoveLandMark(1, refuse), 0);
  EXPECT_FALSE(S.RemoveLastLandMark(refuse));
  EXPECT_EQ(S.RemoveNearestLandMark(0, 0, -1, refuse), 0);
  EXPECT_EQ(S.RemoveAllLandMarks(uint8_t(0), refuse), 0);
  EXPECT_EQ(S.RemoveLandMark(TRectDouble{-1, 1, 1, -1}, -1, refuse), 0);
  EXPECT_EQ(Ids(S), "AB");

  // A veto that refuses only "A" lets the others go.
  auto keepA = [](TLandMarkAction, const TLandMark& LM) { return LM.Identifier != "A"; };
  EXPECT_EQ(S.RemoveLandMark(0, 0, -1, 1.0, keepA), 1);
  EXPECT_EQ(Ids(S), "A");
}

TEST(LandMarkStore, VetoHandlerMayChangeTheStoreWithoutHarm) {
  TLandMarkStore S;
  for (int i = 0; i < 10; ++i) AddNamed(S, std::to_string(i), 0, 0);
  // A handler that empties the store while a removal scans it.
  auto clearing = [&](TLandMarkAction, const TLandMark&) {
    S.RemoveAllLandMarks();
    return true;
  };
  S.RemoveLandMark(0, 0, -1, 1.0, clearing);
  EXPECT_EQ(S.NumLandMarks(), 0);
  for (int i = 0; i < 3; ++i) AddNamed(S, std::to_string(i), 0, 0);
  EXPECT_EQ(S.RemoveLandMark(3, clearing), 0);
  EXPECT_EQ(S.NumLandMarks(), 0);
  EXPECT_EQ(S.Capacity(), 1000);
}

TEST(LandMarkStore, CompactionFillsGapsFromTheTop) {
  // Removing B and D: E moves into B's place, C keeps its index.
  TLandMarkStore S = FiveInARow();
  auto onlyBD = [](TLandMarkAction, const TLandMark& LM) {
    return LM.Identifier == "B" || LM.Identifier == "D";
  };
  EXPECT_EQ(S.RemoveLandMark(0, 0, -1, 1000.0, onlyBD), 2);
  EXPECT_EQ(Ids(S), "AEC");

  struct Case {
    const char* remove;
    const char* expected;
  } cases[] = {
      {"A", "EBCD"},  {"E", "ABCD"},   {"AB", "EDC"}, {"ABC", "ED"}, {"AE", "DBC"},
      {"BCD", "AE"},  {"ABCDE", ""},   {"", "ABCDE"}, {"ACE", "DB"}, {"BE", "ADC"},
  };
  for (const Case& c : cases) {
    TLandMarkStore T = FiveInARow();
    const std::string rm = c.remove;
    auto pick = [&](TLandMarkAction, const TLandMark& LM) {
      return rm.find(LM.Identifier.str()) != std::string::npos;
    };
    EXPECT_EQ(T.RemoveLandMark(0, 0, -1, 1000.0, pick), int(rm.size())) << c.remove;
    EXPECT_EQ(Ids(T), c.expected) << "removing " << c.remove;
  }
}

TEST(LandMarkStore, RemovalByIndexMovesTheLastIntoTheGap) {
  TLandMarkStore S = FiveInARow();
  EXPECT_EQ(S.RemoveLandMark(0), 0);
  EXPECT_EQ(S.RemoveLandMark(6), 0);
  EXPECT_EQ(Ids(S), "ABCDE");
  EXPECT_EQ(S.RemoveLandMark(2), 2);
  EXPECT_EQ(Ids(S), "AECD");
  EXPECT_EQ(S.RemoveLandMark(4), 4);  // the last one: nothing moves
  EXPECT_EQ(Ids(S), "AEC");
  EXPECT_TRUE(S.RemoveLastLandMark());
  EXPECT_EQ(Ids(S), "AE");

  TLandMarkStore empty;
  EXPECT_EQ(empty.RemoveLandMark(1), 0);
  EXPECT_FALSE(empty.RemoveLastLandMark());
  EXPECT_EQ(empty.Capacity(), 1000);
}

TEST(LandMarkStore, FindPrefersTheLowestIndexOnTiesAndNormalisesTheClass) {
  TLandMarkStore S;
  EXPECT_EQ(S.FindLandMark(0, 0, -1), 0);
  AddNamed(S, "far", 5, 5, 3);
  AddNamed(S, "east", 0, 1, 1);
  AddNamed(S, "north", 1, 0, 2);
  AddNamed(S, "west", 0, -1, 2);
  EXPECT_EQ(S.FindLandMark(0, 0, -1), 2);   // east, north and west tie: lowest index
  EXPECT_EQ(S.FindLandMark(0, 0, 2), 3);    // north before west
  EXPECT_EQ(S.FindLandMark(0, 0, 3), 1);
  EXPECT_EQ(S.FindLandMark(0, 0, 4), 0);    // no landmark of that class
  EXPECT_EQ(S.FindLandMark(0, 0, 300), 2);  // outside 0..255: every class
  EXPECT_EQ(S.FindLandMark(0, 0, -7), 2);
  EXPECT_EQ(S.FindLandMark(4.9, 4.9, 256), 1);
  // Distance is plain degrees: a longitude step counts like a latitude step.
  EXPECT_EQ(S.FindLandMark(0.6, -0.1, -1), 3);
  EXPECT_EQ(S.FindLandMark(0.4, -0.5, -1), 4);

  EXPECT_EQ(S.RemoveNearestLandMark(0, 0, 2), 3);
  EXPECT_EQ(Ids(S), "fareastwest");
  EXPECT_EQ(S.RemoveNearestLandMark(0, 0, 9), 0);
  EXPECT_EQ(S.NumLandMarks(), 3);
}

TEST(LandMarkStore, RadiusAndRectangleEdgesStay) {
  TLandMarkStore S;
  AddNamed(S, "on", 0, 2);       // exactly at the radius
  AddNamed(S, "in", 0, 1.999);
  AddNamed(S, "diag", 1.5, 1.5);  // 2.12 away
  EXPECT_EQ(S.RemoveLandMark(0, 0, -1, 2.0), 1);
  EXPECT_EQ(Ids(S), "ondiag");

  TLandMarkStore R;
  // Rectangle west 10, north 50, east 20, south 40.
  const TRectDouble box{10, 50, 20, 40};
  AddNamed(R, "W", 45, 10);
  AddNamed(R, "E", 45, 20);
  AddNamed(R, "N", 50, 15);
  AddNamed(R, "S", 40, 15);
  AddNamed(R, "c", 45, 15);
  AddNamed(R, "x", 45, 25);
  AddNamed(R, "k", 45.5, 15.5, 1);
  EXPECT_EQ(R.RemoveLandMark(box, 0), 1);  // only "c": "k" is of another class
  EXPECT_EQ(Ids(R), "WENSkx");
  EXPECT_EQ(R.RemoveLandMark(box, 999), 1);  // wildcard takes "k"
  EXPECT_EQ(Ids(R), "WENSx");
  // Bounds given the wrong way round select nothing.
  EXPECT_EQ(R.RemoveLandMark(TRectDouble{20, 40, 10, 50}, -1), 0);
}

TEST(LandMarkStore, RemoveAllOfAClassTakesNoWildcard) {
  TLandMarkStore S;
  AddNamed(S, "a", 0, 0, 1);
  AddNamed(S, "b", 0, 0, 255);
  AddNamed(S, "c", 0, 0, 1);
  AddNamed(S, "d", 0, 0, 2);
  EXPECT_EQ(S.RemoveAllLandMarks(uint8_t(255)), 1);
  EXPECT_EQ(Ids(S), "adc");
  EXPECT_EQ(S.RemoveAllLandMarks(uint8_t(1)), 2);
  EXPECT_EQ(Ids(S), "d");
}

TEST(LandMarkStore, DataAccessAndCopying) {
  TLandMarkStore S = FiveInARow();
  TLandMark LM = S.GetLandMarkData(3);
  EXPECT_EQ(LM.Identifier, "C");
  EXPECT_EQ(S.GetLandMarkData(0), TLandMark{});
  EXPECT_EQ(S.GetLandMarkData(6), TLandMark{});
  LM.Identifier = "Z";
  EXPECT_TRUE(S.SetLandMarkData(3, LM));
  EXPECT_FALSE(S.SetLandMarkData(6, LM));
  EXPECT_FALSE(S.SetLandMarkData(0, LM));
  EXPECT_EQ(Ids(S), "ABZDE");

  TLandMarkStore copy = S;  // by value: independent
  copy.RemoveLandMark(1);
  EXPECT_EQ(Ids(S), "ABZDE");
  EXPECT_EQ(Ids(copy), "EBZD");

  TLandMarkStore big;
  for (int i = 0; i < 2500; ++i) big.AppendLandMark(big.MakeLandMark(0, 0, 0));
  while (big.NumLandMarks() > 1500) big.RemoveLastLandMark();
  EXPECT_EQ(big.Capacity(), 3000);
  TLandMarkStore target;
  target.AssignLandMarks(big);
  EXPECT_EQ(target.NumLandMarks(), 1500);
  EXPECT_EQ(target.Capacity(), 2000);
  target.AssignLandMarks(TLandMarkStore());
  EXPECT_EQ(target.Capacity(), 1000);
}

TEST(LandMarkStore, MouseTrace) {
  TLandMarkStore S;
  EXPECT_EQ(S.MTracePointRaw(0).State, 0xFFFF);
  EXPECT_EQ(S.GetMTracePoint(0, {}).State, 0xFFFF);
  EXPECT_EQ(S.GetMTracePoint(1, {}).State, 0xFFFF);

  S.SetMouseTraceColor(0x0000FF);
  ASSERT_TRUE(S.AppendMTracePoint(10.5, 20.5));
  S.SetMouseTraceInvert(false);
  ASSERT_TRUE(S.AppendMTracePoint(11.5, -3.2));
  S.EndMTraceStroke();
  EXPECT_EQ(S.NumMTracePoints(), 2);
  EXPECT_EQ(S.MTracePointRaw(1).State, TLandMarkStore::TraceXorSegment);
  EXPECT_EQ(S.MTracePointRaw(2).State, TLandMarkStore::TraceEndsStroke);
  EXPECT_EQ(S.MTracePointRaw(3).State, 0xFFFF);

  // X and Y go to the nearest integer, halves to even, before the conversion.
  std::vector<std::pair<int, int>> asked;
  auto conv = [&](int X, int Y, double& lat, double& lon) {
    asked.push_back({X, Y});
    lat = Y * 0.5;
    lon = X * 2.0;
    return X != 12;
  };
  const TColoredPoint p = S.GetMTracePoint(1, conv);
  EXPECT_EQ(p.X, 20.0);
  EXPECT_EQ(p.Y, 10.0);
  EXPECT_EQ(p.Color, 0x0000FFu);
  EXPECT_EQ(p.State, TLandMarkStore::TraceXorSegment);
  EXPECT_EQ(S.GetMTracePoint(2, conv).State, 0xFFFF);  // the conversion fails at X = 12
  EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{10, 20}, {12, -3}}));

  for (int i = 2; i < TLandMarkStore::MaxTracePoints; ++i) ASSERT_TRUE(S.AppendMTracePoint(i, i));
  EXPECT_FALSE(S.AppendMTracePoint(0, 0));
  EXPECT_EQ(S.NumMTracePoints(), 5000);
  S.ClearMouseTrace();
  EXPECT_EQ(S.NumMTracePoints(), 0);
  S.EndMTraceStroke();  // nothing to end: no harm
}

