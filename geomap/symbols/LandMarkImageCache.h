// Images of landmark symbols and captions: each distinct symbol and caption is drawn once
// into a small transparent image, and frames blit those images instead of drawing the
// shapes and laying out the text again. The picture is the one SymbolDrawing draws.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Canvas.h"
#include "GeoMapRecords.h"
#include "SpriteBlitter.h"

namespace vek {

class TLandMarkImageCache {
 public:
  // Memory the images may take before the cache starts over.
  static constexpr size_t DefaultByteLimit = size_t(64) << 20;
  // Symbols and captions reaching further than this from their point are drawn directly.
  static constexpr int MaxReach = 512;

  explicit TLandMarkImageCache(size_t ByteLimit = DefaultByteLimit) : FByteLimit(ByteLimit) {}

  // The image of a symbol as drawn with the pen width, pen style and antialiasing of Style;
  // nullptr when it is not cached (too large, or the pen does not simply copy).
  // Memo (0, 1, 2 ...) names a slot that remembers the answer for the same symbol next
  // time without a look-up in the table: the landmark's place in the list, say.
  const TLandMarkSprite* Symbol(const TSymbolProperties& S, const TCanvas& Style,
                                int32_t Memo = -1);
  // The image of a caption with its offset left out (dx, dy are added by the caller);
  // nullptr when it is not cached. A caption gets its image when it is asked for the second
  // time, so that views of ever new captions (sampled from many landmarks) cost no more
  // than drawing them; AtOnce makes it at the first. Captions without text have no image.
  const TLandMarkSprite* Caption(const TLMTextProperties& C, const TCanvas& Style,
                                 bool AtOnce = false, int32_t Memo = -1);
  // The same with the image's box (Box of the sprite), read from the memo when it can be.
  const TLandMarkSprite* Caption(const TLMTextProperties& C, const TCanvas& Style,
                                 bool AtOnce, int32_t Memo, QRect& Box);

  void Clear();
  // Changes whenever the table starts over: sprites handed out before are gone then.
  uint64_t Epoch() const { return FEpoch; }
  size_t Bytes() const { return FBytes; }
  size_t Count() const { return FSprites.size(); }

  // Every cache starts over at its next use: for a changed symbol repository or font set.
  static void InvalidateAll();

 private:
  struct TEntry {
    std::string Key;
    TLandMarkSprite Sprite;
  };
  // The sprite the memo slot holds for Hash, if it does.
  bool Recall(int64_t Slot, uint64_t Hash, const TLandMarkSprite*& Sprite);
  // The entry of FKey (whose hash is Hash); nullptr when there is none (Taken: another key
  // has its hash).
  const TLandMarkSprite* Find(uint64_t Hash, bool& Taken, int64_t Slot);
  const TLandMarkSprite* Store(uint64_t Hash, TLandMarkSprite&& Sprite, int64_t Slot);
  void Remember(int64_t Slot, uint64_t Hash, const TLandMarkSprite* Sprite);
  void CheckGeneration();

  std::unordered_map<uint64_t, TEntry> FSprites;
  std::unordered_set<uint64_t> FSeen;  // captions asked for once
  struct TMemo {
    uint64_t Hash = 0;
    uint64_t Epoch = 0;
    const TLandMarkSprite* Sprite = nullptr;
    QRect Box;  // the sprite's, so that placing captions need not touch the sprites
  };
  std::vector<TMemo> FMemo;
  uint64_t FEpoch = 1;  // memos of an older epoch point into a cleared table
  size_t FBytes = 0;
  size_t FByteLimit;
  uint64_t FGeneration = 0;
  std::string FKey;  // reused between look-ups
  QRect* FBoxOut = nullptr;  // where the look-up under way puts the box, if anywhere
};

}  // namespace vek
