// A large image file shown from a pyramid of tiles. The file is decoded once, strip by strip,
// on a worker thread into JPEG tiles of every level (full size, 1/2, 1/4, ... down to one
// tile) in a cache file keyed by the image's path, size and modification time; later opens
// read that file. Tiles are read on demand through a memory cache of bounded size. Until a
// tile is there, its area comes from a reduced picture of the whole image.
#pragma once

#include <QImage>
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "MapImageSource.h"
#include "PyramidFile.h"

namespace vek {
class TPyramidBuilder;
}

namespace vek {

class TTiledImageSource : public TMapImageSource {
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
  ~TTiledImageSource() override;

  QSize Size() const override { return QSize(FLayout.Width, FLayout.Height); }
  TImageRegion Region(const QRect& Area, double Magnify) override;
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
  const TPyramidLayout& Layout() const { return FLayout; }
  // The reduced picture of the whole image (may be null for a file that is not a JPEG while
  // its build runs).
  QImage Preview() const;
  // Pixels of the rectangle at a level, drawn from tiles where they are there.
  QImage LevelPixels(int Level, const QRect& LevelRect);
  // Number of tiles decoded from the cache file so far.
  int64_t TilesDecoded() const { return FTilesDecoded; }
  // The image file moved: the cache file moves with it (same key rules).
  void FileRenamed(const std::string& NewName);

  // The cache file name of an image, or "" when the file cannot be examined.
  static std::string CacheFileFor(const std::string& FileName, const std::string& CacheDir);

 private:
  TTiledImageSource() = default;
  void StartBuild();
  void Build(const std::string& File);
  bool BuildFromJpeg(const std::string& File, TPyramidBuilder& B, std::string& Err);
  bool BuildFromQt(const std::string& File, TPyramidBuilder& B, std::string& Err);
  void Notify();
  QImage Tile(int Level, int TX, int TY);
  void TileDamaged();
  void DecodeJpegPreview();

  std::string FFileName;
  std::string FCachePath;
  TSourceStamp FStamp;
  TPyramidLayout FLayout;
  TOptions FOptions;
  bool FJpeg = false;

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
  struct TCached {
    QImage Image;
    std::list<int>::iterator Pos;
  };
  std::unordered_map<int, TCached> FTiles;
  std::list<int> FLru;
  size_t FTileBytes = 0;
  std::atomic<int64_t> FTilesDecoded{0};
};

}  // namespace vek
