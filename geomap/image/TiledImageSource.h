// A large image file shown from a pyramid of tiles. The file is decoded once, strip by strip,
// on a worker thread (libjpeg for JPEG files, a row reader for formats another unit reads,
// Qt for the rest) into JPEG tiles of every level (full size, 1/2, 1/4, ... down to one
// tile) in a cache file keyed by the image's path, size and modification time; later opens
// read that file. Tiles are read on demand through a memory cache of bounded size. Until a
// tile is there, its area comes from a reduced picture of the whole image.
#pragma once

#include <QImage>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PyramidImageSource.h"

namespace vek {
class TPyramidBuilder;
}

namespace vek {

// The rows of an image file, top to bottom, for formats the control does not decode itself.
// Used on one thread at a time (the builder's worker).
class TImageRowReader {
 public:
  virtual ~TImageRowReader() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // The next N rows into Dst (0xffRRGGBB, Stride bytes apart); false with Error() set when
  // the file cannot be read.
  virtual bool ReadRows(uint32_t* Dst, size_t Stride, int N) = 0;
  virtual std::string Error() const = 0;
};
// Opens a reader of the file at its first row (the file may have been renamed meanwhile).
using TImageRowReaderFactory = std::function<std::unique_ptr<TImageRowReader>(const std::string& FileName)>;

class TTiledImageSource : public TPyramidImageSource {
 public:
  struct TOptions {
    std::string CacheDir;                 // empty: the user's cache directory
    size_t TileCacheBytes = 96u << 20;    // decoded tiles kept in memory
    int64_t PreviewPixels = 4'000'000;    // size of the reduced picture
    int TileQuality = 90;
  };

  // Opens the image: from its cache file when one is valid, otherwise a JPEG gets its reduced
  // picture at once (a 1/8 decode) and the pyramid build starts. Throws std::runtime_error
  // with the reason when the file cannot be read or decoded.
  static std::shared_ptr<TTiledImageSource> Open(const std::string& FileName,
                                                 const TOptions& Options);
  // The same for a file read through Rows (each call gives a reader at the first row, or
  // throws std::exception with the reason; the first one gives the size). A reduced picture
  // grows as the rows are read.
  static std::shared_ptr<TTiledImageSource> Open(const std::string& FileName,
                                                 const TOptions& Options,
                                                 TImageRowReaderFactory Rows);
  ~TTiledImageSource() override;

  double Progress() const override;
  bool Finished() const override;
  std::string Error() const override;
  void Cancel() override;
  void AddListener(const void* Key, std::function<void()> Fn) override;
  void RemoveListener(const void* Key) override;

  // Blocks until the build has ended (tests and tools).
  void Wait();
  const std::string& FileName() const { return FFileName; }
  bool IsJpeg() const { return FJpeg; }
  // The cache file of this image (it exists once the build has finished).
  const std::string& CacheFile() const { return FCachePath; }
  // The reduced picture of the whole image (may be null for a file that is not a JPEG while
  // its build runs).
  QImage Preview() const override;
  // Number of tiles decoded from the cache file so far.
  int64_t TilesDecoded() const { return FTilesDecoded; }
  // The image file moved: the cache file moves with it (same key rules).
  void FileRenamed(const std::string& NewName);

  // The cache file name of an image, or "" when the file cannot be examined.
  static std::string CacheFileFor(const std::string& FileName, const std::string& CacheDir);

 private:
  explicit TTiledImageSource(const TOptions& Options) : FOptions(Options), FMemory(Options.TileCacheBytes) {}
  static std::shared_ptr<TTiledImageSource> OpenSized(std::shared_ptr<TTiledImageSource> S, int W, int H);
  void StartBuild();
  void Build(const std::string& File);
  bool BuildFromJpeg(const std::string& File, TPyramidBuilder& B, std::string& Err);
  bool BuildFromQt(const std::string& File, TPyramidBuilder& B, std::string& Err);
  bool BuildFromRows(const std::string& File, TPyramidBuilder& B, std::string& Err);
  void Notify();
  QImage Tile(int Level, int TX, int TY) override;
  void TileDamaged();
  void DecodeJpegPreview();

  std::string FFileName;
  std::string FCachePath;
  TSourceStamp FStamp;
  TOptions FOptions;
  bool FJpeg = false;
  TImageRowReaderFactory FRows;
  std::unique_ptr<TImageRowReader> FFirstRows;  // the one that gave the size, for the first build

  mutable std::mutex FMutex;  // index, preview, state, listeners
  std::vector<TTileEntry> FIndex;
  std::string FReadPath;  // file the tiles are read from
  QImage FPreview;
  std::string FError;
  bool FComplete = false;
  bool FBuilding = false;
  std::atomic<bool> FCancel{false};
  std::atomic<int> FRowsDone{0};
  std::vector<std::pair<const void*, std::function<void()>>> FListeners;
  std::thread FWorker;

  // Reading side (the thread that paints).
  std::FILE* FRead = nullptr;
  std::string FReadOpen;
  TTileMemory FMemory;
  std::atomic<int64_t> FTilesDecoded{0};
};

}  // namespace vek
