// The map control's landmark methods: the veto event, repaints, the highlight, files and
// the drawing of the mouse trace.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <vector>

#include "LandMarkInterchange.h"
#include "test_geomap_helpers.h"

using namespace vek;
using vek::testing::MapHost;

namespace {

struct Recorder {
  std::vector<TLandMarkAction> actions;
  std::vector<std::string> ids;
  std::vector<QObject*> senders;
  bool allow = true;
  void Attach(TGeoMap& map) {
    map.OnLandMarkAction = [this](TObject* Sender, bool& Allowed, TLandMarkAction A,
                                  const TLandMark& LM) {
      EXPECT_TRUE(Allowed);  // arrives preset
      senders.push_back(Sender);
      actions.push_back(A);
      ids.push_back(LM.Identifier.str());
      Allowed = allow && LM.Identifier != "keep";
    };
  }
};

}  // namespace

TEST(LandMarkMap, AddingAsksTheEventAndRepaintsOnlyWhenAdded) {
  MapHost h;
  TGeoMap& map = *h.map;
  Recorder rec;
  rec.Attach(map);

  rec.allow = false;
  int paints = map.CompositionCount();
  map.AddLandMark(1, 2, 3, TLMIdentifier("a"), 0);
  EXPECT_EQ(map.NumLandMarks(), 0);
  EXPECT_EQ(map.CompositionCount(), paints);
  ASSERT_EQ(rec.actions.size(), 1u);
  EXPECT_EQ(rec.actions[0], lmaAdd);
  EXPECT_EQ(rec.senders[0], &map);

  rec.allow = true;
  map.AddLandMark(1, 2, 3);
  map.AddLandMark(1, 2, 3, "caption", 10, 0x00FF00);
  map.AddLandMark(1, 2, 3, TLMIdentifier("b"), 2, "cap", 10, 0x00FF00);
  map.AddLandMark(1, 2, 3, lmSquare, 5, TLMIdentifier("c"), 3, 7, 1, 2, 3, true, 4, 5);
  EXPECT_EQ(map.NumLandMarks(), 4);
  EXPECT_EQ(map.CompositionCount(), paints + 4);
  EXPECT_EQ(map.GetLandMarkData(4).SymbolProps.Kind, lmSquare);
  EXPECT_EQ(map.LandMarkData(2).Caption.Text, "caption");
  EXPECT_EQ(map.LandMarkCapacity(), 1000);

  // Without a handler everything is allowed.
  map.OnLandMarkAction = nullptr;
  map.AddLandMark(0, 0, 0);
  EXPECT_EQ(map.NumLandMarks(), 5);

  // Changing a landmark repaints, an index out of range does nothing.
  TLandMark LM = map.GetLandMarkData(1);
  LM.Tag = 5;
  paints = map.CompositionCount();
  map.SetLandMarkData(6, LM);
  map.SetLandMarkData(0, LM);
  EXPECT_EQ(map.CompositionCount(), paints);
  map.SetLandMarkData(1, LM);
  EXPECT_EQ(map.CompositionCount(), paints + 1);
  EXPECT_EQ(map.GetLandMarkData(1).Tag, 5);
}

TEST(LandMarkMap, RemovalsResetTheHighlightAndRepaint) {
  MapHost h;
  TGeoMap& map = *h.map;
  Recorder rec;

  // On an empty store nothing happens at all.
  int paints = map.CompositionCount();
  EXPECT_EQ(map.RemoveLandMark(0, 0, -1, 10.0), 0);
  EXPECT_EQ(map.RemoveLandMark(TRectDouble{-1, 1, 1, -1}, -1), 0);
  EXPECT_EQ(map.RemoveLandMark(0, 0, -1), 0);
  EXPECT_EQ(map.RemoveLandMark(1), 0);
  map.RemoveAllLandMarks(uint8_t(0));
  EXPECT_EQ(map.CompositionCount(), paints);
  map.RemoveLastLandMark();  // repaints even when empty
  EXPECT_EQ(map.CompositionCount(), paints + 1);

  for (const char* id : {"a", "keep", "c", "d"}) map.AddLandMark(0, 0, 0, TLMIdentifier(id), 0);
  map.SetHighLM(3);
  rec.Attach(map);
  paints = map.CompositionCount();
  EXPECT_EQ(map.RemoveLandMark(0), 0);  // out of range, yet the highlight goes
  EXPECT_EQ(map.HighLightLandMark(), 0);
  EXPECT_EQ(map.RemoveLandMark(5), 0);
  EXPECT_EQ(map.CompositionCount(), paints + 2);
  EXPECT_TRUE(rec.actions.empty());

  map.SetHighLM(2);
  EXPECT_EQ(map.RemoveLandMark(0, 0, -1, 1.0), 3);  // "keep" is refused
  EXPECT_EQ(map.NumLandMarks(), 1);
  EXPECT_EQ(map.GetLandMarkData(1).Identifier, "keep");
  EXPECT_EQ(map.HighLightLandMark(), 0);
  EXPECT_EQ(rec.actions, std::vector<TLandMarkAction>(4, lmaRemove));

  map.SetHighLM(1);
  map.RemoveAllLandMarks();  // no event, highlight stays
  EXPECT_EQ(map.NumLandMarks(), 0);
  EXPECT_EQ(map.HighLightLandMark(), 1);
  EXPECT_EQ(rec.actions.size(), 4u);
}

TEST(LandMarkMap, LoadingReplacesWithoutEventsAndRepaints) {
  QTemporaryDir tmp;
  const std::string path = tmp.filePath("lm.xml").toStdString();
  {
    std::ofstream f(path, std::ios::binary);
    f << "<gmlandmarks sig=\"Quillwort\" id=\"one\">\r\n<landmark lat=\"5\" long=\"6\" />\r\n"
         "<landmark lat=\"7\" long=\"8\" />\r\n</gmlandmarks>\r\n";
  }
  MapHost h;
  TGeoMap& map = *h.map;
  Recorder rec;
  for (int i = 0; i < 5; ++i) map.AddLandMark(0, 0, 0);
  map.SetHighLM(4);
  rec.Attach(map);
  int paints = map.CompositionCount();
  EXPECT_FALSE(map.LoadLandMarks(tmp.filePath("missing.xml").toStdString(), ""));
  EXPECT_EQ(map.CompositionCount(), paints);
  EXPECT_TRUE(map.LoadLandMarks(path, "ONE"));
  EXPECT_EQ(map.CompositionCount(), paints + 1);
  EXPECT_EQ(map.NumLandMarks(), 2);
  EXPECT_EQ(map.HighLightLandMark(), 4);  // left as it was
  EXPECT_TRUE(rec.actions.empty());
  EXPECT_FALSE(map.LoadLandMarks(path, "two"));  // repaints, finds nothing, keeps the list
  EXPECT_EQ(map.NumLandMarks(), 2);

  const std::string saved = tmp.filePath("saved.xml").toStdString();
  map.SaveLandMarks(saved, "again");
  MapHost h2;
  EXPECT_TRUE(h2.map->LoadLandMarks(saved, "again"));
  ASSERT_EQ(h2.map->NumLandMarks(), 2);
  EXPECT_EQ(h2.map->GetLandMarkData(2), map.GetLandMarkData(2));
}

TEST(LandMarkMap, ImportAsksTheEventAndBrokenFilesAddNothing) {
  QTemporaryDir tmp;
  MapHost h;
  TGeoMap& map = *h.map;
  for (const char* id : {"a", "keep", "c"}) map.AddLandMark(1, 2, 3, TLMIdentifier(id), 0);
  const std::string gpx = tmp.filePath("x.gpx").toStdString();
  map.ExportLandMarks(gpx);

  MapHost h2;
  TGeoMap& other = *h2.map;
  Recorder rec;
  rec.Attach(other);
  other.AddLandMark(9, 9, 9, TLMIdentifier("old"), 0);
  const int paints = other.CompositionCount();
  EXPECT_EQ(other.ImportLandMarks(gpx), 2);  // "keep" is refused
  EXPECT_EQ(other.NumLandMarks(), 3);
  EXPECT_EQ(other.CompositionCount(), paints + 1);
  EXPECT_EQ(other.GetLandMarkData(2).Identifier, "a");

  const std::string bad = tmp.filePath("bad.geojson").toStdString();
  std::ofstream(bad) << "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",";
  try {
    other.ImportLandMarks(bad);
    FAIL() << "no error";
  } catch (const EVEKGeoMapError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Component \"Map1\": GeoJSON offset", 0), 0u) << e.what();
  }
  EXPECT_EQ(other.NumLandMarks(), 3);
  EXPECT_THROW(other.ImportLandMarks(tmp.filePath("none.gpx").toStdString()), EInOutError);
  EXPECT_THROW(other.ExportLandMarks(tmp.filePath("x.kml").toStdString()), EVEKGeoMapError);
}

TEST(LandMarkMap, DrawMouseTraceDrawsStrokesAndRestoresThePen) {
  MapHost h;
  auto& map = *h.map;
  TBitmap bmp(40, 20);
  TCanvas& c = *bmp.Canvas();
  c.FillSolid(TRect{0, 0, 40, 20}, 0xFFFFFF);
  c.Pen().SetColor(0x123456);
  c.Pen().SetWidth(1);
  c.Pen().SetMode(pmCopy);
  c.Brush().SetStyle(bsClear);

  map.DrawMouseTrace(0, 0, &bmp);  // no points: nothing
  EXPECT_EQ(vek::testing::PixelOf(bmp, 5, 5), 0xFFFFFFu);
  EXPECT_EQ(map.GetMTracePoint(1).State, 0xFFFF);

  // A red copy stroke (5,5)-(15,5), then a white XOR stroke (5,10)-(15,10) after a break.
  map.FLM.SetMouseTraceInvert(false);
  map.FLM.SetMouseTraceColor(0x0000FF);
  map.FLM.AppendMTracePoint(5, 5);
  map.FLM.AppendMTracePoint(15.4, 5);
  map.FLM.EndMTraceStroke();
  map.FLM.SetMouseTraceInvert(true);
  map.FLM.SetMouseTraceColor(0xFFFFFF);
  map.FLM.AppendMTracePoint(5, 10);
  map.FLM.AppendMTracePoint(15, 10);
  map.DrawMouseTrace(99, 99, &bmp);
  c.End();

  EXPECT_EQ(vek::testing::PixelOf(bmp, 5, 5), 0x0000FFu);
  EXPECT_EQ(vek::testing::PixelOf(bmp, 14, 5), 0x0000FFu);
  EXPECT_EQ(vek::testing::PixelOf(bmp, 15, 5), 0xFFFFFFu);  // the end pixel is left out
  EXPECT_EQ(vek::testing::PixelOf(bmp, 10, 7), 0xFFFFFFu);  // no line across the break
  EXPECT_EQ(vek::testing::PixelOf(bmp, 10, 10), 0x000000u);  // white XOR white
  EXPECT_EQ(c.Pen().Color(), 0x123456u);
  EXPECT_EQ(c.Pen().Style(), psSolid);
  EXPECT_EQ(c.Pen().Width(), 1);
  EXPECT_EQ(c.Pen().Mode(), pmCopy);
  EXPECT_EQ(c.Brush().Style(), bsClear);

  EXPECT_EQ(map.GetMTracePoint(5).State, 0xFFFF);
  const int paints = map.CompositionCount();
  map.ClearMouseTrace();
  EXPECT_EQ(map.NumMTracePoints(), 0);
  EXPECT_EQ(map.CompositionCount(), paints + 1);
}
