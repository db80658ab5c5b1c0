// Large map images: opening one as a tiled source, following its build (progress and
// repaints on the GUI thread), and letting go of it.
#include <QMetaObject>
#include <cmath>
#include <stdexcept>

#include "MapImageReaders.h"
#include "TGeoMap.h"
#include "TiledImageSource.h"

namespace vek {

std::shared_ptr<TMapImageSource> TGeoMap::OpenTiledImage(const std::string& FileName) {
  TTiledImageSource::TOptions options;
  options.CacheDir = FPyramidDir;
  if (OnDataLoading) OnDataLoading(this, psStarting, 0, false, TRect{}, std::string());
  try {
    return TTiledImageSource::Open(FileName, options);
  } catch (const std::runtime_error& e) {
    throw EVEKGeoMapError(
        ComponentMessage("cannot read map image \"" + FileName + "\" (" + e.what() + ")"));
  }
}

bool TGeoMap::OpenWithImageReaders(const std::string& FileName) {
  if (!HaveMapImageReaders()) return false;
  TMapImageRequest request;
  request.FileName = FileName;
  request.CacheDir = FPyramidDir;
  request.MemoryPixels = FMemoryPixels;
  request.PixelLimit = FPixelLimit;
  auto refused = [&](const std::string& Why) {
    return EVEKGeoMapError(ComponentMessage("cannot read map image \"" + FileName + "\" (" + Why + ")"));
  };
  std::shared_ptr<TMapImageSource> source;
  try {
    source = OpenWithMapImageReaders(request);
  } catch (const std::runtime_error& e) {
    throw refused(e.what());
  }
  if (!source) return false;
  const QSize size = source->Size();
  CheckMapImageSize(size.width(), size.height());
  if (int64_t(size.width()) * size.height() <= FMemoryPixels && source->Finished()) {
    // Small enough to hold: read whole, like the control's own formats.
    const TImageRegion whole = source->Region(QRect(QPoint(0, 0), size), 1);
    if (!source->Error().empty()) throw refused(source->Error());
    if (whole.Pixels.size() != size) throw refused("the image could not be read whole");
    GrafBmp->SetImage(whole.Pixels.convertToFormat(QImage::Format_RGB32));
    DropTiledImage();
    return true;
  }
  if (OnDataLoading) OnDataLoading(this, psStarting, 0, false, TRect{}, std::string());
  GrafBmp->SetSize(0, 0);
  AdoptTiledImage(std::move(source));
  return true;
}

void TGeoMap::AdoptTiledImage(std::shared_ptr<TMapImageSource> Source) {
  if (Source == FTiled) return;
  DropTiledImage();
  FTiled = std::move(Source);
  const TMapImageSource* source = FTiled.get();
  // Called on the worker thread: only posts. Events still queued when the control goes are
  // discarded with it, and the source is checked in case another image came meanwhile.
  FTiled->AddListener(this, [this, source] {
    QMetaObject::invokeMethod(
        this, [this, source] {
          if (FTiled.get() == source) TiledImageProgress();
        },
        Qt::QueuedConnection);
  });
  if (FTiled->Finished() && OnDataLoading)
    OnDataLoading(this, psEnding, 100, false, TRect{}, FTiled->Error());
}

void TGeoMap::DropTiledImage() {
  if (!FTiled) return;
  FTiled->RemoveListener(this);
  // The last owner's release stops the build and waits for the worker.
  FTiled.reset();
}

void TGeoMap::TiledImageProgress() {
  const bool done = FTiled->Finished();
  const double progress = FTiled->Progress();
  const std::string error = FTiled->Error();
  Paint();
  if (OnDataLoading)
    OnDataLoading(this, done ? psEnding : psRunning, uint8_t(std::lround(progress * 100)), false,
                  TRect{}, error);
}

}  // namespace vek
