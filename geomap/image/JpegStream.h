// JPEG through libjpeg-turbo: a file decoded row by row (optionally at 1/2, 1/4 or 1/8 of each
// side, which the decoder does at a fraction of the cost), and small images to and from
// memory. Pixels are 32-bit 0xffRRGGBB, the layout of QImage::Format_RGB32.
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vek {

class TJpegFileReader {
 public:
  TJpegFileReader();
  ~TJpegFileReader();
  TJpegFileReader(const TJpegFileReader&) = delete;
  TJpegFileReader& operator=(const TJpegFileReader&) = delete;

  // Reads the header and starts decoding at 1/ScaleDenom (1, 2, 4 or 8). False with Error()
  // when the file cannot be opened or is not a JPEG.
  bool Open(const std::string& FileName, int ScaleDenom = 1);
  // Size of the file's image and of the rows delivered.
  int ImageWidth() const;
  int ImageHeight() const;
  int Width() const;
  int Height() const;
  // Next Count rows into Dest (Stride bytes apart). False with Error() when the data are
  // corrupt or end early; a truncated file is an error, not a grey bottom.
  bool ReadRows(uint8_t* Dest, int64_t Stride, int Count);
  int RowsRead() const;
  const std::string& Error() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> D;
};

// Width and height from the header alone; false when the file is not a readable JPEG.
bool JpegFileSize(const std::string& FileName, int& Width, int& Height);

// An RGB32 image as JPEG bytes (quality 1 ... 100).
bool EncodeJpeg(const QImage& Image, int Quality, std::vector<uint8_t>& Out);
// JPEG bytes as an RGB32 image; a null image when they do not decode cleanly.
QImage DecodeJpeg(const uint8_t* Data, size_t Size);

// Streams RGB32 rows into a JPEG file.
class TJpegFileWriter {
 public:
  TJpegFileWriter();
  ~TJpegFileWriter();
  TJpegFileWriter(const TJpegFileWriter&) = delete;
  TJpegFileWriter& operator=(const TJpegFileWriter&) = delete;
  bool Open(const std::string& FileName, int Width, int Height, int Quality);
  bool WriteRows(const uint8_t* Src, int64_t Stride, int Count);
  // Completes the file; false when anything failed (the disk filled, ...).
  bool Close();
  const std::string& Error() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> D;
};

}  // namespace vek
