// Qt Designer plugin: TGeoMap and TGeoAtlas in a "VekGeo" group of the widget box, with
// their published properties in the property editor.
#pragma once

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <functional>

class VekGeoWidgetPlugin : public QObject, public QDesignerCustomWidgetInterface {
  Q_OBJECT
  Q_INTERFACES(QDesignerCustomWidgetInterface)

 public:
  using Factory = std::function<QWidget*(QWidget*)>;
  VekGeoWidgetPlugin(QString ClassName, QString Include, QString ToolTip, QSize Size,
                     Factory Create, QObject* Parent);

  QString name() const override { return FClassName; }
  QString group() const override { return QStringLiteral("VekGeo"); }
  QString toolTip() const override { return FToolTip; }
  QString whatsThis() const override { return FToolTip; }
  QString includeFile() const override { return FInclude; }
  QIcon icon() const override;
  bool isContainer() const override { return false; }
  QWidget* createWidget(QWidget* Parent) override { return FCreate(Parent); }
  bool isInitialized() const override { return FInitialized; }
  void initialize(QDesignerFormEditorInterface*) override { FInitialized = true; }
  QString domXml() const override;

 private:
  QString FClassName, FInclude, FToolTip;
  QSize FSize;
  Factory FCreate;
  bool FInitialized = false;
};

class VekGeoDesignerPlugins : public QObject, public QDesignerCustomWidgetCollectionInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
  Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

 public:
  explicit VekGeoDesignerPlugins(QObject* Parent = nullptr);
  QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return FWidgets; }

 private:
  QList<QDesignerCustomWidgetInterface*> FWidgets;
};
