// The symbol repository: entry list, backup and restore, copying, and its file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "SymbolRepository.h"

using namespace vek;
namespace fs = std::filesystem;

namespace {

class SymbolRepoFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vek_symrepo_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  fs::path dir;
};

TSymbol Sym(TLandMarkElement kind, const std::string& name, int cat, TColor fg, TColor bg,
            int size, bool transp, int dir, int leng) {
  TSymbol S;
  S.Properties = TSymbolProperties{kind, size, fg, bg, transp, dir, leng};
  S.Name = name;
  S.Category = cat;
  return S;
}

}  // namespace

TEST(SymbolRepository, EntriesDefaultsAndBounds) {
  TSymbolRepository R;
  EXPECT_EQ(R.NumEntries(), 0);
  EXPECT_EQ(R.Capacity(), 1000);
  const TSymbol d = DefaultSymbolRecord();
  EXPECT_EQ(d.Properties, (TSymbolProperties{lmCross, 8, 0x000000, 0x0000FF, false, 90, 40}));
  EXPECT_TRUE(d.Name.empty());
  EXPECT_EQ(d.Category, 0);
  EXPECT_EQ(R.GetValues(0), d);
  EXPECT_EQ(R.GetValues(1), d);

  R.SetNumEntries(5);
  EXPECT_EQ(R.NumEntries(), 5);
  EXPECT_EQ(R.Capacity(), 5);
  EXPECT_EQ(R.Symbols(5).Properties.Kind, lmPlus);  // zero-filled
  EXPECT_EQ(R.Symbols(5).Properties.Size, 0);
  R.SetNumEntries(-1);
  EXPECT_EQ(R.NumEntries(), 5);

  const TSymbol s = Sym(lmCircle, "Buoy", 3, 1, 2, 4, true, 5, 6);
  R.SetSymbols(2, s);
  R.SetSymbols(6, s);  // beyond the count: ignored
  R.SetSymbols(0, s);
  EXPECT_EQ(R.Symbols(2), s);
  EXPECT_EQ(R.Symbols(6), d);

  // Growing keeps what is there and zero-fills the rest; shrinking cuts.
  R.SetNumEntries(8);
  EXPECT_EQ(R.Symbols(2), s);
  EXPECT_EQ(R.Symbols(8), TSymbol{});
  R.SetNumEntries(1);
  R.SetNumEntries(3);
  EXPECT_EQ(R.Symbols(2), TSymbol{});

  R.Clear();
  EXPECT_EQ(R.NumEntries(), 3);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(R.Symbols(i), d);
}

TEST(SymbolRepository, BackupRestoreAndAssign) {
  TSymbolRepository R;
  R.SetNumEntries(3);
  R.SetSymbols(1, Sym(lmSquare, "one", 1, 1, 1, 1, false, 1, 1));
  R.SetSymbols(3, Sym(lmSpade, "three", 3, 3, 3, 3, true, 3, 3));
  R.Backup();
  R.SetNumEntries(0);
  EXPECT_EQ(R.NumEntries(), 0);
  R.Restore();
  ASSERT_EQ(R.NumEntries(), 3);
  EXPECT_EQ(R.Symbols(1).Name, "one");
  EXPECT_EQ(R.Symbols(3).Name, "three");
  R.SetSymbols(1, Sym(lmCircle, "changed", 0, 0, 0, 0, false, 0, 0));
  R.Restore();  // the backup was not touched by the change
  EXPECT_EQ(R.Symbols(1).Name, "one");

  TSymbolRepository fresh;
  fresh.SetNumEntries(4);
  fresh.Restore();  // no backup yet: empty
  EXPECT_EQ(fresh.NumEntries(), 0);

  TSymbolRepository copy;
  copy.Assign(R);
  EXPECT_EQ(copy.NumEntries(), 3);
  EXPECT_EQ(copy.NumEntriesBak(), 3);
  copy.SetSymbols(1, Sym(lmCircle, "copy only", 0, 0, 0, 0, false, 0, 0));
  EXPECT_EQ(R.Symbols(1).Name, "one");  // the arrays are not shared
  copy.SetNumEntries(0);
  copy.Restore();
  EXPECT_EQ(copy.Symbols(3).Name, "three");

  TSymbolRepository viaTo;
  R.AssignTo(&viaTo);
  EXPECT_EQ(viaTo.Symbols(3), R.Symbols(3));
  viaTo.Assign(static_cast<const QObject*>(&R));
  EXPECT_EQ(viaTo.NumEntries(), 3);

  QObject other;
  viaTo.SetName("Repo");
  EXPECT_THROW(viaTo.Assign(&other), EVEKGeoMapError);
  EXPECT_THROW(viaTo.AssignTo(&other), EVEKGeoMapError);
  try {
    viaTo.Assign(&other);
  } catch (const EVEKGeoMapError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Component \"Repo\": ", 0), 0u) << e.what();
  }
  EXPECT_EQ(viaTo.NumEntries(), 3);
}

TEST_F(SymbolRepoFile, StoreWritesTheFixedLayout) {
  TSymbolRepository R;
  R.SetNumEntries(2);
  R.SetSymbols(1, Sym(lmArrowFrom, "North arrow", 7, 0x0000FF, 0xFFFFFF, 12, true, 90, 40));
  R.SetSymbols(2, Sym(lmPlus, "", -2, 0, 0x123456, 0, false, -5, 0));
  R.StoreOnFile(Path("s.xml"), "Marine");
  EXPECT_EQ(Read(Path("s.xml")),
            "<?xml version=\"1.0\"?>\r\n"
            "\r\n"
            "<!-- TGeoMap Landmark Repository / Quillwort -->\r\n"
            "<lmsymbols sig=\"Quillwort\" vers=\"1.0\" id=\"Marine\">\r\n"
            "<symbol element=\"ArrowFrom\" name=\"North arrow\" category=\"7\" "
            "colorfg=\"000000FF\" colorbg=\"00FFFFFF\" size=\"12\" transp=\"TRUE\" dir=\"90\" "
            "leng=\"40\" />\r\n"
            "<symbol element=\"Plus\" name=\"\" category=\"-2\" colorfg=\"00000000\" "
            "colorbg=\"00123456\" size=\"0\" transp=\"FALSE\" dir=\"-5\" leng=\"0\" />\r\n"
            "</lmsymbols>\r\n");
}

TEST_F(SymbolRepoFile, StoreAndLoadRoundTrip) {
  TSymbolRepository R;
  R.SetNumEntries(3);
  R.SetSymbols(1, Sym(lmSquare, "Harbour", 1, 0xFF0000, 0x00FFFF, 6, false, 0, 10));
  R.SetSymbols(2, Sym(lmArrowTo, "Wind", 2, 0x00FF00, 0, 9, true, 270, 55));
  R.SetSymbols(3, Sym(lmUserDef, "Custom \"é\"", 3, 0xABCDEF, 0x010203, 3, false, -90, 1));
  R.StoreOnFile(Path("r.xml"), "Marine");

  TSymbolRepository L;
  L.SetNumEntries(7);
  ASSERT_TRUE(L.LoadFromFile(Path("r.xml"), "marine"));
  ASSERT_EQ(L.NumEntries(), 3);
  EXPECT_EQ(L.Capacity(), 1000);
  EXPECT_EQ(L.Symbols(1), R.Symbols(1));
  EXPECT_EQ(L.Symbols(2), R.Symbols(2));
  TSymbol third = R.Symbols(3);
  third.Properties.Kind = lmCross;  // "User-Defined" is not a name the reader knows
  third.Name = "Custom 'é'";        // a double quote cannot stand inside a value
  EXPECT_EQ(L.Symbols(3), third);

  EXPECT_FALSE(L.LoadFromFile(Path("r.xml"), "other"));
  EXPECT_EQ(L.NumEntries(), 3);
  EXPECT_FALSE(L.LoadFromFile(Path("missing.xml"), ""));
}

TEST_F(SymbolRepoFile, ReaderTable) {
  const std::string longName(60, 'n');
  const std::string text =
      "<lmsymbols sig=\"quillwort\" id=\" Set \">\r\n"
      "<symbol NAME=\"" + longName + "\" Element=\"ARROWTO\" />\r\n"
      "<symbol element=\"Plus\" size=\"x\" transp=\"true\" category=\"12\" />\r\n"
      "<landmark lat=\"1\" />\r\n"
      "</lmsymbols>\r\n"
      "<symbol />\r\n"
      "</geomap>\r\n"
      "<symbol />\r\n";
  TSymbolRepository R;
  ASSERT_TRUE(R.LoadFromFile(Write("t.xml", text), "SET"));  // the id is trimmed
  ASSERT_EQ(R.NumEntries(), 3);  // the closing tag does not stop; /geomap does
  EXPECT_EQ(R.Symbols(1).Name.str(), std::string(40, 'n'));
  EXPECT_EQ(R.Symbols(1).Properties.Kind, lmArrowTo);
  EXPECT_EQ(R.Symbols(1).Properties.Size, 0);
  EXPECT_EQ(R.Symbols(2).Properties.Kind, lmCross);
  EXPECT_TRUE(R.Symbols(2).Properties.Transparent);
  EXPECT_EQ(R.Symbols(2).Category, 12);
  EXPECT_EQ(R.Symbols(3).Properties.Kind, lmCross);  // no element: cross
  EXPECT_EQ(R.Symbols(3).Properties.Direction, 0);

  EXPECT_FALSE(R.LoadFromFile(Write("nosig.xml", "<lmsymbols id=\"a\">\r\n<symbol />\r\n"), ""));
  EXPECT_EQ(R.NumEntries(), 3);
}

TEST_F(SymbolRepoFile, ReadingGrowsInStepsOfAThousand) {
  TSymbolRepository R;
  R.SetNumEntries(1001);
  R.StoreOnFile(Path("big.xml"), "big");
  TSymbolRepository L;
  ASSERT_TRUE(L.LoadFromFile(Path("big.xml"), ""));
  EXPECT_EQ(L.NumEntries(), 1001);
  EXPECT_EQ(L.Capacity(), 2001);
}

TEST_F(SymbolRepoFile, DamagedFilesNeverCrash) {
  TSymbolRepository R;
  R.SetNumEntries(10);
  R.Clear();
  R.StoreOnFile(Path("good.xml"), "g");
  const std::string good = Read(Path("good.xml"));
  std::mt19937 rng(5);
  TSymbolRepository L;
  for (int round = 0; round < 200; ++round) {
    std::string bad = good.substr(0, rng() % good.size());
    for (int e = 0; e < 10 && !bad.empty(); ++e) bad[rng() % bad.size()] = char(rng() % 256);
    L.LoadFromFile(Write("bad.xml", bad), "");
    EXPECT_LE(L.NumEntries(), 10);
  }
}
