// Large map images: the pixel limit, the tiled pyramid behind the control (its picture
// against the in-memory one under real wheel and drag events, cancel, damaged caches) and
// bad JPEG files.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QWheelEvent>
#include <sys/resource.h>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "TiledImageSource.h"
#include "test_geomap_helpers.h"

namespace vek::testing {
namespace {

namespace fs = std::filesystem;

// Something like a scanned sheet: paper noise, a grid, lines and lettering, so that a
// misplaced tile or a seam shows.
QImage ScanLike(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int n = int(seed >> 27);  // 0 ... 31
      row[x] = qRgb(220 + n / 2, 215 + n / 2, 190 + n / 2);
    }
  }
  QPainter p(&img);
  p.setPen(QPen(QColor(40, 90, 160), 2));
  for (int x = 37; x < w; x += 173) p.drawLine(x, 0, x, h);
  for (int y = 59; y < h; y += 151) p.drawLine(0, y, w, y);
  p.setPen(QPen(QColor(150, 40, 30), 3));
  for (int i = 0; i < 40; ++i) p.drawLine(i * w / 40, 0, w - i * w / 80, h);
  p.setPen(Qt::black);
  p.setFont(QFont("DejaVu Sans", 14));
  for (int y = 120; y < h; y += 331)
    for (int x = 80; x < w; x += 517) p.drawText(x, y, QString("Sheet %1/%2").arg(x).arg(y));
  return img;
}

// Per-channel mean absolute difference over the whole picture, and the worst single row
// and column (where a seam along a tile border would stand out).
struct TDiff {
  double Mean = 0, WorstRow = 0, WorstColumn = 0;
};
TDiff Compare(const QImage& A, const QImage& B, const QRect& R) {
  std::vector<double> rows(size_t(R.height())), cols(size_t(R.width()));
  double all = 0;
  for (int y = R.top(); y <= R.bottom(); ++y)
    for (int x = R.left(); x <= R.right(); ++x) {
      const QRgb a = A.pixel(x, y), b = B.pixel(x, y);
      const double d = (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                        std::abs(qBlue(a) - qBlue(b))) / 3.0;
      rows[size_t(y - R.top())] += d;
      cols[size_t(x - R.left())] += d;
      all += d;
    }
  TDiff r;
  r.Mean = all / (double(R.width()) * R.height());
  for (double v : rows) r.WorstRow = std::max(r.WorstRow, v / R.width());
  for (double v : cols) r.WorstColumn = std::max(r.WorstColumn, v / R.height());
  return r;
}

void Wheel(QWidget* w, int x, int y, int delta) {
  const QPointF p(x, y);
  QWheelEvent e(p, w->mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

void Drag(QWidget* w, int x0, int y0, int x1, int y1) {
  Press(w, x0, y0);
  Move(w, (x0 + x1) / 2, (y0 + y1) / 2);
  Move(w, x1, y1);
  Release(w, x1, y1);
}

TTiledImageSource* Tiled(const TGeoMap& M) { return dynamic_cast<TTiledImageSource*>(M.MapImageSource()); }

// Waits for the build and lets its queued notifications reach the control.
void Settle(const TGeoMap& M) {
  if (TTiledImageSource* t = Tiled(M)) t->Wait();
  QCoreApplication::processEvents();
}

int FilesIn(const QString& Dir) { return int(QDir(Dir).entryList(QDir::Files).size()); }

class GeoMapBigImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir = new QTemporaryDir;
    Big = QDir(Dir->path()).filePath("scan.jpg").toStdString();
    QImageWriter w(QString::fromStdString(Big), "jpeg");
    w.setQuality(90);
    ASSERT_TRUE(w.write(ScanLike(6000, 5000)));
  }
  static void TearDownTestSuite() {
    delete Dir;
    Dir = nullptr;
  }
  void SetUp() override { Cache = std::make_unique<QTemporaryDir>(); }

  // A shown map with a raised limit that takes the tiled path above a megapixel.
  void Prepare(TGeoMap& M, int64_t MemoryPixels = 1'000'000) {
    M.SetName("Big");
    M.resize(600, 400);
    M.SetMapImagePixelLimit(100'000'000);
    M.SetMapImageMemoryPixels(MemoryPixels);
    M.SetMapImageCacheDir(Cache->path().toStdString());
    M.show();
  }

  static inline QTemporaryDir* Dir = nullptr;
  static inline std::string Big;
  std::unique_ptr<QTemporaryDir> Cache;
};

TEST_F(GeoMapBigImage, PixelLimitIsAPropertyAndNamedInTheRefusal) {
  MapHost h;
  TestMap& m = *h.map;
  const std::string ok = WriteImage(*Dir, "ok.jpg", Solid(2000, 1500, kRed), "JPEG");
  const std::string over = WriteImage(*Dir, "over.jpg", Solid(2001, 1500, kRed), "JPEG");
  const std::string png = WriteImage(*Dir, "sheet.png", Quadrants(2001, 1500), "PNG");
  EXPECT_EQ(m.MapImagePixelLimit(), 3000000);
  EXPECT_EQ(m.property("MapImagePixelLimit").toLongLong(), 3000000);
  m.SetMapImgName(ok);
  // The default refuses exactly as the control always did, and loads no PNG.
  try {
    m.SetMapImgName(over);
    FAIL() << "no exception";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_STREQ(e.what(),
                 "Component \"Map1\": Cannot use map image, maximum of 3000000 pixels exceeded "
                 "(size of map is 2001 x 1500)");
  }
  EXPECT_THROW(m.SetMapImgName(png), EVEKGeoMapError);
  EXPECT_EQ(m.MapImgFile(), ok);
  EXPECT_EQ(m.MapImgWidth(), 2000);
  EXPECT_EQ(m.MapImageSource(), nullptr);

  // Raised, through Qt's property system as Designer would: the PNG opens, held in memory
  // below MapImageMemoryPixels; the refusal names the limit in force.
  ASSERT_TRUE(m.setProperty("MapImagePixelLimit", qint64(3002000)));
  m.SetMapImagePixelLimit(0);  // ignored
  EXPECT_EQ(m.MapImagePixelLimit(), 3002000);
  m.SetMapImageMemoryPixels(4'000'000);
  m.SetMapImgName(png);
  EXPECT_EQ(m.MapImgWidth(), 2001);
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 1999, 1499), kYellow);
  m.SetMapImgName(WriteImage(*Dir, "sheet.tif", Quadrants(300, 200), "TIFF"));
  EXPECT_EQ(PixelOf(*m.MapBitmap(), 299, 0), kGreen);
  m.SetMapImagePixelLimit(2'500'000);
  try {
    m.SetMapImgName(over);
    FAIL() << "no exception";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_NE(std::string(e.what()).find("maximum of 2500000 pixels exceeded (size of map is 2001 x 1500)"),
              std::string::npos);
  }
}

TEST_F(GeoMapBigImage, TiledPictureMatchesTheInMemoryOneUnderWheelAndDrag) {
  TGeoMap tiled, memory;
  Prepare(tiled);
  Prepare(memory, 100'000'000);
  std::vector<TProgressStage> stages;
  int lastPercent = -1;
  tiled.OnDataLoading = [&](TObject*, TProgressStage S, uint8_t P, bool, const TRect&, const std::string&) {
    stages.push_back(S);
    lastPercent = P;
  };
  tiled.SetMapImgName(Big);
  memory.SetMapImgName(Big);
  ASSERT_NE(Tiled(tiled), nullptr);
  EXPECT_EQ(memory.MapImageSource(), nullptr);
  EXPECT_EQ(tiled.MapImgWidth(), 6000);
  EXPECT_EQ(tiled.MapImgHeight(), 5000);
  // The image is not held whole: MapBitmap is empty, the first picture comes at once.
  EXPECT_TRUE(tiled.MapBitmap()->Empty());
  const QRect all(2, 2, 596, 396);
  tiled.CompositionBitmap()->Image().save("bigimage_first_picture.png");
  const TDiff first = Compare(tiled.CompositionBitmap()->Image(), memory.CompositionBitmap()->Image(), all);
  EXPECT_LT(first.Mean, 40) << "the reduced first picture shows the map";

  // The control repaints by itself as tiles arrive and reports the build's progress.
  const int before = tiled.CompositionCount();
  Settle(tiled);
  EXPECT_GT(tiled.CompositionCount(), before);
  ASSERT_FALSE(stages.empty());
  EXPECT_EQ(stages.front(), psStarting);
  EXPECT_EQ(stages.back(), psEnding);
  EXPECT_EQ(lastPercent, 100);
  EXPECT_TRUE(fs::exists(Tiled(tiled)->CacheFile()));

  // Views across tile borders; both controls get the same events. At full size and enlarged
  // the pictures agree closely, where the pyramid has the magnification's own level (1/2,
  // 1/4) within the difference of 2 x 2 averaging and Qt's smooth scaling along thin lines;
  // a seam (a white row is about 40 off) or a shifted tile would stand out as a bad row or
  // column. In between, the two smoothing filters differ more along lines, never by much on
  // the whole.
  int step = 0;
  enum TTolerance { Exact, Level, Between };
  auto check = [&](const char* what, TTolerance tol) {
    ++step;
    const QImage a = tiled.CompositionBitmap()->Image(), b = memory.CompositionBitmap()->Image();
    a.save(QString("bigimage_tiled_%1.png").arg(step));
    b.save(QString("bigimage_memory_%1.png").arg(step));
    ASSERT_EQ(tiled.TopLeft(), memory.TopLeft()) << what;
    ASSERT_EQ(tiled.Magnification(), memory.Magnification()) << what;
    const TDiff d = Compare(a, b, all);
    const double mag = tiled.Magnification();
    const double mean[] = {3, 5, 8}, worst[] = {10, 30, 70};
    EXPECT_LT(d.Mean, mean[tol]) << what << " at magnification " << mag;
    EXPECT_LT(d.WorstRow, worst[tol]) << what << " at magnification " << mag;
    EXPECT_LT(d.WorstColumn, worst[tol]) << what << " at magnification " << mag;
  };
  auto both = [&](auto&& action) {
    for (TGeoMap* m : {&tiled, &memory}) action(m);
  };
  both([](TGeoMap* m) { Drag(m, 500, 350, 100, 50); });
  check("dragged at 1:1", Exact);
  both([](TGeoMap* m) { Wheel(m, 300, 200, 240); });
  check("zoomed in by the wheel", Exact);
  both([](TGeoMap* m) { Wheel(m, 300, 200, -480); });
  check("zoomed out a little", Between);
  both([](TGeoMap* m) { Wheel(m, 300, 200, -600); });
  check("zoomed out by the wheel", Between);
  for (double mag : {0.5, 0.25}) {
    both([&](TGeoMap* m) {
      m->SetMagnification(mag);
      Drag(m, 100, 100, 377, 261);
    });
    check("dragged while reduced", Level);
  }
  both([](TGeoMap* m) { Wheel(m, 300, 200, -1200); });
  check("whole sheet", Between);
}

TEST_F(GeoMapBigImage, OpeningAnotherImageOrClosingCancelsTheBuild) {
  const std::string small = WriteImage(*Dir, "small.bmp", Quadrants(200, 100), "BMP");
  {
    TGeoMap m;
    Prepare(m);
    m.SetMapImgName(Big);
    ASSERT_NE(Tiled(m), nullptr);
    const std::string cache = Tiled(m)->CacheFile();
    m.SetMapImgName(small);  // while the pyramid is still being built
    EXPECT_EQ(m.MapImageSource(), nullptr);
    EXPECT_EQ(m.MapImgWidth(), 200);
    EXPECT_EQ(PixelOf(*m.CompositionBitmap(), 50, 20), kRed);
    // Nothing unfinished is left behind, and no late notification repaints the old image.
    EXPECT_FALSE(fs::exists(cache));
    EXPECT_EQ(FilesIn(Cache->path()), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(PixelOf(*m.CompositionBitmap(), 50, 20), kRed);

    m.SetMapImgName(Big);  // and again, then the control goes while building
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(FilesIn(Cache->path()), 0);
}

TEST_F(GeoMapBigImage, DamagedOrStaleCacheIsRebuilt) {
  TGeoMap m;
  Prepare(m);
  m.SetMapImgName(Big);
  Settle(m);
  const std::string cache = Tiled(m)->CacheFile();
  const QImage good = m.CompositionBitmap()->Image().copy();
  ASSERT_TRUE(fs::exists(cache));

  // A reopen reads the cache and decodes only the tiles it shows.
  m.SetMapImgName(Big);
  EXPECT_TRUE(Tiled(m)->Finished());
  EXPECT_LE(Tiled(m)->TilesDecoded(), 30);
  EXPECT_LT(Compare(m.CompositionBitmap()->Image(), good, QRect(2, 2, 596, 396)).Mean, 0.5);

  // Cut short between runs: the index does not fit, the pyramid is built again. What a
  // process that died while building left beside it goes too.
  const std::string orphan = cache + ".part999999999-1";
  std::ofstream(orphan) << "unfinished";
  fs::resize_file(cache, fs::file_size(cache) - 100);
  m.SetMapImgName(Big);
  Settle(m);
  EXPECT_TRUE(Tiled(m)->Error().empty());
  std::vector<TTileEntry> index;
  EXPECT_FALSE(fs::exists(orphan));
  EXPECT_TRUE(ReadPyramidIndex(cache, Tiled(m)->Layout(), TSourceStamp{fs::file_size(Big),
              int64_t(fs::last_write_time(Big).time_since_epoch().count())}, index));

  // A tile's bytes changed: noticed when it is read, then rebuilt; the picture comes back.
  {
    std::fstream f(cache, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(64 + 500);
    f.write("\x12\x34\x56\x78\x9a\xbc\xde\xf0", 8);
  }
  m.SetMapImgName(Big);
  Settle(m);
  m.Paint();
  EXPECT_TRUE(Tiled(m)->Error().empty());
  EXPECT_LT(Compare(m.CompositionBitmap()->Image(), good, QRect(2, 2, 596, 396)).Mean, 0.5);

  // A changed image file gets a cache of its own.
  fs::last_write_time(Big, fs::last_write_time(Big) + std::chrono::seconds(5));
  m.SetMapImgName(Big);
  EXPECT_NE(Tiled(m)->CacheFile(), cache);
  Settle(m);
}

// The file-size limit of the process stands in for a disk that fills up.
TEST_F(GeoMapBigImage, CacheWriteFailureKeepsThePictureAndLeavesNoFile) {
  TGeoMap m;
  Prepare(m);
  std::string reported;
  m.OnDataLoading = [&](TObject*, TProgressStage S, uint8_t, bool, const TRect&, const std::string& Msg) {
    if (S == psEnding) reported = Msg;
  };
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 2 << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  m.SetMapImgName(Big);
  Settle(m);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  ASSERT_NE(Tiled(m), nullptr);
  EXPECT_NE(Tiled(m)->Error().find("disk full"), std::string::npos) << Tiled(m)->Error();
  EXPECT_EQ(reported, Tiled(m)->Error());
  EXPECT_EQ(FilesIn(Cache->path()), 0);
  // The reduced picture still shows the map: yellowish paper, not the grey background or an
  // empty white.
  m.Paint();
  const QImage shown = m.CompositionBitmap()->Image().copy(50, 50, 500, 300).scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  EXPECT_GT(qRed(shown.pixel(0, 0)) - qBlue(shown.pixel(0, 0)), 15);
  // With room again the next open builds the pyramid.
  m.SetMapImgName(Big);
  Settle(m);
  EXPECT_TRUE(Tiled(m)->Error().empty());
  EXPECT_TRUE(fs::exists(Tiled(m)->CacheFile()));
}

TEST_F(GeoMapBigImage, BadJpegsRaiseAndKeepTheMap) {
  MapHost h;
  TestMap& m = *h.map;
  m.SetMapImagePixelLimit(int64_t(5) << 30);
  m.SetMapImageMemoryPixels(1'000'000);
  m.SetMapImageCacheDir(Cache->path().toStdString());
  const std::string ok = WriteImage(*Dir, "keep.bmp", Quadrants(40, 30), "BMP");
  m.SetMapImgName(ok);

  // Half of the scan.
  const std::string cut = QDir(Dir->path()).filePath("cut.jpg").toStdString();
  fs::copy_file(Big, cut, fs::copy_options::overwrite_existing);
  fs::resize_file(cut, fs::file_size(cut) / 2);
  // A header that claims 65535 x 65535 pixels over a few bytes of data.
  QByteArray bytes;
  {
    QFile f(QString::fromStdString(WriteImage(*Dir, "tiny.jpg", Solid(16, 16, kBlue), "JPEG")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    bytes = f.readAll();
  }
  const int sof = int(bytes.indexOf("\xFF\xC0"));
  ASSERT_GT(sof, 0);
  for (int i = 5; i < 9; ++i) bytes[sof + i] = char(0xFF);
  const std::string huge = QDir(Dir->path()).filePath("huge.jpg").toStdString();
  {
    QFile f(QString::fromStdString(huge));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  const std::string junk = QDir(Dir->path()).filePath("junk.jpg").toStdString();
  std::ofstream(junk) << "\xFF\xD8\xFF\xE0 not really";

  for (const std::string& bad : {cut, huge, junk}) {
    EXPECT_THROW(m.SetMapImgName(bad), EVEKError) << bad;
    EXPECT_EQ(m.MapImgFile(), ok);
    EXPECT_EQ(m.MapImgWidth(), 40);
    EXPECT_EQ(PixelOf(*m.CompositionBitmap(), 10, 10), kRed);
  }
  EXPECT_EQ(FilesIn(Cache->path()), 0);
  // Under the default limit the huge header is refused by its size alone.
  m.SetMapImagePixelLimit(TGeoMap::MaxMapImagePixels);
  try {
    m.SetMapImgName(huge);
    FAIL() << "no exception";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_NE(std::string(e.what()).find("(size of map is 65535 x 65535)"), std::string::npos);
  }
}

TEST_F(GeoMapBigImage, FilesOfATiledImage) {
  TGeoMap m;
  Prepare(m);
  const std::string copy = QDir(Dir->path()).filePath("sheet.jpg").toStdString();
  fs::copy_file(Big, copy, fs::copy_options::overwrite_existing);
  m.SetMapImgName(copy);
  Settle(m);
  const std::string cache = Tiled(m)->CacheFile();
  EXPECT_THROW(m.ResizeMap(0.5), EVEKGeoMapError);

  // Saving copies the unchanged JPEG; renaming takes the cache along.
  QTemporaryDir out;
  m.SaveMap(QDir(out.path()).filePath("saved.bmp").toStdString(), "id");
  EXPECT_EQ(fs::file_size(QDir(out.path()).filePath("saved.jpg").toStdString()), fs::file_size(copy));
  EXPECT_TRUE(QFile::exists(QDir(out.path()).filePath("saved.xml")));
  EXPECT_EQ(m.MapImgFile(), "saved.jpg");
  m.SetMapImgName(copy);
  ASSERT_TRUE(m.RenameMapImg("renamed"));
  const std::string renamed = QDir(Dir->path()).filePath("renamed.jpg").toStdString();
  EXPECT_EQ(m.MapImgFile(), renamed);
  EXPECT_FALSE(fs::exists(cache));
  EXPECT_EQ(Tiled(m)->CacheFile(), TTiledImageSource::CacheFileFor(renamed, Cache->path().toStdString()));
  EXPECT_TRUE(fs::exists(Tiled(m)->CacheFile()));
  m.SetMapImgName(renamed);
  EXPECT_TRUE(Tiled(m)->Finished());  // found its cache under the new name

  // The clipboard gets the view.
  m.CopyToClipboard();
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(600, 400));

  // A PNG above the in-memory size takes the tiled path too; saving streams its tiles.
  const std::string png = WriteImage(*Dir, "quad.png", Quadrants(1400, 1000), "PNG");
  m.SetMapImgName(png);
  ASSERT_NE(Tiled(m), nullptr);
  Settle(m);
  m.SaveMap(QDir(out.path()).filePath("quad.jpg").toStdString(), "id");
  const QImage saved(QDir(out.path()).filePath("quad.jpg"));
  ASSERT_EQ(saved.size(), QSize(1400, 1000));
  EXPECT_TRUE(Near(PixelOf(saved, 100, 100), kRed, 8));
  EXPECT_TRUE(Near(PixelOf(saved, 1300, 900), kYellow, 8));
  EXPECT_TRUE(Near(PixelOf(saved, 690, 490), kRed, 30));
}

}  // namespace
}  // namespace vek::testing
