// Loading the map image from a file or taking it from a bitmap.
#include <QImageReader>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "TGeoMap.h"

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

}  // namespace

void TGeoMap::CheckMapImageSize(int W, int H) const {
  if (int64_t(W) * int64_t(H) <= MaxMapImagePixels) return;
  throw EVEKGeoMapError(ComponentMessage(
      "Cannot use map image, maximum of " + std::to_string(MaxMapImagePixels) +
      " pixels exceeded (size of map is " + std::to_string(W) + " x " + std::to_string(H) + ")"));
}

void TGeoMap::AdoptMapImageSize() {
  FMapImgWidth = GrafBmp->Width();
  FMapImgHeight = GrafBmp->Height();
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
    FMapImgName.clear();
    FMapImgWidth = 0;
    FMapImgHeight = 0;
    Paint();
    return;
  }

  // Decoded into a separate image first, so that a refused one leaves the map as it was.
  const std::string ext = LowerExtension(fileName);
  auto load = [&](auto& Image, const char* format) {
    // A huge image is refused from its header, before decoding asks for its memory; the
    // decoded size is checked again.
    int W, H;
    if (HeaderImageSize(fileName, format, W, H)) CheckMapImageSize(W, H);
    Image.OnProgress = OnDataLoading;
    Image.LoadFromFile(fileName);
    CheckMapImageSize(Image.Width(), Image.Height());
    GrafBmp->Assign(Image);
  };
  if (ext == ".jpg" || ext == ".jpeg") {
    TJPEGImage jpg;
    load(jpg, "jpeg");
  } else if (ext == ".bmp") {
    TBitmap bmp;
    load(bmp, "bmp");
  } else {
    // Recording the old pixels under the name of a file that was never read would report a
    // failed load as a success; the map stays as it was.
    throw EVEKGeoMapError(ComponentMessage("unsupported type of map image file \"" + fileName +
                                           "\" (JPEG or Windows bitmap expected)"));
  }

  FMapImgName = Value;
  AdoptMapImageSize();
  Paint();
}

void TGeoMap::SetMapBitMap(const TBitmap& Value) {
  FCacheMag = 0;
  CheckMapImageSize(Value.Width(), Value.Height());
  if (&Value != GrafBmp.get()) GrafBmp->Assign(Value);
  FMapImgName = UnknownImageName;
  AdoptMapImageSize();
  Paint();
}

}  // namespace vek
