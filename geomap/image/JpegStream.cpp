// libjpeg reports fatal errors through error_exit, which must not return; it jumps back to
// the setjmp of the call in progress. Functions that set a jump point hold no objects with
// destructors across it.
#include "JpegStream.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace vek {

namespace {

struct TJpegError {
  jpeg_error_mgr Mgr;
  jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr C) {
  TJpegError* e = reinterpret_cast<TJpegError*>(C->err);
  C->err->format_message(C, e->Message);
  longjmp(e->Jump, 1);
}

// Warnings are ignored as usual, except data that end early: the decoder would fill the
// rest with grey and call it a success.
void EmitMessage(j_common_ptr C, int Level) {
  if (Level < 0 && C->err->msg_code == JWRN_JPEG_EOF) ErrorExit(C);
}

void InitError(TJpegError& E) {
  jpeg_std_error(&E.Mgr);
  E.Mgr.error_exit = ErrorExit;
  E.Mgr.emit_message = EmitMessage;
  E.Message[0] = 0;
}

}  // namespace

// ---- file reader ----

struct TJpegFileReader::Impl {
  jpeg_decompress_struct Info{};
  TJpegError Err;
  FILE* File = nullptr;
  bool Created = false;
  bool Started = false;
  std::string Error;

  ~Impl() {
    if (Created) jpeg_destroy_decompress(&Info);
    if (File) std::fclose(File);
  }
  bool Fail() {
    Error = Err.Message[0] ? Err.Message : "JPEG decoding failed";
    return false;
  }
  // Returns false on a libjpeg error (the jump lands here).
  bool Start(int ScaleDenom) {
    InitError(Err);
    Info.err = &Err.Mgr;
    if (setjmp(Err.Jump)) return false;
    jpeg_create_decompress(&Info);
    Created = true;
    jpeg_stdio_src(&Info, File);
    jpeg_read_header(&Info, TRUE);
    Info.out_color_space = JCS_EXT_BGRX;
    Info.scale_num = 1;
    Info.scale_denom = ScaleDenom;
    Info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&Info);
    Started = true;
    return true;
  }
  bool Rows(uint8_t* Dest, int64_t Stride, int Count) {
    if (setjmp(Err.Jump)) return false;
    for (int i = 0; i < Count && Info.output_scanline < Info.output_height; ++i) {
      JSAMPROW row = Dest + Stride * i;
      jpeg_read_scanlines(&Info, &row, 1);
    }
    return true;
  }
};

TJpegFileReader::TJpegFileReader() : D(std::make_unique<Impl>()) {}
TJpegFileReader::~TJpegFileReader() = default;

bool TJpegFileReader::Open(const std::string& FileName, int ScaleDenom) {
  D = std::make_unique<Impl>();
  D->File = std::fopen(FileName.c_str(), "rb");
  if (!D->File) {
    D->Error = "cannot open the file";
    return false;
  }
  if (!D->Start(ScaleDenom)) return D->Fail();
  return true;
}

int TJpegFileReader::ImageWidth() const { return D->Created ? int(D->Info.image_width) : 0; }
int TJpegFileReader::ImageHeight() const { return D->Created ? int(D->Info.image_height) : 0; }
int TJpegFileReader::Width() const { return D->Started ? int(D->Info.output_width) : 0; }
int TJpegFileReader::Height() const { return D->Started ? int(D->Info.output_height) : 0; }
int TJpegFileReader::RowsRead() const { return D->Started ? int(D->Info.output_scanline) : 0; }
const std::string& TJpegFileReader::Error() const { return D->Error; }

bool TJpegFileReader::ReadRows(uint8_t* Dest, int64_t Stride, int Count) {
  if (!D->Started) return false;
  if (!D->Rows(Dest, Stride, Count)) {
    D->Started = false;  // the decoder is in an undefined state after an error
    return D->Fail();
  }
  return true;
}

namespace {

bool ReadHeaderSize(FILE* File, int& Width, int& Height) {
  jpeg_decompress_struct info{};
  TJpegError err;
  InitError(err);
  info.err = &err.Mgr;
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, File);
  jpeg_read_header(&info, TRUE);
  Width = int(info.image_width);
  Height = int(info.image_height);
  jpeg_destroy_decompress(&info);
  return true;
}

bool EncodeRaw(const uint8_t* Bits, int64_t Stride, int W, int H, int Quality,
               unsigned char*& Buffer, unsigned long& Size) {
  jpeg_compress_struct info{};
  TJpegError err;
  InitError(err);
  info.err = &err.Mgr;
  if (setjmp(err.Jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &Buffer, &Size);
  info.image_width = JDIMENSION(W);
  info.image_height = JDIMENSION(H);
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, Quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(Bits + Stride * info.next_scanline);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// Decodes into Image once the header has told its size; the image is created by Make.
bool DecodeRaw(const uint8_t* Data, size_t Size, QImage* Image) {
  jpeg_decompress_struct info{};
  TJpegError err;
  InitError(err);
  info.err = &err.Mgr;
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, Data, static_cast<unsigned long>(Size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRX;
  // Tiles are small; anything else is not one of ours.
  if (info.image_width > 4096 || info.image_height > 4096) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  *Image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
  if (Image->isNull()) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = Image->scanLine(int(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

bool JpegFileSize(const std::string& FileName, int& Width, int& Height) {
  FILE* f = std::fopen(FileName.c_str(), "rb");
  if (!f) return false;
  const bool ok = ReadHeaderSize(f, Width, Height);
  std::fclose(f);
  return ok;
}

bool EncodeJpeg(const QImage& Image, int Quality, std::vector<uint8_t>& Out) {
  if (Image.isNull()) return false;
  const QImage img = Image.format() == QImage::Format_RGB32 ? Image
                                                             : Image.convertToFormat(QImage::Format_RGB32);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = EncodeRaw(img.constBits(), img.bytesPerLine(), img.width(), img.height(),
                            Quality, buffer, size);
  if (ok) Out.assign(buffer, buffer + size);
  std::free(buffer);
  return ok;
}

QImage DecodeJpeg(const uint8_t* Data, size_t Size) {
  QImage image;
  if (!Data || Size == 0 || !DecodeRaw(Data, Size, &image)) return QImage();
  return image;
}

// ---- file writer ----

struct TJpegFileWriter::Impl {
  jpeg_compress_struct Info{};
  TJpegError Err;
  FILE* File = nullptr;
  bool Created = false;
  bool Failed = false;
  std::string Error;

  ~Impl() {
    if (Created) jpeg_destroy_compress(&Info);
    if (File) std::fclose(File);
  }
  bool Start(int W, int H, int Quality) {
    InitError(Err);
    Info.err = &Err.Mgr;
    if (setjmp(Err.Jump)) return false;
    jpeg_create_compress(&Info);
    Created = true;
    jpeg_stdio_dest(&Info, File);
    Info.image_width = JDIMENSION(W);
    Info.image_height = JDIMENSION(H);
    Info.input_components = 4;
    Info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, Quality, TRUE);
    jpeg_start_compress(&Info, TRUE);
    return true;
  }
  bool Rows(const uint8_t* Src, int64_t Stride, int Count) {
    if (setjmp(Err.Jump)) return false;
    for (int i = 0; i < Count && Info.next_scanline < Info.image_height; ++i) {
      JSAMPROW row = const_cast<uint8_t*>(Src + Stride * i);
      jpeg_write_scanlines(&Info, &row, 1);
    }
    return true;
  }
  bool Finish() {
    if (setjmp(Err.Jump)) return false;
    jpeg_finish_compress(&Info);
    return true;
  }
  bool Fail(const char* Fallback) {
    Failed = true;
    Error = Err.Message[0] ? Err.Message : Fallback;
    return false;
  }
};

TJpegFileWriter::TJpegFileWriter() : D(std::make_unique<Impl>()) {}
TJpegFileWriter::~TJpegFileWriter() = default;
const std::string& TJpegFileWriter::Error() const { return D->Error; }

bool TJpegFileWriter::Open(const std::string& FileName, int Width, int Height, int Quality) {
  D = std::make_unique<Impl>();
  D->File = std::fopen(FileName.c_str(), "wb");
  if (!D->File) return D->Fail("cannot create the file");
  if (!D->Start(Width, Height, Quality)) return D->Fail("JPEG encoding failed");
  return true;
}

bool TJpegFileWriter::WriteRows(const uint8_t* Src, int64_t Stride, int Count) {
  if (D->Failed || !D->Created) return false;
  if (!D->Rows(Src, Stride, Count)) return D->Fail("JPEG encoding failed");
  return true;
}

bool TJpegFileWriter::Close() {
  if (D->Failed || !D->Created) return false;
  if (!D->Finish()) return D->Fail("JPEG encoding failed");
  FILE* f = D->File;
  D->File = nullptr;
  // Buffered data reach the disk only here; a full disk shows up now.
  const bool ok = std::ferror(f) == 0 && std::fflush(f) == 0;
  if (std::fclose(f) != 0 || !ok) return D->Fail("cannot write the file");
  return true;
}

}  // namespace vek
