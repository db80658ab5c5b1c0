// The viewer's door to GIS files through GDAL: georeferenced rasters and OziExplorer maps
// opened (calibrated on the way), vector files imported into a database of the user's, and
// the shown map's calibration exported for other tools.
#pragma once

#include <QString>

class QMenu;

namespace vek::viewer {

class ViewerWindow;

// File > Open georeferenced raster…, Import data…, Export calibration….
void AddGdalActions(ViewerWindow& W, QMenu* File);

// Calibrates Raster (GeoTIFF, .map, BSB, VRT …) into a calibration file beside it
// (<name>.xml) and opens that, the raster itself as the map image. Returns how it was
// calibrated; raises on failure.
QString OpenGeoreferenced(ViewerWindow& W, const QString& Raster);
// The same for File > Open: the report in the status bar, a failure in a message box.
void OpenGeoreferencedFile(ViewerWindow& W, const QString& Raster);

// Imports the vector file into the database Db (created when missing); returns the report.
QString ImportData(const QString& File, const QString& Db);

// The shown map's calibration by the suffix of OutFile: .vrt, .map, or else a world file.
QString ExportCalibration(ViewerWindow& W, const QString& OutFile);

}  // namespace vek::viewer
