#include "LayersMenu.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <memory>

#include "GeoDBLayer.h"
#include "TGeoAtlas.h"
#include "TGeoDB.h"
#include "TGeoMap.h"

namespace vek::viewer {

namespace {

// A database the user opened, owned by the menu so that it lives as long as its layer shows.
class OwnedDB : public QObject {
 public:
  explicit OwnedDB(QObject* Parent) : QObject(Parent) {}
  TGeoDB DB;
};

int IndexOf(TGeoMap* Map, const TMapLayer* Layer) {
  for (int i = 0; i < Map->NumLayers(); ++i)
    if (Map->Layer(i) == Layer) return i;
  return -1;
}

void AddToggle(QMenu* Menu, TGeoAtlas* Atlas, const std::shared_ptr<TGeoDBLayer>& Layer,
               const QString& Title) {
  QAction* a = Menu->addAction(Title);
  a->setCheckable(true);
  a->setChecked(Layer->Visible);
  QObject::connect(a, &QAction::toggled, Menu, [Atlas, Layer](bool on) {
    TGeoMap* map = Atlas->CurrentMap();
    if (const int i = IndexOf(map, Layer.get()); i >= 0) map->SetLayerVisible(i, on);
  });
}

}  // namespace

void AddLayersMenu(QMainWindow* Window, TGeoAtlas* Atlas, TGeoDB* World) {
  TGeoMap* map = Atlas->CurrentMap();
  auto world = std::make_shared<TGeoDBLayer>(World);
  world->Name = "World database";
  map->AddLayer(world);
  map->SetLMCaptionDeclutter(true);

  QMenu* menu = Window->menuBar()->addMenu(QObject::tr("&Layers"));
  menu->setObjectName("LayersMenu");
  AddToggle(menu, Atlas, world, QObject::tr("&World database"));
  QAction* declutter = menu->addAction(QObject::tr("&Captions without overlaps"));
  declutter->setCheckable(true);
  declutter->setChecked(true);
  QObject::connect(declutter, &QAction::toggled, menu,
                   [Atlas](bool on) { Atlas->CurrentMap()->SetLMCaptionDeclutter(on); });
  menu->addSeparator();
  QAction* open = menu->addAction(QObject::tr("&Open database…"));
  QObject::connect(open, &QAction::triggered, menu, [Window, Atlas, menu] {
    const QString file = QFileDialog::getOpenFileName(
        Window, QObject::tr("Open database"), QString(), QObject::tr("Databases (*.vekgds)"));
    if (file.isEmpty()) return;
    auto* owned = new OwnedDB(menu);
    try {
      owned->DB.SetDBName(file.toStdString());
    } catch (const std::exception& e) {
      delete owned;
      QMessageBox::warning(Window, QObject::tr("Open database"), QString::fromUtf8(e.what()));
      return;
    }
    auto layer = std::make_shared<TGeoDBLayer>(&owned->DB);
    layer->Name = QFileInfo(file).completeBaseName().toStdString();
    Atlas->CurrentMap()->AddLayer(layer);
    AddToggle(menu, Atlas, layer, QString::fromStdString(layer->Name));
  });
}

}  // namespace vek::viewer
