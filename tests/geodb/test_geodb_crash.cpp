// A process killed at any file change: the database that opens afterwards holds the state
// before or after the interrupted operation, nothing lost, nothing twice.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "GdbFile.h"
#include "GeoDBTestUtil.h"

using namespace vek;
using namespace geodbtest;
namespace fs = std::filesystem;

namespace {

struct Op {
  const char* Name;
  std::function<void(TGeoDB&)> Run;
};

std::vector<Op> Operations(const std::string& Base, const std::string& Source) {
  const TgdbPolygon border{{46.4f, 9.5f}, {49.0f, 17.2f}, {47.0f, 13.0f}};
  const TgdbPolygon coast{{-60, -170}, {60, 170}, {0, 0}};
  static const char kBytes[] = "0123456789abcdef";
  TMetaInfo meta{};
  meta.Caption = "caption";
  return {
      {"create", [=](TGeoDB& db) { db.SetDBName(Base); }},
      {"add town", [=](TGeoDB& db) { db.AddTown("a", 1, 2, TSCoords{47, 15}, 3, 4, 5); }},
      {"add border", [=](TGeoDB& db) { db.AddBorder("b", border, true, 1, 2, 0, 0, 0, 0, 3, 4, 5); }},
      {"add town", [=](TGeoDB& db) { db.AddTown("c", 1, 2, TSCoords{-10, 100}, 3, 4, 5); }},
      {"add BLOB from memory", [=](TGeoDB& db) { db.AddBLOB("m", 1, 2, 0, 1, 0, 1, 3, 4, 5, meta, kBytes, 16); }},
      {"add BLOB from a file", [=](TGeoDB& db) { db.AddBLOB(Source, 1, 2, 0, 1, 0, 1, 3, 4, 5, meta); }},
      {"add BLOB with its origin", [=](TGeoDB& db) { db.AddBLOB(Source, "x.bin", "/orig/x.bin", 1, 2, 0, 1, 0, 1, 3, 4, 5, meta); }},
      {"description", [=](TGeoDB& db) { db.SetDescription("world"); }},
      {"revision", [=](TGeoDB& db) { db.SetRevision(9); }},
      {"replace town", [=](TGeoDB& db) { db.ReplaceTown(1, "a2", 1, 2, TSCoords{48, 16}, 3, 4, 5); }},
      {"replace border", [=](TGeoDB& db) { db.ReplaceBorder(2, "b2", coast, false, 1, 2, 0, 0, 0, 0, 3, 4, 5); }},
      {"replace BLOB", [=](TGeoDB& db) { db.ReplaceBLOB(4, "m2", 1, 2, 0, 1, 0, 1, 3, 4, 5, meta, kBytes + 3, 9); }},
      {"delete a middle entry", [=](TGeoDB& db) { db.DeleteData(2); }},
      {"delete the last entry", [=](TGeoDB& db) { db.DeleteData(db.NumEntries()); }},
      {"lazy writing on", [=](TGeoDB& db) { db.SetLazyWrite(true); }},
      {"add lake (lazy)", [=](TGeoDB& db) { db.AddLake("l", border, 1, 2, 0, 0, 0, 0, 3, 4, 5); }},
      {"add town (lazy)", [=](TGeoDB& db) { db.AddTown("t", 1, 2, TSCoords{1, 1}, 3, 4, 5); }},
      {"delete a middle entry (lazy)", [=](TGeoDB& db) { db.DeleteData(1); }},
      {"replace town (lazy)", [=](TGeoDB& db) { db.ReplaceTown(2, "r", 1, 2, TSCoords{2, 2}, 3, 4, 5); }},
      {"lazy writing off", [=](TGeoDB& db) { db.SetLazyWrite(false); }},
      {"close", [=](TGeoDB& db) { db.SetDBName(""); }},
  };
}

// Everything an application can read from the database, checking on the way that the
// indexes agree with the item records.
std::string Snapshot(const std::string& Base) {
  TGeoDB db;
  db.SetDBName(Base);
  std::ostringstream s;
  s << "description " << db.Description() << ", revision " << db.Revision() << "\n";
  for (int e = 1; e <= db.NumEntries(); ++e) {
    const TgdbData d = db.Data(e);
    uint8_t rec[kItemRecSize];
    EncodeGdbData(d, rec);
    s << e << ": " << d.ItemId << " " << d.Name.str() << " kind " << int(d.ItemKind) << " record ";
    for (uint8_t b : rec) s << int(b) << ",";
    TgdbPolygon p;
    if (db.RetrievePolygon(e, p))
      for (const TSCoords& c : p) s << " (" << c.Latit << " " << c.Longit << ")";
    TMetaInfo m{};
    TMemoryStream blob;
    if (db.RetrieveBLOB(e, m, blob))
      s << " meta " << m.Caption.str() << "|" << m.FilePath.str() << " content "
        << std::string(reinterpret_cast<const char*>(blob.Memory()), static_cast<size_t>(blob.Size()));
    s << "\n";
    if (db.SearchForItemID(d.ItemId) != e) s << "  identifier index disagrees\n";
  }
  for (int k = 2; k <= db.NumEntries(); ++k)
    if (db.IxLatLow(k).LLValue < db.IxLatLow(k - 1).LLValue) s << "  LatLow index out of order\n";
  // An identifier is never issued twice, even after a crash.
  int32_t highest = 0;
  for (int e = 1; e <= db.NumEntries(); ++e) highest = std::max(highest, db.Data(e).ItemId);
  const int32_t next = db.Data(db.AddTown("probe", 0, 0, TSCoords{0, 0}, 0, 0, 0)).ItemId;
  if (next <= highest) s << "  identifier " << next << " issued again\n";
  db.DeleteData(db.NumEntries());
  return s.str();
}

void CopyDB(const std::string& From, const std::string& To) {
  for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"})
    if (fs::exists(From + ext)) fs::copy_file(From + ext, To + ext, fs::copy_options::overwrite_existing);
}

void RemoveDB(const std::string& Base) {
  for (const char* ext : {".vekgdd", ".vekgds", ".vekgi0", ".vekgi1", ".vekgi2", ".vekgi3", ".vekgi4"}) {
    fs::remove(Base + ext);
    fs::remove(Base + ext + std::string(".tmp"));
  }
}

int gWritesLeft = 0;

}  // namespace

TEST(GeoDBCrash, EveryWritePointLeavesTheStateBeforeOrAfter) {
  TempDir dir;
  const std::string source = dir / "source.bin";
  WriteAll(source, Bytes{'s', 'r', 'c', 0, 1, 2});
  const std::string ref = dir / "ref", snap = dir / "snap", base = dir / "db";

  // The states between the operations, from an uninterrupted run (taken from copies, so
  // that reading them does not disturb the run).
  const std::vector<Op> refOps = Operations(ref, source);
  std::vector<std::string> states;
  {
    TGeoDB db;
    RemoveDB(snap);
    states.push_back(Snapshot(snap));
    for (const Op& op : refOps) {
      op.Run(db);
      RemoveDB(snap);
      CopyDB(ref, snap);
      states.push_back(Snapshot(snap));
    }
  }

  const std::vector<Op> ops = Operations(base, source);
  int points = 0;
  for (int k = 0;; ++k) {
    RemoveDB(base);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      gWritesLeft = k;
      GdbBeforeFileChange = [] {
        if (gWritesLeft-- == 0) _exit(10);
      };
      try {
        TGeoDB db;
        for (int i = 0; i < static_cast<int>(ops.size()); ++i) {
          if (write(fds[1], &i, sizeof i) != sizeof i) _exit(3);
          ops[static_cast<size_t>(i)].Run(db);
        }
      } catch (...) {
        _exit(2);
      }
      _exit(0);
    }
    close(fds[1]);
    int at = -1, i;
    while (read(fds[0], &i, sizeof i) == sizeof i) at = i;
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    ASSERT_TRUE(code == 0 || code == 10) << "child failed with " << code << " at write " << k;
    if (code == 0) break;
    ++points;
    const std::string got = Snapshot(base);
    const std::string& before = states[static_cast<size_t>(at)];
    const std::string& after = states[static_cast<size_t>(at) + 1];
    ASSERT_TRUE(got == before || got == after)
        << "killed at write " << k << " during \"" << ops[static_cast<size_t>(at)].Name << "\"\n"
        << "got:\n" << got << "before:\n" << before << "after:\n" << after;
  }
  EXPECT_GT(points, 100);
}
