#include "VekGeoDesignerPlugin.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "Vek_geoatlas.h"
#include "Vek_geomap.h"

VekGeoWidgetPlugin::VekGeoWidgetPlugin(QString ClassName, QString Include, QString ToolTip,
                                       QSize Size, Factory Create, QObject* Parent)
    : QObject(Parent),
      FClassName(std::move(ClassName)),
      FInclude(std::move(Include)),
      FToolTip(std::move(ToolTip)),
      FSize(Size),
      FCreate(std::move(Create)) {}

// A small globe with a graticule, drawn rather than shipped.
QIcon VekGeoWidgetPlugin::icon() const {
  QPixmap pm(22, 22);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0x9c, 0xc8, 0xe8));
  p.setPen(QPen(QColor(0x20, 0x50, 0x90), 1.2));
  p.drawEllipse(QRectF(2, 2, 18, 18));
  p.drawLine(QPointF(2, 11), QPointF(20, 11));
  p.drawEllipse(QRectF(7, 2, 8, 18));
  if (FClassName.endsWith("Atlas")) p.fillRect(QRectF(13, 13, 8, 8), QColor(0xf0, 0xd0, 0x60));
  return QIcon(pm);
}

QString VekGeoWidgetPlugin::domXml() const {
  QString object = FClassName.section("::", -1);
  object[1] = object[1].toLower();
  return QStringLiteral(
             "<ui language=\"c++\"><widget class=\"%1\" name=\"%2\"><property name=\"geometry\">"
             "<rect><x>0</x><y>0</y><width>%3</width><height>%4</height></rect></property>"
             "</widget></ui>")
      .arg(FClassName, object.mid(1))
      .arg(FSize.width())
      .arg(FSize.height());
}

VekGeoDesignerPlugins::VekGeoDesignerPlugins(QObject* Parent) : QObject(Parent) {
  FWidgets << new VekGeoWidgetPlugin(
      "vek::TGeoMap", "vekgeo/Vek_geomap.h",
      "Calibrated raster map with graticule, UTM grid and landmarks", QSize(400, 300),
      [](QWidget* parent) { return new vek::TGeoMap(parent); }, this);
  FWidgets << new VekGeoWidgetPlugin(
      "vek::TGeoAtlas", "vekgeo/Vek_geoatlas.h",
      "Map with a registry of calibrated maps, switching as the user zooms", QSize(480, 320),
      [](QWidget* parent) { return new vek::TGeoAtlas(parent); }, this);
}
