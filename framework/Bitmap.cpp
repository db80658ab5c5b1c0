#include "Bitmap.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <cerrno>
#include <cstring>

namespace vek {

namespace {

void Progress(const TProgressEvent& ev, TProgressStage stage, int percent) {
  if (ev) ev(nullptr, stage, uint8_t(percent), false, TRect{}, std::string());
}

// The error code of the failed open, or "no such file" when the system gave none.
int OpenErrorCode(const std::string& fileName, int savedErrno) {
  if (savedErrno != 0) return savedErrno;
  return QFileInfo::exists(QString::fromStdString(fileName)) ? EACCES : ENOENT;
}

QImage ReadImageFile(const std::string& fileName, const char* format, const char* kind) {
  QFile f(QString::fromStdString(fileName));
  errno = 0;
  if (!f.open(QIODevice::ReadOnly)) {
    const int code = OpenErrorCode(fileName, errno);
    throw EInOutError(code, "Cannot open file \"" + fileName + "\": " + std::strerror(code));
  }
  QImageReader reader(&f, format);
  reader.setDecideFormatFromContent(false);
  QImage img = reader.read();
  if (img.isNull())
    throw EInvalidGraphic(std::string(kind) + " image is not valid: \"" + fileName + "\" (" +
                          reader.errorString().toStdString() + ")");
  return img;
}

void WriteImageFile(const QImage& img, const std::string& fileName, const char* format,
                    int quality) {
  if (img.isNull()) throw EInvalidGraphic("Cannot save an empty image to \"" + fileName + "\"");
  QFile f(QString::fromStdString(fileName));
  errno = 0;
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    const int code = errno != 0 ? errno : EACCES;
    throw EInOutError(code, "Cannot create file \"" + fileName + "\": " + std::strerror(code));
  }
  QImageWriter writer(&f, format);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(img)) {
    f.close();
    f.remove();
    throw EInOutError(EIO, "Cannot write file \"" + fileName + "\": " +
                               writer.errorString().toStdString());
  }
}

}  // namespace

TBitmap::TBitmap() : FCanvas(std::make_unique<TCanvas>(&FImage)) {}

TBitmap::TBitmap(int W, int H) : TBitmap() { SetSize(W, H); }

TBitmap::TBitmap(const TBitmap& src) : TBitmap() { Assign(src); }

TBitmap& TBitmap::operator=(const TBitmap& src) {
  if (this != &src) Assign(src);
  return *this;
}

TBitmap::~TBitmap() { FCanvas->End(); }

void TBitmap::Assign(const TBitmap& src) {
  if (this == &src) return;
  FCanvas->End();
  // Implicitly shared: whichever side paints or sets a pixel next detaches its own copy.
  FImage = src.Image();
  FPixelFormat = src.FPixelFormat;
}

void TBitmap::Assign(const TJPEGImage& src) { SetImage(src.Image()); }

void TBitmap::SetSize(int W, int H) {
  W = std::max(W, 0);
  H = std::max(H, 0);
  if (W == FImage.width() && H == FImage.height()) return;
  FCanvas->End();
  if (W == 0 || H == 0) {
    FImage = QImage();
    return;
  }
  QImage n(W, H, QImage::Format_RGB32);
  n.fill(Qt::white);
  if (!FImage.isNull()) {
    QPainter p(&n);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, FImage);
  }
  FImage = n;
}

const QImage& TBitmap::Image() const {
  FCanvas->End();
  return FImage;
}

void TBitmap::SetImage(const QImage& image) {
  FCanvas->End();
  FImage = image.format() == QImage::Format_RGB32 ? image
                                                  : image.convertToFormat(QImage::Format_RGB32);
}

void TBitmap::LoadFromFile(const std::string& fileName) {
  Progress(OnProgress, psStarting, 0);
  SetImage(ReadImageFile(fileName, "bmp", "Bitmap"));
  Progress(OnProgress, psEnding, 100);
}

void TBitmap::SaveToFile(const std::string& fileName) const {
  WriteImageFile(Image(), fileName, "bmp", -1);
}

void TJPEGImage::Assign(const TBitmap& src) { FImage = src.Image(); }

void TJPEGImage::LoadFromFile(const std::string& fileName) {
  Progress(OnProgress, psStarting, 0);
  FImage = ReadImageFile(fileName, "jpeg", "JPEG");
  Progress(OnProgress, psEnding, 100);
}

void TJPEGImage::SaveToFile(const std::string& fileName) const {
  Progress(OnProgress, psStarting, 0);
  WriteImageFile(FImage, fileName, "jpeg", FQuality);
  Progress(OnProgress, psEnding, 100);
}

}  // namespace vek
