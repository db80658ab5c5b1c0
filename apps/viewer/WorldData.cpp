#include "WorldData.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "CountryTable.h"
#include "GshhgReader.h"
#include "VekError.h"

namespace vek::viewer {

namespace {

// Written as the database's description once everything else is on disk: a database without
// it was cut off while being built. It holds the resolution and the number of items of each
// kind, so that lost or overwritten item records show. Raise the number when the content
// changes.
std::string Stamp(const TWorldDataOptions& O, const TWorldCounts& C) {
  return "VekGeo world 3 " + std::string(1, O.Resolution) + ": c" + std::to_string(C.Coasts) +
         " l" + std::to_string(C.Lakes) + " b" + std::to_string(C.Borders) + " r" +
         std::to_string(C.Rivers) + " t" + std::to_string(C.Cities);
}

void RemoveDBFiles(const std::string& DBName) {
  namespace fs = std::filesystem;
  std::string base = fs::path(DBName).replace_extension().string();
  std::error_code ec;
  for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3",
                          ".vekgi4"})
    fs::remove(base + ext, ec);
}

std::string SourceFile(const TWorldDataOptions& O, const char* Kind) {
  return O.SourceDir + "/binned_" + Kind + "_" + O.Resolution + ".nc";
}

// Every kind must be there in the numbers stamped, no item may be of another kind, and the
// last item's points must still be readable (the data file is written in item order).
bool LooksComplete(TGeoDB& DB, const TWorldDataOptions& O) {
  TWorldCounts c = CountWorldItems(DB);
  if (c.Coasts == 0 || c.Lakes == 0 || c.Borders == 0 || c.Rivers == 0 || c.Cities == 0 ||
      c.Coasts + c.Lakes + c.Borders + c.Rivers + c.Cities != DB.NumEntries() ||
      DB.Description() != Stamp(O, c))
    return false;
  TgdbData last = DB.Data(DB.NumEntries());
  TgdbPolygon poly;
  return DB.RetrievePolygon(DB.NumEntries(), poly) && int32_t(poly.size()) == last.NumPoints;
}

void AddPolygonItem(TGeoDB& DB, TgdbItem Kind, const std::string& Name,
                    const TgdbPolygon& Points, bool Closed, uint8_t Class, int32_t Tag,
                    TDateTime Now) {
  switch (Kind) {
    case gitLake:
      DB.AddLake(Name, Points, Now, 0, 0, 0, 0, 0, 0, Class, Tag);
      break;
    case gitRiver:
      DB.AddRiver(Name, Points, Now, 0, 0, 0, 0, 0, 0, Class, Tag);
      break;
    default:
      DB.AddBorder(Name, Points, Closed, Now, 0, 0, 0, 0, 0, 0, Class, Tag);
  }
}

// Runs the builder program on DBName and follows its "source FILE", "progress N" and
// "error MESSAGE" lines.
void BuildInChild(TGeoDB& DB, const std::string& DBName, const TWorldDataOptions& O) {
  constexpr int TimeLimitMs = 10 * 60 * 1000;
  TOnPercentDoneEvent report = DB.OnPercentDone;
  const bool reports = DB.OnPercDoneEnabled();
  DB.SetDBName("");
  QProcess child;
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.start(QString::fromStdString(O.Builder),
              {"--build-db", QString::fromStdString(DBName), "--source",
               QString::fromStdString(O.SourceDir), "--resolution", QString(QChar(O.Resolution))});
  if (!child.waitForStarted())
    throw EVEKError("cannot start " + O.Builder + " to build the world database");
  std::string source, childError;
  auto readLines = [&] {
    while (child.canReadLine()) {
      const std::string line = child.readLine().trimmed().toStdString();
      if (line.rfind("source ", 0) == 0) {
        source = line.substr(7);
        if (O.OnSourceFile) O.OnSourceFile(source);
      } else if (line.rfind("error ", 0) == 0) {
        childError = line.substr(6);
      } else if (line.rfind("progress ", 0) == 0 && report && reports) {
        report(&DB, std::atoi(line.c_str() + 9));
      }
    }
  };
  QElapsedTimer clock;
  clock.start();
  while (child.state() != QProcess::NotRunning) {
    if (clock.elapsed() > TimeLimitMs) {
      child.kill();
      child.waitForFinished();
      RemoveDBFiles(DBName);
      throw EVEKError("the world database was not built within 10 minutes");
    }
    child.waitForReadyRead(100);
    readLines();
    child.readAllStandardError();  // a crash report must not fill the pipe and stall the child
  }
  readLines();
  // An error the builder caught and said; anything else that ends it early is a crash (a
  // signal, or a sanitizer's report and exit) while reading the data.
  if (child.exitStatus() == QProcess::NormalExit && child.exitCode() != 0 && !childError.empty()) {
    RemoveDBFiles(DBName);
    throw EVEKError(childError);
  }
  if (child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0) {
    RemoveDBFiles(DBName);
    throw EVEKError("damaged data file " + (source.empty() ? O.SourceDir : source) +
                    ": reading it stopped the builder; the world database is not available");
  }
  DB.SetDBName(DBName);
  if (!LooksComplete(DB, O)) {
    DB.SetDBName("");
    RemoveDBFiles(DBName);
    throw EVEKError("the world database built by " + O.Builder + " is not complete");
  }
}

}  // namespace

std::string DefaultCacheDir() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/vekgeo";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.cache/vekgeo";
}

const char* WorldClassName(uint8_t c) {
  switch (c) {
    case wcLand: return "land";
    case wcLake: return "lake";
    case wcIslandInLake: return "island in a lake";
    case wcPond: return "pond";
    case wcRiverLake: return "river lake";
    case wcBorder + 1: return "national border";
    case wcBorder + 2: return "internal border";
    case wcBorder + 3: return "maritime border";
    case wcCapital: return "capital";
    default: break;
  }
  if (c == wcRiver) return "double-lined river";
  if (c > wcRiver && c <= wcRiver + 4) return "river";
  if (c > wcRiver + 4 && c <= wcRiver + 7) return "intermittent river";
  if (c > wcRiver + 7 && c < wcCapital) return "canal";
  if (IsBorderClass(c)) return "border";
  return "item";
}

std::string WorldDBName(const std::string& CacheDir) { return CacheDir + "/world"; }

TWorldCounts CountWorldItems(const TGeoDB& DB) {
  TWorldCounts c;
  for (int32_t i = 1; i <= DB.NumEntries(); ++i) {
    TgdbData d = DB.Data(i);
    uint8_t k = d.ClassFlag;
    if (d.ItemKind == gitBorder && IsLandClass(k)) ++c.Coasts;
    else if (d.ItemKind == gitLake && IsLakeClass(k)) ++c.Lakes;
    else if (d.ItemKind == gitBorder && IsBorderClass(k)) ++c.Borders;
    else if (d.ItemKind == gitRiver && IsRiverClass(k)) ++c.Rivers;
    else if (d.ItemKind == gitCity && k == wcCapital) ++c.Cities;
  }
  return c;
}

std::vector<TWorldHit> FindWorldItemsInArea(const TGeoDB& DB, double LatLow, double LatHigh,
                                            double LongLow, double LongHigh) {
  std::vector<TWorldHit> hits;
  for (double shift : {0.0, -360.0, 360.0})
    for (int32_t e : DB.FindItemsInArea(LatLow, LatHigh, LongLow - shift, LongHigh - shift))
      hits.push_back({e, shift});
  return hits;
}

void BuildWorldDB(TGeoDB& DB, const std::string& DBName, const TWorldDataOptions& O) {
  if (!O.Builder.empty()) return BuildInChild(DB, DBName, O);
  // The whole build reports through the handler the caller gave the database; the
  // database's own per-item reports are held back meanwhile.
  TOnPercentDoneEvent report = DB.OnPercentDone;
  bool reportsWere = DB.OnPercDoneEnabled();
  int32_t lastPercent = -1;
  auto progress = [&](double Fraction) {
    int32_t p = int32_t(Fraction * 100 + 0.5);
    if (report && reportsWere && p != lastPercent) report(&DB, lastPercent = p);
  };
  struct TRestore {
    TGeoDB& DB;
    bool Enabled;
    ~TRestore() {
      DB.SetOnPercDoneEnabled(Enabled);
    }
  } restore{DB, reportsWere};

  auto source = [&](const char* Kind) {
    const std::string name = SourceFile(O, Kind);
    if (O.OnSourceFile) O.OnSourceFile(name);
    return name;
  };
  progress(0);
  std::vector<TGshhgFeature> shore = ReadGshhgShore(source("GSHHS"));
  progress(0.04);
  std::vector<TGshhgFeature> borders = ReadGshhgLines(source("border"));
  progress(0.06);
  std::vector<TGshhgFeature> rivers = ReadGshhgLines(source("river"));
  progress(0.08);

  DB.SetDBName("");
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::path(DBName).parent_path();
  if (!dir.empty() && !std::filesystem::create_directories(dir, ec) && ec)
    throw EInOutError(ec.value(), "Cannot create the directory " + dir.string() + ": " + ec.message());
  RemoveDBFiles(DBName);
  DB.SetOnPercDoneEnabled(false);
  DB.SetDBName(DBName);
  DB.SetLazyWrite(true);

  double total = double(shore.size() + borders.size() + rivers.size() + NumCountries);
  double done = 0;
  auto step = [&] { progress(0.08 + 0.9 * (++done / total)); };
  TDateTime now = NowAsDateTime();

  for (const TGshhgFeature& f : shore) {
    bool land = f.Level == 1 || f.Level == 3;
    uint8_t cls = f.RiverLake ? uint8_t(wcRiverLake) : uint8_t(f.Level);
    AddPolygonItem(DB, land ? gitBorder : gitLake,
                   (land ? "Coast " : "Lake ") + std::to_string(f.Id), f.Points, f.Closed, cls,
                   f.Id, now);
    step();
  }
  // Levels beyond the class ranges are none the data set uses; they are left out.
  for (const TGshhgFeature& f : borders) {
    if (f.Level >= 1 && wcBorder + f.Level < wcRiver)
      AddPolygonItem(DB, gitBorder, "Border " + std::to_string(f.Id), f.Points, f.Closed,
                     uint8_t(wcBorder + f.Level), 0, now);
    step();
  }
  for (const TGshhgFeature& f : rivers) {
    if (f.Level >= 0 && wcRiver + f.Level < wcCapital)
      AddPolygonItem(DB, gitRiver, "River " + std::to_string(f.Id), f.Points, false,
                     uint8_t(wcRiver + f.Level), 0, now);
    step();
  }
  for (int i = 0; i < NumCountries; ++i) {
    const TCountryData& c = CountryData[i];
    if (!c.Capital.str().empty()) {
      TgdbPolygon at{{float(c.CapLat), float(c.CapLong)}};
      DB.AddCity(c.Capital.str(), at, false, now, 0, 0, 0, 0, 0, float(c.CapAlt), wcCapital,
                 i);
    }
    step();
  }
  DB.SetLazyWrite(false);
  DB.SetDescription(Stamp(O, CountWorldItems(DB)));
  progress(1);
}

bool OpenWorldDB(TGeoDB& DB, const std::string& DBName, const TWorldDataOptions& O) {
  bool ok = false;
  if (std::filesystem::exists(std::filesystem::path(DBName).replace_extension(".vekgdd"))) {
    // Quiet while checking, so that a rebuild after a failed check still counts up from 0.
    bool reports = DB.OnPercDoneEnabled();
    DB.SetOnPercDoneEnabled(false);
    try {
      DB.SetDBName(DBName);
      ok = LooksComplete(DB, O);
    } catch (const std::exception&) {
      ok = false;
    }
    DB.SetOnPercDoneEnabled(reports);
    if (ok && reports && DB.OnPercentDone) DB.OnPercentDone(&DB, 100);
  }
  if (ok) return false;
  BuildWorldDB(DB, DBName, O);
  return true;
}

}  // namespace vek::viewer
