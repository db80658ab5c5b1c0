#include "TiledImageSource.h"

#include <QCryptographicHash>
#include <QImageReader>
#include <QPainter>
#include <QStandardPaths>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "JpegStream.h"
#include "PyramidBuilder.h"

namespace vek {

namespace fs = std::filesystem;

namespace {

// Qt's readers decode whole images; beyond this a file that is not a JPEG is refused
// rather than asking for gigabytes.
constexpr int64_t MaxWholeDecodePixels = int64_t(1) << 28;
// Rows decoded between progress reports and cancel checks.
constexpr int StripRows = TPyramidLayout::TileSize;

bool IsJpegName(const std::string& Name) {
  std::string ext = fs::path(Name).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".jpg" || ext == ".jpeg";
}

bool StampOf(const std::string& FileName, TSourceStamp& Stamp) {
  std::error_code ec;
  const fs::path p(FileName);
  Stamp.Size = fs::file_size(p, ec);
  if (ec) return false;
  Stamp.MTime = int64_t(fs::last_write_time(p, ec).time_since_epoch().count());
  return !ec;
}

std::string DefaultCacheDir() {
  return (fs::path(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString()) /
          "vekgeo" / "pyramids")
      .string();
}

// Unfinished pyramids of this cache file left by a process that ended during the build.
void RemoveOrphanedParts(const std::string& CachePath) {
  const fs::path cache(CachePath);
  const std::string prefix = cache.filename().string() + ".part";
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(cache.parent_path(), ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH) fs::remove(e.path(), ec);
  }
}

}  // namespace

std::string TTiledImageSource::CacheFileFor(const std::string& FileName, const std::string& CacheDir) {
  TSourceStamp stamp;
  if (!StampOf(FileName, stamp)) return {};
  std::error_code ec;
  const std::string abs = fs::absolute(fs::path(FileName), ec).lexically_normal().string();
  const std::string key = abs + "\n" + std::to_string(stamp.Size) + "\n" + std::to_string(stamp.MTime);
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(key), QCryptographicHash::Sha1).toHex();
  const std::string dir = CacheDir.empty() ? DefaultCacheDir() : CacheDir;
  return (fs::path(dir) / (hash.left(24).toStdString() + ".vkpyr")).string();
}

std::shared_ptr<TTiledImageSource> TTiledImageSource::Open(const std::string& FileName,
                                                           const TOptions& Options) {
  std::shared_ptr<TTiledImageSource> s(new TTiledImageSource(Options));
  s->FFileName = FileName;
  s->FJpeg = IsJpegName(FileName);
  int w = 0, h = 0;
  if (s->FJpeg) {
    if (!JpegFileSize(FileName, w, h)) throw std::runtime_error("not a readable JPEG file");
  } else {
    QImageReader reader(QString::fromStdString(FileName));
    const QSize size = reader.size();
    if (!size.isValid()) throw std::runtime_error("cannot read the image's size");
    w = size.width();
    h = size.height();
    if (int64_t(w) * h > MaxWholeDecodePixels)
      throw std::runtime_error("images of this format above " + std::to_string(MaxWholeDecodePixels) +
                               " pixels must be JPEG files");
    // Raised here, on the opening thread, for the worker's whole decode.
    const int64_t mb = int64_t(w) * h * 4 / (1 << 20) + 1;
    if (QImageReader::allocationLimit() < mb) QImageReader::setAllocationLimit(int(mb));
  }
  return OpenSized(std::move(s), w, h);
}

std::shared_ptr<TTiledImageSource> TTiledImageSource::Open(const std::string& FileName,
                                                           const TOptions& Options,
                                                           TImageRowReaderFactory Rows) {
  std::shared_ptr<TTiledImageSource> s(new TTiledImageSource(Options));
  s->FFileName = FileName;
  s->FRows = std::move(Rows);
  s->FFirstRows = s->FRows(FileName);
  if (!s->FFirstRows) throw std::runtime_error("cannot read the image");
  // Read before the call: its arguments are initialised in no fixed order.
  const int w = s->FFirstRows->Width(), h = s->FFirstRows->Height();
  return OpenSized(std::move(s), w, h);
}

std::shared_ptr<TTiledImageSource> TTiledImageSource::OpenSized(std::shared_ptr<TTiledImageSource> s,
                                                                int w, int h) {
  const std::string& FileName = s->FFileName;
  const TOptions& Options = s->FOptions;
  if (w < 1 || h < 1) throw std::runtime_error("the image is empty");
  // Beyond this the pyramid's tile numbers would not fit an int.
  if (int64_t(w) * h > (int64_t(1) << 40)) throw std::runtime_error("the image is too large to be shown");
  if (!StampOf(FileName, s->FStamp)) throw std::runtime_error("cannot examine the file");
  s->FLayout = TPyramidLayout::For(w, h);
  s->FCachePath = CacheFileFor(FileName, Options.CacheDir);
  s->FIndex.assign(size_t(s->FLayout.TileCount), TTileEntry{});

  std::vector<TTileEntry> index;
  if (ReadPyramidIndex(s->FCachePath, s->FLayout, s->FStamp, index)) {
    s->FIndex = std::move(index);
    s->FComplete = true;
    s->FReadPath = s->FCachePath;
    const int top = s->FLayout.Levels() - 1;
    const QImage preview =
        s->LevelPixels(top, QRect(0, 0, s->FLayout.LevelW[size_t(top)], s->FLayout.LevelH[size_t(top)]));
    std::lock_guard lock(s->FMutex);
    // A damaged top tile has started a rebuild; the preview then comes from the decode.
    if (s->FComplete) {
      s->FPreview = preview;
      s->FFirstRows.reset();
      return s;
    }
  }
  std::error_code ec;
  fs::remove(s->FCachePath, ec);  // stale or damaged
  RemoveOrphanedParts(s->FCachePath);
  if (s->FJpeg) s->DecodeJpegPreview();
  if (!s->FBuilding) s->StartBuild();
  return s;
}

TTiledImageSource::~TTiledImageSource() {
  Cancel();
  if (FRead) std::fclose(FRead);
}

void TTiledImageSource::Cancel() {
  FCancel = true;
  if (FWorker.joinable()) FWorker.join();
}

void TTiledImageSource::Wait() {
  if (FWorker.joinable()) FWorker.join();
}

double TTiledImageSource::Progress() const {
  std::lock_guard lock(FMutex);
  if (FComplete) return 1;
  return double(FRowsDone) / double(std::max(FLayout.Height, 1));
}

bool TTiledImageSource::Finished() const {
  std::lock_guard lock(FMutex);
  return !FBuilding;
}

std::string TTiledImageSource::Error() const {
  std::lock_guard lock(FMutex);
  return FError;
}

QImage TTiledImageSource::Preview() const {
  std::lock_guard lock(FMutex);
  return FPreview;
}

void TTiledImageSource::AddListener(const void* Key, std::function<void()> Fn) {
  std::lock_guard lock(FMutex);
  FListeners.emplace_back(Key, std::move(Fn));
}

void TTiledImageSource::RemoveListener(const void* Key) {
  std::lock_guard lock(FMutex);
  std::erase_if(FListeners, [Key](const auto& L) { return L.first == Key; });
}

void TTiledImageSource::Notify() {
  // Listeners only post an event, so holding the lock keeps a removed one from running.
  std::lock_guard lock(FMutex);
  for (auto& l : FListeners) l.second();
}

// ---- the reduced picture ----

void TTiledImageSource::DecodeJpegPreview() {
  TJpegFileReader r;
  if (!r.Open(FFileName, 8)) throw std::runtime_error(r.Error());
  const int w8 = r.Width(), h8 = r.Height();
  // A further box reduction keeps the picture of a gigapixel image small.
  int f = 1;
  while (int64_t((w8 + f - 1) / f) * ((h8 + f - 1) / f) > FOptions.PreviewPixels) ++f;
  const int pw = (w8 + f - 1) / f, ph = (h8 + f - 1) / f;
  QImage out(pw, ph, QImage::Format_RGB32);
  QImage rows(w8, f, QImage::Format_RGB32);
  if (out.isNull() || rows.isNull()) throw std::runtime_error("out of memory for the image's picture");
  std::vector<uint32_t> sum(size_t(pw) * 4);
  for (int oy = 0; oy < ph; ++oy) {
    const int n = std::min(f, h8 - oy * f);
    if (!r.ReadRows(rows.bits(), rows.bytesPerLine(), n)) throw std::runtime_error(r.Error());
    std::fill(sum.begin(), sum.end(), 0);
    for (int y = 0; y < n; ++y) {
      const uint32_t* row = reinterpret_cast<const uint32_t*>(rows.constScanLine(y));
      for (int x = 0; x < w8; ++x) {
        uint32_t* s = &sum[size_t(x / f) * 4];
        s[0] += row[x] & 0xFF;
        s[1] += (row[x] >> 8) & 0xFF;
        s[2] += (row[x] >> 16) & 0xFF;
        s[3] += 1;
      }
    }
    uint32_t* dst = reinterpret_cast<uint32_t*>(out.scanLine(oy));
    for (int x = 0; x < pw; ++x) {
      const uint32_t* s = &sum[size_t(x) * 4];
      const uint32_t c = std::max<uint32_t>(s[3], 1);
      dst[x] = 0xFF000000u | ((s[2] + c / 2) / c) << 16 | ((s[1] + c / 2) / c) << 8 | (s[0] + c / 2) / c;
    }
  }
  std::lock_guard lock(FMutex);
  FPreview = out;
}

// ---- the build ----

void TTiledImageSource::StartBuild() {
  if (FWorker.joinable()) FWorker.join();
  {
    std::lock_guard lock(FMutex);
    FBuilding = true;
    FComplete = false;
    FError.clear();
  }
  FCancel = false;
  FRowsDone = 0;
  FWorker = std::thread([this, file = FFileName] { Build(file); });
}

void TTiledImageSource::Build(const std::string& File) {
  std::string err;
  std::string target;
  {
    std::lock_guard lock(FMutex);
    target = FCachePath;
  }
  std::error_code ec;
  fs::create_directories(fs::path(target).parent_path(), ec);
  // Built under a name of its own, so that an unfinished file is never taken for a cache.
  const std::string part = target + ".part" + std::to_string(getpid()) + "-" +
                           std::to_string(reinterpret_cast<uintptr_t>(this));
  TPyramidWriter writer;
  bool ok = writer.Open(part, FLayout, FStamp);
  if (!ok) err = "cannot write the tile cache \"" + part + "\"";
  std::vector<TTileEntry> local(size_t(FLayout.TileCount));
  if (ok) {
    {
      std::lock_guard lock(FMutex);
      FReadPath = part;
    }
    TPyramidBuilder builder(FLayout, [&](int L, int TX, int TY, const QImage& Tile) {
      if (FCancel) return false;
      std::vector<uint8_t> bytes;
      TTileEntry e;
      if (!EncodeJpeg(Tile, FOptions.TileQuality, bytes)) {
        err = "cannot encode a tile";
        return false;
      }
      if (!writer.Put(bytes, e)) {
        err = "cannot write the tile cache (is the disk full?)";
        return false;
      }
      const int idx = FLayout.TileIndex(L, TX, TY);
      local[size_t(idx)] = e;
      std::lock_guard lock(FMutex);
      FIndex[size_t(idx)] = e;
      return true;
    });
    ok = FJpeg ? BuildFromJpeg(File, builder, err)
         : FRows ? BuildFromRows(File, builder, err)
                 : BuildFromQt(File, builder, err);
    ok = ok && !FCancel;
    if (ok && !writer.Finish(local)) {
      ok = false;
      err = "cannot write the tile cache (is the disk full?)";
    }
  }
  std::lock_guard lock(FMutex);
  if (ok) {
    // The cache may have moved with its image meanwhile.
    fs::rename(part, FCachePath, ec);
    if (!ec) FReadPath = FCachePath;
    FComplete = true;
  } else {
    writer.Abandon();
    fs::remove(part, ec);
    // Tiles of a deleted file cannot be trusted to stay readable.
    FIndex.assign(FIndex.size(), TTileEntry{});
    if (!FCancel) FError = err;
  }
  FBuilding = false;
  if (!FCancel)
    for (auto& l : FListeners) l.second();
}

bool TTiledImageSource::BuildFromJpeg(const std::string& File, TPyramidBuilder& B, std::string& Err) {
  TJpegFileReader r;
  if (!r.Open(File, 1) || r.Width() != FLayout.Width || r.Height() != FLayout.Height) {
    Err = r.Error().empty() ? "the image file changed" : r.Error();
    return false;
  }
  QImage strip(FLayout.Width, StripRows, QImage::Format_RGB32);
  if (strip.isNull()) {
    Err = "out of memory";
    return false;
  }
  for (int y = 0; y < FLayout.Height && !FCancel;) {
    const int n = std::min(StripRows, FLayout.Height - y);
    if (!r.ReadRows(strip.bits(), strip.bytesPerLine(), n)) {
      Err = r.Error();
      return false;
    }
    for (int i = 0; i < n; ++i)
      if (!B.AddRow(reinterpret_cast<const uint32_t*>(strip.constScanLine(i)))) {
        if (Err.empty() && !FCancel) Err = "out of memory";
        return false;
      }
    y += n;
    FRowsDone = y;
    if (y < FLayout.Height) Notify();
  }
  return true;
}

bool TTiledImageSource::BuildFromQt(const std::string& File, TPyramidBuilder& B, std::string& Err) {
  QImageReader reader(QString::fromStdString(File));
  QImage img = reader.read();
  if (img.isNull()) {
    Err = reader.errorString().toStdString();
    return false;
  }
  if (img.width() != FLayout.Width || img.height() != FLayout.Height) {
    Err = "the image file changed";
    return false;
  }
  if (img.format() != QImage::Format_RGB32) img = img.convertToFormat(QImage::Format_RGB32);
  {
    // Without a reduced decode of its own, such a file shows once it is read whole.
    const double f = std::sqrt(double(FOptions.PreviewPixels) / (double(img.width()) * img.height()));
    const QImage preview =
        f >= 1 ? img.copy()
               : img.scaled(std::max(1, int(img.width() * f)), std::max(1, int(img.height() * f)),
                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::lock_guard lock(FMutex);
    FPreview = preview;
  }
  Notify();
  for (int y = 0; y < FLayout.Height && !FCancel; ++y) {
    if (!B.AddRow(reinterpret_cast<const uint32_t*>(img.constScanLine(y)))) return false;
    if ((y + 1) % StripRows == 0 && y + 1 < FLayout.Height) {
      FRowsDone = y + 1;
      Notify();
    }
  }
  return true;
}

bool TTiledImageSource::BuildFromRows(const std::string& File, TPyramidBuilder& B, std::string& Err) {
  // The reader that gave the size serves the first build; a rebuild opens a fresh one.
  std::unique_ptr<TImageRowReader> r;
  try {
    r = FFirstRows ? std::move(FFirstRows) : FRows(File);
  } catch (const std::exception& e) {
    Err = e.what();
    return false;
  }
  if (!r || r->Width() != FLayout.Width || r->Height() != FLayout.Height) {
    Err = r ? "the image file changed" : "cannot read the image";
    return false;
  }
  const int W = FLayout.Width, H = FLayout.Height;
  QImage strip(W, StripRows, QImage::Format_RGB32);
  // A reduced picture grows as the rows come (every f-th pixel of every f-th row), so that
  // the whole image shows from the first strips on; a rebuild keeps the one it has.
  bool grow;
  {
    std::lock_guard lock(FMutex);
    grow = FPreview.isNull();
  }
  int f = 1;
  while (int64_t((W + f - 1) / f) * ((H + f - 1) / f) > FOptions.PreviewPixels) ++f;
  QImage preview;
  if (grow) {
    preview = QImage((W + f - 1) / f, (H + f - 1) / f, QImage::Format_RGB32);
    if (!preview.isNull()) preview.fill(Qt::white);
    grow = !preview.isNull();
  }
  if (strip.isNull()) {
    Err = "out of memory";
    return false;
  }
  auto published = std::chrono::steady_clock::now();
  for (int y = 0; y < H && !FCancel;) {
    const int n = std::min(StripRows, H - y);
    if (!r->ReadRows(reinterpret_cast<uint32_t*>(strip.bits()), size_t(strip.bytesPerLine()), n)) {
      Err = r->Error();
      return false;
    }
    for (int i = 0; i < n; ++i) {
      const uint32_t* row = reinterpret_cast<const uint32_t*>(strip.constScanLine(i));
      if (!B.AddRow(row)) {
        if (Err.empty() && !FCancel) Err = "out of memory";
        return false;
      }
      if (grow && (y + i) % f == 0) {
        uint32_t* dst = reinterpret_cast<uint32_t*>(preview.scanLine((y + i) / f));
        for (int x = 0; x < preview.width(); ++x) dst[x] = row[x * f];
      }
    }
    y += n;
    FRowsDone = y;
    const auto now = std::chrono::steady_clock::now();
    if (grow && (now - published > std::chrono::milliseconds(250) || y >= H)) {
      published = now;
      std::lock_guard lock(FMutex);
      FPreview = preview;  // shared until the next row detaches it
    }
    if (y < H) Notify();
  }
  return true;
}

// ---- reading ----

QImage TTiledImageSource::Tile(int Level, int TX, int TY) {
  const int idx = FLayout.TileIndex(Level, TX, TY);
  if (const QImage* held = FMemory.Find(idx)) return *held;
  TTileEntry e;
  std::string path;
  bool complete;
  {
    std::lock_guard lock(FMutex);
    e = FIndex[size_t(idx)];
    path = FReadPath;
    complete = FComplete;
  }
  if (e.Length == 0) return {};
  if (FReadOpen != path) {
    if (FRead) std::fclose(FRead);
    FRead = std::fopen(path.c_str(), "rb");
    FReadOpen = path;
  }
  if (!FRead) return {};
  std::vector<uint8_t> bytes(e.Length);
  QImage img;
  if (fseeko(FRead, off_t(e.Offset), SEEK_SET) == 0 &&
      std::fread(bytes.data(), 1, bytes.size(), FRead) == bytes.size() &&
      Crc32(bytes.data(), bytes.size()) == e.Crc)
    img = DecodeJpeg(bytes.data(), bytes.size());
  const int tw = std::min(TPyramidLayout::TileSize, FLayout.LevelW[size_t(Level)] - TX * TPyramidLayout::TileSize);
  const int th = std::min(TPyramidLayout::TileSize, FLayout.LevelH[size_t(Level)] - TY * TPyramidLayout::TileSize);
  if (img.width() != tw || img.height() != th) {
    if (complete) TileDamaged();
    return {};
  }
  ++FTilesDecoded;
  FMemory.Put(idx, img);
  return img;
}

// A cache file changed between runs: forget it and build it again.
void TTiledImageSource::TileDamaged() {
  {
    std::lock_guard lock(FMutex);
    if (FBuilding) return;
    FComplete = false;
    FIndex.assign(FIndex.size(), TTileEntry{});
  }
  if (FRead) std::fclose(FRead);
  FRead = nullptr;
  FReadOpen.clear();
  FMemory.Clear();
  std::error_code ec;
  fs::remove(FCachePath, ec);
  StartBuild();
}

void TTiledImageSource::FileRenamed(const std::string& NewName) {
  const std::string newCache = CacheFileFor(NewName, FOptions.CacheDir);
  std::lock_guard lock(FMutex);
  FFileName = NewName;
  if (newCache.empty()) return;
  if (FComplete) {
    std::error_code ec;
    fs::rename(FCachePath, newCache, ec);
    if (ec) return;
    if (FReadPath == FCachePath) FReadPath = newCache;
  }
  FCachePath = newCache;
}

}  // namespace vek
