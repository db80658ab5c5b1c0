// The Designer plugin as Designer and QUiLoader use it: a form that places both controls and
// sets their properties is loaded through the built plugin.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QUiLoader>
#include <QWidget>
#include <memory>

namespace {

constexpr const char* kForm = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Form</class>
 <widget class="QWidget" name="Form">
  <property name="geometry"><rect><x>0</x><y>0</y><width>800</width><height>400</height></rect></property>
  <widget class="vek::TGeoMap" name="geoMap">
   <property name="geometry"><rect><x>0</x><y>0</y><width>380</width><height>300</height></rect></property>
   <property name="ShowGraticule"><enum>vek::TGeoMap::PointsAndLines</enum></property>
   <property name="AntiAlias"><bool>false</bool></property>
   <property name="GratLineDist"><double>0.5</double></property>
   <property name="ColorBackGnd"><color><red>16</red><green>32</green><blue>48</blue></color></property>
   <property name="EmptyMsg"><string>No map yet</string></property>
   <property name="MapImagePixelLimit"><longlong>50000000</longlong></property>
  </widget>
  <widget class="vek::TGeoAtlas" name="geoAtlas">
   <property name="geometry"><rect><x>400</x><y>0</y><width>380</width><height>300</height></rect></property>
   <property name="MinResDiff"><double>25</double></property>
   <property name="MapOutlineVisible"><bool>false</bool></property>
   <property name="MapImagePixelLimit"><longlong>60000000</longlong></property>
  </widget>
 </widget>
</ui>
)";

TEST(DesignerPlugin, FormWithBothControlsLoads) {
  QUiLoader loader;
  loader.clearPluginPaths();
  loader.addPluginPath(VEK_DESIGNER_PLUGIN_DIR);
  EXPECT_TRUE(loader.availableWidgets().contains("vek::TGeoMap"));
  EXPECT_TRUE(loader.availableWidgets().contains("vek::TGeoAtlas"));

  QByteArray form(kForm);
  QBuffer buffer(&form);
  buffer.open(QIODevice::ReadOnly);
  std::unique_ptr<QWidget> w(loader.load(&buffer));
  ASSERT_TRUE(w) << loader.errorString().toStdString();

  // The plugin carries its own copy of the library, so the widgets are checked through the
  // meta-object system rather than by casting.
  QWidget* map = w->findChild<QWidget*>("geoMap");
  ASSERT_NE(map, nullptr);
  EXPECT_STREQ(map->metaObject()->className(), "vek::TGeoMap");
  EXPECT_EQ(map->property("ShowGraticule").toString(), "PointsAndLines");
  EXPECT_FALSE(map->property("AntiAlias").toBool());
  EXPECT_EQ(map->property("GratLineDist").toDouble(), 0.5);
  EXPECT_EQ(map->property("ColorBackGnd").value<QColor>(), QColor(16, 32, 48));
  EXPECT_EQ(map->property("EmptyMsg").toString(), "No map yet");
  EXPECT_EQ(map->property("MapImagePixelLimit").toLongLong(), 50000000);
  EXPECT_EQ(map->width(), 380);

  QWidget* atlas = w->findChild<QWidget*>("geoAtlas");
  ASSERT_NE(atlas, nullptr);
  EXPECT_STREQ(atlas->metaObject()->className(), "vek::TGeoAtlas");
  EXPECT_EQ(atlas->property("MinResDiff").toDouble(), 25.0);
  EXPECT_FALSE(atlas->property("MapOutlineVisible").toBool());
  EXPECT_EQ(atlas->property("MapImagePixelLimit").toLongLong(), 60000000);
}

}  // namespace
