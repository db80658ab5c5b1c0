// Landmark store and landmark file, side by side with the plain peers:
//   adding N landmarks one by one  vs  std::vector::push_back of the same records
//   loading a file of 1,000,000 landmarks  vs  a std::getline loop over the same file
// The ratios are printed after the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "DegreeText.h"
#include "LandMarkStore.h"
#include "LandMarkXml.h"

using namespace vek;

namespace {

constexpr int kFileLandMarks = 1000000;

TLandMark Sample(const TLandMarkStore& S, int i) {
  TLandMark LM = S.MakeLandMark(47.0 + (i % 1000) * 0.001, 8.0 + (i / 1000) * 0.001, i % 3000,
                                TLMIdentifier("WP" + std::to_string(i)),
                                EncodeDateTime(2020 + i % 5, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0));
  LM.ClassFlag = static_cast<uint8_t>(i % 7);
  LM.SymbolProps.Kind = static_cast<TLandMarkElement>(i % NumLandMarkElements);
  if (i % 4 == 0) LM.Caption.Text = "Landmark number " + std::to_string(i);
  return LM;
}

std::string gWrittenFile;

// The landmark file, written once by the library's own writer.
const std::string& LandMarkFile() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("vek_bench_landmarks_" + std::to_string(getpid()) + ".xml"))
                              .string();
    TLandMarkStore S;
    for (int i = 0; i < kFileLandMarks; ++i) S.AppendLandMark(Sample(S, i));
    SaveLandMarks(p, "bench", S);
    gWrittenFile = p;
    return p;
  }();
  return path;
}

std::string gCompactFile;

// The same number of landmarks written as hand-made files usually are: position, shape
// and name only.
const std::string& CompactLandMarkFile() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("vek_bench_landmarks_compact_" + std::to_string(getpid()) + ".xml"))
                              .string();
    std::ofstream out(p, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\r\n\r\n<gmlandmarks sig=\"Quillwort\" vers=\"1.0\" id=\"bench\">\r\n";
    char line[160];
    for (int i = 0; i < kFileLandMarks; ++i) {
      std::snprintf(line, sizeof line,
                    "<landmark lat=\"%.5f\" long=\"%.5f\" element=\"square\" id=\"WP%d\" />\r\n",
                    47.0 + (i % 1000) * 0.001, 8.0 + (i / 1000) * 0.001, i);
      out << line;
    }
    out << "</gmlandmarks>\r\n";
    gCompactFile = p;
    return p;
  }();
  return path;
}

struct RemoveFileAtExit {
  ~RemoveFileAtExit() {
    std::error_code ec;
    if (!gWrittenFile.empty()) std::filesystem::remove(gWrittenFile, ec);
    if (!gCompactFile.empty()) std::filesystem::remove(gCompactFile, ec);
  }
};

void BM_StoreAddOneByOne(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const TLandMarkStore proto;
  std::vector<TLandMark> records;
  records.reserve(size_t(n));
  for (int i = 0; i < n; ++i) records.push_back(Sample(proto, i));
  for (auto _ : state) {
    TLandMarkStore S;
    for (const TLandMark& LM : records) S.AddLandMark(LM);
    benchmark::DoNotOptimize(S.Capacity());
  }
  state.SetComplexityN(n);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StoreAddOneByOne)->Arg(250000)->Arg(500000)->Arg(1000000)
    ->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)->UseRealTime();

void BM_StoreAddWithVeto(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const TLandMarkStore proto;
  std::vector<TLandMark> records;
  records.reserve(size_t(n));
  for (int i = 0; i < n; ++i) records.push_back(Sample(proto, i));
  int asked = 0;
  const TLandMarkVeto veto = [&](TLandMarkAction, const TLandMark&) { return ++asked > 0; };
  for (auto _ : state) {
    TLandMarkStore S;
    for (const TLandMark& LM : records) S.AddLandMark(LM, veto);
    benchmark::DoNotOptimize(S.Capacity());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StoreAddWithVeto)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PeerVectorPushBack(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const TLandMarkStore proto;
  std::vector<TLandMark> records;
  records.reserve(size_t(n));
  for (int i = 0; i < n; ++i) records.push_back(Sample(proto, i));
  for (auto _ : state) {
    std::vector<TLandMark> v;
    for (const TLandMark& LM : records) v.push_back(LM);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PeerVectorPushBack)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadLandMarks(benchmark::State& state) {
  const std::string& path = state.range(0) ? CompactLandMarkFile() : LandMarkFile();
  for (auto _ : state) {
    TLandMarkStore S;
    if (!LoadLandMarks(path, "bench", S) || S.NumLandMarks() != kFileLandMarks)
      state.SkipWithError("the landmark file did not load");
    benchmark::DoNotOptimize(S.NumLandMarks());
  }
  state.SetItemsProcessed(state.iterations() * kFileLandMarks);
  state.SetBytesProcessed(state.iterations() * int64_t(std::filesystem::file_size(path)));
}
// Argument 0: every attribute, as SaveLandMarks writes them; 1: position, shape and name.
BENCHMARK(BM_LoadLandMarks)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// What any reader pays to hold the landmarks: 1,000,000 appends of an empty record.
void BM_StoreAppendOnly(benchmark::State& state) {
  for (auto _ : state) {
    TLandMarkStore S;
    for (int i = 0; i < kFileLandMarks; ++i) S.AppendLandMark(TLandMark{});
    benchmark::DoNotOptimize(S.NumLandMarks());
  }
  state.SetItemsProcessed(state.iterations() * kFileLandMarks);
}
BENCHMARK(BM_StoreAppendOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PeerGetline(benchmark::State& state) {
  const std::string& path = state.range(0) ? CompactLandMarkFile() : LandMarkFile();
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    int64_t lines = 0, bytes = 0;
    while (std::getline(in, line)) {
      ++lines;
      bytes += int64_t(line.size());
    }
    benchmark::DoNotOptimize(bytes);
    if (lines < kFileLandMarks) state.SkipWithError("short file");
  }
  state.SetItemsProcessed(state.iterations() * kFileLandMarks);
  state.SetBytesProcessed(state.iterations() * int64_t(std::filesystem::file_size(path)));
}
BENCHMARK(BM_PeerGetline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Console output plus the ratios of each operation to its peer.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred)
      {
        FTimes[r.benchmark_name()] = r.GetAdjustedRealTime();
        FCpu[r.benchmark_name()] = r.GetAdjustedCPUTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ratio = [&](const char* what, const std::string& a, const std::string& b) {
      if (!FTimes.count(a) || !FTimes.count(b)) return;
      std::printf("%-56s %6.2fx real %6.2fx cpu\n", what, FTimes[a] / FTimes[b], FCpu[a] / FCpu[b]);
    };
    std::printf("\nratios:\n");
    ratio("add 1M one by one / vector push_back",
          "BM_StoreAddOneByOne/1000000/real_time", "BM_PeerVectorPushBack/1000000/real_time");
    ratio("add 1M with veto / vector push_back",
          "BM_StoreAddWithVeto/1000000/real_time", "BM_PeerVectorPushBack/1000000/real_time");
    ratio("add 1M / add 250k (linear growth: about 4)",
          "BM_StoreAddOneByOne/1000000/real_time", "BM_StoreAddOneByOne/250000/real_time");
    ratio("load 1M landmarks, all attributes / std::getline",
          "BM_LoadLandMarks/0/iterations:3/real_time", "BM_PeerGetline/0/iterations:3/real_time");
    ratio("load 1M landmarks, position+shape+id / std::getline",
          "BM_LoadLandMarks/1/iterations:3/real_time", "BM_PeerGetline/1/iterations:3/real_time");
    ratio("of which holding 1M records in the store / std::getline",
          "BM_StoreAppendOnly/iterations:3/real_time", "BM_PeerGetline/1/iterations:3/real_time");
  }

 private:
  std::map<std::string, double> FTimes, FCpu;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RemoveFileAtExit cleanup;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
