#include "MapImageReaders.h"

#include <mutex>
#include <utility>
#include <vector>

namespace vek {

namespace {

std::mutex& ReadersMutex() {
  static std::mutex m;
  return m;
}

std::vector<std::pair<std::string, TMapImageReader>>& Readers() {
  static std::vector<std::pair<std::string, TMapImageReader>> r;
  return r;
}

}  // namespace

void RegisterMapImageReader(const std::string& Key, TMapImageReader Reader) {
  std::lock_guard lock(ReadersMutex());
  std::erase_if(Readers(), [&](const auto& R) { return R.first == Key; });
  Readers().emplace_back(Key, std::move(Reader));
}

void UnregisterMapImageReader(const std::string& Key) {
  std::lock_guard lock(ReadersMutex());
  std::erase_if(Readers(), [&](const auto& R) { return R.first == Key; });
}

bool HaveMapImageReaders() {
  std::lock_guard lock(ReadersMutex());
  return !Readers().empty();
}

std::shared_ptr<TMapImageSource> OpenWithMapImageReaders(const TMapImageRequest& Request) {
  std::vector<TMapImageReader> readers;
  {
    std::lock_guard lock(ReadersMutex());
    for (auto it = Readers().rbegin(); it != Readers().rend(); ++it) readers.push_back(it->second);
  }
  for (const TMapImageReader& r : readers)
    if (auto source = r(Request)) return source;
  return nullptr;
}

}  // namespace vek
