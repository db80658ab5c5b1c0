#include "GdalImageSource.h"

#include <algorithm>

#include "GdalPixels.h"
#include "TiledImageSource.h"

namespace vek {

using gdalbridge::OpenDataset;
using gdalbridge::TRgbReader;

namespace {

// Reads at most this many pixels per GDAL request, so that a very wide raster does not ask
// for a strip of gigabytes.
constexpr int64_t ChunkPixels = int64_t(1) << 22;

// Rows top to bottom for the pyramid builder; a dataset of its own, used on the worker.
class TGdalRowReader : public TImageRowReader {
 public:
  explicit TGdalRowReader(const std::string& FileName)
      : FReader(OpenDataset(FileName, GDAL_OF_RASTER), FileName) {}
  int Width() const override { return FReader.Width(); }
  int Height() const override { return FReader.Height(); }
  std::string Error() const override { return FReader.Error(); }
  bool ReadRows(uint32_t* Dst, size_t Stride, int N) override {
    const int W = Width();
    const int step = int(std::max<int64_t>(1, ChunkPixels / W));
    for (int i = 0; i < N; i += step) {
      const int n = std::min(step, N - i);
      uint32_t* to = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(Dst) + Stride * size_t(i));
      if (!FReader.Read(0, FY + i, W, n, W, n, to, Stride)) return false;
    }
    FY += N;
    return true;
  }

 private:
  TRgbReader FReader;
  int FY = 0;
};

}  // namespace

TGdalImageSource::TGdalImageSource(const std::string& FileName, size_t TileCacheBytes)
    : FReader(std::make_unique<TRgbReader>(OpenDataset(FileName, GDAL_OF_RASTER), FileName)),
      FMemory(TileCacheBytes) {
  // Beyond this the pyramid's tile numbers would not fit an int.
  if (int64_t(FReader->Width()) * FReader->Height() > (int64_t(1) << 40))
    throw EVEKGeoGdalError("\"" + FileName + "\" is too large to be shown");
  FLayout = TPyramidLayout::For(FReader->Width(), FReader->Height());
  // The coarsest level is one tile: the reduced picture under tiles not read yet.
  const int top = FLayout.Levels() - 1;
  FPreview = Tile(top, 0, 0);
}

TGdalImageSource::~TGdalImageSource() = default;

bool TGdalImageSource::HasOverviews() const { return FReader->HasOverviews(); }

QImage TGdalImageSource::Tile(int Level, int TX, int TY) {
  const int idx = FLayout.TileIndex(Level, TX, TY);
  if (const QImage* held = FMemory.Find(idx)) return *held;
  constexpr int T = TPyramidLayout::TileSize;
  const int tw = std::min(T, FLayout.LevelW[size_t(Level)] - TX * T);
  const int th = std::min(T, FLayout.LevelH[size_t(Level)] - TY * T);
  // The tile's full-resolution window; the last tiles of a level may cover less than
  // their share of the image when a side is not a multiple of the level's factor.
  const int f = 1 << Level;
  const int x0 = TX * T * f, y0 = TY * T * f;
  const int x1 = std::min(FLayout.Width, (TX * T + tw) * f);
  const int y1 = std::min(FLayout.Height, (TY * T + th) * f);
  QImage tile(tw, th, QImage::Format_RGB32);
  if (tile.isNull() || x1 <= x0 || y1 <= y0) return {};
  if (!FReader->Read(x0, y0, x1 - x0, y1 - y0, tw, th, reinterpret_cast<uint32_t*>(tile.bits()),
                     size_t(tile.bytesPerLine()))) {
    FError = FReader->Error();
    return {};
  }
  ++FTilesRead;
  FMemory.Put(idx, tile);
  return tile;
}

bool IsGdalRaster(const std::string& FileName) {
  GdalInit();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  GDALDriverH driver = GDALIdentifyDriverEx(FileName.c_str(), GDAL_OF_RASTER, nullptr, nullptr);
  CPLPopErrorHandler();
  return driver != nullptr;
}

bool IsGeoreferencedRaster(const std::string& FileName) {
  if (!IsGdalRaster(FileName)) return false;
  try {
    gdalbridge::DatasetPtr ds = OpenDataset(FileName, GDAL_OF_RASTER);
    double g[6];
    return ds->GetGCPCount() > 0 || ds->GetGeoTransform(g) == CE_None;
  } catch (const std::exception&) {
    return false;
  }
}

std::shared_ptr<TMapImageSource> OpenGdalMapImage(const TMapImageRequest& Request) {
  if (!IsGdalRaster(Request.FileName)) return nullptr;
  int64_t pixels = 0;
  bool overviews = false;
  {
    // Size and overviews first: nothing is read of an image that is refused or built into
    // a pyramid.
    gdalbridge::DatasetPtr ds = OpenDataset(Request.FileName, GDAL_OF_RASTER);
    pixels = int64_t(ds->GetRasterXSize()) * ds->GetRasterYSize();
    overviews = ds->GetRasterCount() > 0 && ds->GetRasterBand(1)->GetOverviewCount() > 0;
    if (Request.PixelLimit > 0 && pixels > Request.PixelLimit)
      throw EVEKGeoGdalError("the image has " + std::to_string(ds->GetRasterXSize()) + " x " +
                             std::to_string(ds->GetRasterYSize()) + " pixels, more than the " +
                             std::to_string(Request.PixelLimit) + " allowed");
  }
  if (overviews || pixels <= Request.MemoryPixels) {
    auto direct = std::make_shared<TGdalImageSource>(Request.FileName, Request.TileCacheBytes);
    if (!direct->Error().empty())
      throw EVEKGeoGdalError("cannot read \"" + Request.FileName + "\": " + direct->Error());
    return direct;
  }
  TTiledImageSource::TOptions options;
  options.CacheDir = Request.CacheDir;
  options.TileCacheBytes = Request.TileCacheBytes;
  return TTiledImageSource::Open(Request.FileName, options,
                                 [](const std::string& File) -> std::unique_ptr<TImageRowReader> {
                                   return std::make_unique<TGdalRowReader>(File);
                                 });
}

void RegisterGdalMapImages() { RegisterMapImageReader("gdal", OpenGdalMapImage); }

}  // namespace vek
