// The map image files: loading from a file or taking a bitmap, saving as JPEG with the
// calibration beside it, renaming the file, and copying the picture to the clipboard.
#include <QImageReader>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "Application.h"
#include "StrUtils.h"
#include "JpegStream.h"
#include "TGeoMap.h"
#include "TiledImageSource.h"

namespace vek {

namespace {

// Extension of the last path component, lower-cased, with its dot ("" when none). Both
// '/' and '\' separate directories.
std::string LowerExtension(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t sep = fileName.find_last_of("/\\");
  if (dot == std::string::npos || (sep != std::string::npos && sep > dot)) return {};
  std::string ext = fileName.substr(dot);
  for (char& ch : ext)
    if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
  return ext;
}

bool FileExists(const std::string& fileName) {
  if (fileName.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(fileName), ec);
}

// Width and height from a JPEG's frame header (SOFn), segment by segment up to the scan;
// false when there is none. Qt's reader gives no size for frames beyond its memory limit.
bool JpegHeaderSize(const std::string& fileName, int& W, int& H) {
  std::ifstream in(std::filesystem::path(fileName), std::ios::binary);
  auto byte = [&]() { return in.get(); };
  if (byte() != 0xFF || byte() != 0xD8) return false;
  for (int segment = 0; segment < 10000 && in; ++segment) {
    int c = byte();
    if (c != 0xFF) return false;
    while (c == 0xFF) c = byte();  // fill bytes
    if (c < 0 || c == 0xD9 || c == 0xDA) return false;  // end, or the scan without a frame
    if (c == 0x01 || (c >= 0xD0 && c <= 0xD7)) continue;  // markers without a length
    const int hi = byte(), lo = byte();
    if (hi < 0 || lo < 0) return false;
    const int length = hi << 8 | lo;
    if (length < 2) return false;
    const bool frame = c >= 0xC0 && c <= 0xCF && c != 0xC4 && c != 0xC8 && c != 0xCC;
    if (frame) {
      int b[5];
      for (int& x : b) x = byte();
      if (length < 7 || b[4] < 0) return false;
      H = b[1] << 8 | b[2];
      W = b[3] << 8 | b[4];
      return true;
    }
    in.seekg(length - 2, std::ios::cur);
  }
  return false;
}

// Width and height as the file's header states them, read without decoding the image;
// false when the header does not tell (the decoder then reports what is wrong).
bool HeaderImageSize(const std::string& fileName, const char* format, int& W, int& H) {
  if (std::string(format) == "jpeg" && JpegHeaderSize(fileName, W, H)) return true;
  QImageReader reader(QString::fromStdString(fileName), format);
  reader.setDecideFormatFromContent(false);
  const QSize size = reader.size();
  if (!size.isValid()) return false;
  W = size.width();
  H = size.height();
  return true;
}

// A PNG or TIFF file decoded whole (it fits the in-memory size).
QImage ReadQtImage(const std::string& fileName, const char* format) {
  QImageReader reader(QString::fromStdString(fileName), format);
  reader.setDecideFormatFromContent(false);
  const QSize size = reader.size();
  if (size.isValid()) {
    const int64_t mb = int64_t(size.width()) * size.height() * 4 / (1 << 20) + 1;
    if (QImageReader::allocationLimit() < mb) QImageReader::setAllocationLimit(int(mb));
  }
  const QImage image = reader.read();
  if (image.isNull())
    throw EInvalidGraphic("Image is not valid: \"" + fileName + "\" (" +
                          reader.errorString().toStdString() + ")");
  return image.convertToFormat(QImage::Format_RGB32);
}

// Directory part of a name, with its trailing separator ("" when none).
std::string DirectoryOf(const std::string& fileName) {
  const size_t sep = fileName.find_last_of("/\\");
  return sep == std::string::npos ? std::string() : fileName.substr(0, sep + 1);
}

}  // namespace

void TGeoMap::CheckMapImageSize(int W, int H) const {
  if (int64_t(W) * int64_t(H) <= FPixelLimit) return;
  throw EVEKGeoMapError(ComponentMessage(
      "Cannot use map image, maximum of " + std::to_string(FPixelLimit) +
      " pixels exceeded (size of map is " + std::to_string(W) + " x " + std::to_string(H) + ")"));
}

void TGeoMap::SetMapImagePixelLimit(int64_t Value) {
  if (Value >= 1) FPixelLimit = Value;
}

void TGeoMap::SetMapImageMemoryPixels(int64_t Value) {
  if (Value >= 1) FMemoryPixels = Value;
}

void TGeoMap::AdoptMapImageSize() {
  FMapImgWidth = FTiled ? FTiled->Size().width() : GrafBmp->Width();
  FMapImgHeight = FTiled ? FTiled->Size().height() : GrafBmp->Height();
  // AuxBmp is not sized to the image: it holds the control's picture and grows with the
  // control. An image of the size of the control is all it ever needs; sizing it to a long
  // thin image (3,000,000 x 1) and then growing it to the control's height would ask for
  // gigabytes.
  FView.TopLeft = TPoint{0, 0};
  SyncCalibImageSize();
}

void TGeoMap::SetMapImgName(const std::string& Value) {
  std::string fileName = Value;
  if (OnMapImageRequest) OnMapImageRequest(this, fileName);
  FCacheMag = 0;

  if (!FileExists(fileName)) {
    // The old pixels stay in GrafBmp; the empty name selects the empty-map picture.
    DropTiledImage();
    FMapImgName.clear();
    FMapImgWidth = 0;
    FMapImgHeight = 0;
    Paint();
    return;
  }

  // Decoded into a separate image first, so that a refused one leaves the map as it was.
  const std::string ext = LowerExtension(fileName);
  // Registered readers (GDAL's formats) take every file that is not a JPEG or bitmap.
  if (ext != ".jpg" && ext != ".jpeg" && ext != ".bmp" && OpenWithImageReaders(fileName)) {
    FMapImgName = Value;
    AdoptMapImageSize();
    Paint();
    return;
  }
  // PNG and TIFF come with a raised limit; the classic control knows JPEG and bitmap only.
  const bool extended = FPixelLimit != MaxMapImagePixels;
  const char* format = ext == ".jpg" || ext == ".jpeg" ? "jpeg"
                       : ext == ".bmp"                 ? "bmp"
                       : extended && ext == ".png"     ? "png"
                       : extended && (ext == ".tif" || ext == ".tiff") ? "tiff"
                                                                       : nullptr;
  if (!format) {
    // Recording the old pixels under the name of a file that was never read would report a
    // failed load as a success; the map stays as it was.
    throw EVEKGeoMapError(ComponentMessage(
        "unsupported type of map image file \"" + fileName +
        (extended ? "\" (JPEG, Windows bitmap, PNG or TIFF expected)"
                  : "\" (JPEG or Windows bitmap expected)")));
  }
  // A huge image is refused from its header, before decoding asks for its memory; the
  // decoded size is checked again.
  int W = 0, H = 0;
  const bool known = HeaderImageSize(fileName, format, W, H);
  if (known) CheckMapImageSize(W, H);

  // Qt's readers refuse images above their own allocation limit (256 MB) unless told.
  if (known && int64_t(W) * H <= FMemoryPixels) {
    const int64_t mb = int64_t(W) * H * 4 / (1 << 20) + 1;
    if (QImageReader::allocationLimit() < mb) QImageReader::setAllocationLimit(int(mb));
  }
  if (known && int64_t(W) * H > FMemoryPixels) {
    std::shared_ptr<TMapImageSource> tiled = OpenTiledImage(fileName);
    GrafBmp->SetSize(0, 0);
    AdoptTiledImage(std::move(tiled));
  } else {
    auto load = [&](auto& Image) {
      Image.OnProgress = OnDataLoading;
      Image.LoadFromFile(fileName);
      CheckMapImageSize(Image.Width(), Image.Height());
      GrafBmp->Assign(Image);
    };
    if (std::string(format) == "jpeg") {
      TJPEGImage jpg;
      load(jpg);
    } else if (std::string(format) == "bmp") {
      TBitmap bmp;
      load(bmp);
    } else {
      const QImage image = ReadQtImage(fileName, format);
      CheckMapImageSize(image.width(), image.height());
      GrafBmp->SetImage(image);
    }
    DropTiledImage();
  }

  FMapImgName = Value;
  AdoptMapImageSize();
  Paint();
}

void TGeoMap::SetMapBitMap(const TBitmap& Value) {
  FCacheMag = 0;
  CheckMapImageSize(Value.Width(), Value.Height());
  if (&Value != GrafBmp.get()) GrafBmp->Assign(Value);
  DropTiledImage();
  FMapImgName = UnknownImageName;
  AdoptMapImageSize();
  Paint();
}

// ---- saving, renaming, clipboard ----

void TGeoMap::SaveMap(const std::string& FileName, const std::string& DataID) {
  const std::string base = StripExtension(StripPath(FileName));
  // Neither "maps/.xml" nor a calibration file for an image that cannot be written.
  if (base.empty()) throw EVEKGeoMapError(ComponentMessage("no file name to save the map as"));
  if (!FTiled && GrafBmp->Empty()) throw EVEKGeoMapError(ComponentMessage("no map image to save"));
  const std::string dir = DirectoryOf(FileName);

  const std::string oldName = FMapImgName;
  const std::string oldCalName = FCal.Data().MapFName;
  // The calibration file records the image by the name it is saved under, without
  // directory, so that the two files can move together.
  FMapImgName = base + ".jpg";
  try {
    SaveCalDataAsXML(dir + base + ".xml", DataID);
    if (FTiled) {
      SaveTiledImage(dir + base + ".jpg");
      return;
    }
    TJPEGImage jpg;
    jpg.OnProgress = OnDataLoading;
    jpg.Assign(*GrafBmp);
    jpg.SaveToFile(dir + base + ".jpg");
  } catch (...) {
    // The map keeps naming the file it came from, not one that was never written.
    FMapImgName = oldName;
    FCal.Data().MapFName = oldCalName;
    throw;
  }
}

// A tiled JPEG is copied as it is (its pixels never change); another file is streamed
// into a JPEG strip by strip from the full-resolution tiles.
void TGeoMap::SaveTiledImage(const std::string& FileName) {
  auto* tiled = dynamic_cast<TTiledImageSource*>(FTiled.get());
  auto* pyramid = dynamic_cast<TPyramidImageSource*>(FTiled.get());
  if (!pyramid) throw EVEKGeoMapError(ComponentMessage("the map image cannot be saved"));
  namespace fs = std::filesystem;
  std::error_code ec;
  if (tiled && tiled->IsJpeg()) {
    if (fs::equivalent(fs::path(tiled->FileName()), fs::path(FileName), ec)) return;
    fs::copy_file(tiled->FileName(), FileName, fs::copy_options::overwrite_existing, ec);
    if (ec)
      throw EInOutError(ec.value(), "Cannot write file \"" + FileName + "\": " + ec.message());
    return;
  }
  if (tiled) tiled->Wait();
  if (!FTiled->Error().empty())
    throw EVEKGeoMapError(ComponentMessage("the map image cannot be saved (" + FTiled->Error() + ")"));
  const int W = FMapImgWidth, H = FMapImgHeight;
  TJpegFileWriter out;
  bool ok = out.Open(FileName, W, H, 75);
  constexpr int strip = TPyramidLayout::TileSize;
  for (int y = 0; ok && y < H; y += strip) {
    const QImage rows = pyramid->LevelPixels(0, QRect(0, y, W, std::min(strip, H - y)));
    ok = !rows.isNull() && out.WriteRows(rows.constBits(), rows.bytesPerLine(), rows.height());
    if (OnDataLoading) OnDataLoading(this, psRunning, uint8_t(100LL * y / H), false, TRect{}, "");
  }
  ok = out.Close() && ok;
  if (!ok) {
    fs::remove(FileName, ec);
    throw EInOutError(EIO, "Cannot write file \"" + FileName + "\": " + out.Error());
  }
}

bool TGeoMap::RenameMapImg(const std::string& Name) {
  if (!FileExists(FMapImgName)) return false;
  // Cleaning drops separators and drive colons, so the file cannot leave its directory.
  const std::string base = StripExtension(StripPath(ReduceStringToFN83CompliantChars(Name)));
  if (base.empty()) return false;
  const std::string oldExt = FMapImgName.substr(StripExtension(FMapImgName).size());
  const std::string newName = DirectoryOf(FMapImgName) + base + oldExt;

  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path from(FMapImgName), to(newName);
  // Renaming onto another existing file would destroy it.
  if (fs::exists(to, ec) && !fs::equivalent(from, to, ec)) return false;
  auto* tiled = dynamic_cast<TTiledImageSource*>(FTiled.get());
  const bool moveCache = tiled && fs::equivalent(fs::path(tiled->FileName()), from, ec);
  fs::rename(from, to, ec);
  if (ec) return false;
  // The cache file is keyed by the image's path: it moves along.
  if (moveCache) tiled->FileRenamed(newName);
  FMapImgName = newName;
  return true;
}

void TGeoMap::CopyToClipboard() {
  const int W = Width();
  const int H = Height();
  if (W < 1 || H < 1) return;
  // The outermost row and column keep the colour of the fresh bitmap.
  TBitmap bmp(W, H);
  TCanvas& c = *bmp.Canvas();
  const TRect inner{2, 2, std::min(W - 2, AuxBmp->Width()), std::min(H - 2, AuxBmp->Height())};
  if (inner.Right > inner.Left && inner.Bottom > inner.Top) {
    c.SetCopyMode(cmSrcCopy);
    c.CopyRect(inner, *AuxBmp->Canvas(), inner);
  }
  c.Pen().SetColor(0x000000);
  c.Pen().SetMode(pmCopy);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  c.MoveTo(1, 1);
  c.LineTo(W - 2, 1);
  c.LineTo(W - 2, H - 2);
  c.LineTo(1, H - 2);
  c.LineTo(1, 1);
  c.End();
  ClipboardSetBitmap(bmp);
}

}  // namespace vek
