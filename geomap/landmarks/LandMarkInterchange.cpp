#include "LandMarkInterchange.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "DegreeText.h"
#include "LandMarkStore.h"
#include "LandMarkXml.h"
#include "XmlText.h"

namespace vek {

namespace {

constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 as a TDateTime
constexpr double kMsPerDay = 86400000.0;
// Larger files are refused rather than read into memory whole.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

const char* const kGpxNamespace = "http://www.topografix.com/GPX/1/1";

QString ToQ(const std::string& utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }
std::string FromQ(const QString& s) { return s.toUtf8().toStdString(); }

QString NumberQ(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

// A coordinate that came from single precision (database items, older files) is written as
// that float's shortest form, 48.2 rather than 48.20000076293945; any other value exactly.
QString CoordinateQ(double v) {
  const float f = float(v);
  if (std::isfinite(f) && double(f) == v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, f);  // shortest form of the float
    return QString::fromLatin1(buf, r.ptr - buf);
  }
  return NumberQ(v);
}

// Files of other programs may hold anything; a landmark must lie on the earth.
bool OnTheEarth(double Lat, double Long) { return std::fabs(Lat) <= 90 && std::fabs(Long) <= 180; }

// ISO 8601 in UTC with "Z"; milliseconds only when there are any.
QString TimeText(TDateTime T) {
  const QDateTime dt = QDateTime::fromMSecsSinceEpoch(DateTimeToUnixMs(T), QTimeZone::utc());
  return dt.toString(dt.time().msec() ? "yyyy-MM-dd'T'HH:mm:ss.zzz'Z'" : "yyyy-MM-dd'T'HH:mm:ss'Z'");
}

bool ParseTime(const QString& text, TDateTime& T) {
  QDateTime dt = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
  if (!dt.isValid()) return false;
  // Without an offset the time is taken as UTC, as GPX prescribes.
  if (dt.timeSpec() == Qt::LocalTime) dt.setTimeZone(QTimeZone::utc());
  T = UnixMsToDateTime(dt.toMSecsSinceEpoch());
  return true;
}

// Shape by its display name, without regard to case; false for names of other programs.
bool KindFromName(const QString& name, TLandMarkElement& Kind) {
  for (int k = 0; k < NumLandMarkElements; ++k)
    if (name.trimmed().compare(QLatin1String(LMTypeNames[k]), Qt::CaseInsensitive) == 0) {
      Kind = static_cast<TLandMarkElement>(k);
      return true;
    }
  return false;
}

bool ClassFromText(const QString& text, uint8_t& Class) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  if (!ok || v < 0 || v > 255) return false;
  Class = static_cast<uint8_t>(v);
  return true;
}

const char* KindName(TLandMarkElement k) {
  return LMTypeNames[k < NumLandMarkElements ? int(k) : int(lmCross)];
}

[[noreturn]] void GpxError(const QXmlStreamReader& xml, const QString& what) {
  throw EVEKGeoMapError("GPX line " + std::to_string(xml.lineNumber()) + ", column " +
                        std::to_string(xml.columnNumber()) + ": " + FromQ(what));
}

double GpxNumber(QXmlStreamReader& xml, const QString& text, const char* what) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(v)) GpxError(xml, QString("invalid %1 \"%2\"").arg(what, text));
  return v;
}

TLandMark ReadWaypoint(QXmlStreamReader& xml, const TLandMark& Template) {
  TLandMark LM = Template;
  const QXmlStreamAttributes attrs = xml.attributes();
  if (!attrs.hasAttribute("lat") || !attrs.hasAttribute("lon"))
    GpxError(xml, "waypoint without lat and lon");
  LM.Latitude = GpxNumber(xml, attrs.value("lat").toString(), "latitude");
  LM.Longitude = GpxNumber(xml, attrs.value("lon").toString(), "longitude");
  if (!OnTheEarth(LM.Latitude, LM.Longitude))
    GpxError(xml, QString("position %1, %2 is not on the earth")
                      .arg(attrs.value("lat").toString(), attrs.value("lon").toString()));
  QString wptName, comment;
  while (xml.readNextStartElement()) {
    const QStringView name = xml.name();
    if (name == u"ele") {
      LM.Altitude = GpxNumber(xml, xml.readElementText(), "elevation");
    } else if (name == u"time") {
      const QString t = xml.readElementText();
      if (!ParseTime(t, LM.Time)) GpxError(xml, "invalid time \"" + t + "\"");
    } else if (name == u"name") {
      wptName = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      LM.Caption.Text = TLMText(FromQ(wptName));
    } else if (name == u"cmt") {
      comment = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      LM.Identifier = TLMIdentifier(FromQ(comment));
    } else if (name == u"sym") {
      KindFromName(xml.readElementText(QXmlStreamReader::IncludeChildElements), LM.SymbolProps.Kind);
    } else if (name == u"type") {
      ClassFromText(xml.readElementText(QXmlStreamReader::IncludeChildElements), LM.ClassFlag);
    } else {
      xml.skipCurrentElement();
    }
  }
  // Our own export names a landmark without a caption by its identifier.
  if (!comment.isEmpty() && wptName == comment) LM.Caption.Text = Template.Caption.Text;
  return LM;
}

[[noreturn]] void JsonError(const std::string& where, const std::string& what) {
  throw EVEKGeoMapError("GeoJSON " + where + ": " + what);
}

TLandMark ReadPointFeature(const QJsonObject& feature, const QJsonObject& geometry,
                           const TLandMark& Template, const std::string& where) {
  TLandMark LM = Template;
  const QJsonValue coordsV = geometry.value("coordinates");
  if (!coordsV.isArray()) JsonError(where, "a Point needs coordinates");
  const QJsonArray coords = coordsV.toArray();
  if (coords.size() < 2) JsonError(where, "a Point needs at least two coordinates");
  for (int i = 0; i < coords.size() && i < 3; ++i)
    if (!coords[i].isDouble() || !std::isfinite(coords[i].toDouble()))
      JsonError(where, "coordinates must be numbers");
  LM.Longitude = coords[0].toDouble();
  LM.Latitude = coords[1].toDouble();
  if (!OnTheEarth(LM.Latitude, LM.Longitude))
    JsonError(where, "position " + FromQ(NumberQ(LM.Latitude)) + ", " + FromQ(NumberQ(LM.Longitude)) +
                         " is not on the earth");
  if (coords.size() >= 3) LM.Altitude = coords[2].toDouble();

  const QJsonObject props = feature.value("properties").toObject();
  if (props.value("name").isString()) LM.Caption.Text = TLMText(FromQ(props.value("name").toString()));
  if (props.value("identifier").isString())
    LM.Identifier = TLMIdentifier(FromQ(props.value("identifier").toString()));
  if (props.value("time").isString()) {
    const QString t = props.value("time").toString();
    if (!ParseTime(t, LM.Time)) JsonError(where, "invalid time \"" + FromQ(t) + "\"");
  }
  const QJsonValue cls = props.value("class");
  if (cls.isDouble()) {
    const double c = cls.toDouble();
    if (c >= 0 && c <= 255 && c == std::floor(c)) LM.ClassFlag = static_cast<uint8_t>(c);
  } else if (cls.isString()) {
    ClassFromText(cls.toString(), LM.ClassFlag);
  }
  if (props.value("symbol").isString()) KindFromName(props.value("symbol").toString(), LM.SymbolProps.Kind);
  return LM;
}

QByteArray ReadWholeFile(const std::string& FileName) {
  QFile f(ToQ(FileName));
  if (!f.open(QIODevice::ReadOnly)) {
    const int err = errno ? errno : ENOENT;
    throw EInOutError(err, "Cannot open file \"" + FileName + "\": " + FromQ(f.errorString()));
  }
  if (f.size() > kMaxFileBytes) throw EVEKGeoMapError("file too large: \"" + FileName + "\"");
  QByteArray data = f.readAll();
  if (f.error() != QFileDevice::NoError)
    throw EInOutError(EIO, "Cannot read file \"" + FileName + "\": " + FromQ(f.errorString()));
  return data;
}

void WriteWholeFile(const std::string& FileName, const std::string& Data) {
  QFile f(ToQ(FileName));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    const int err = errno ? errno : EACCES;
    throw EInOutError(err, "Cannot create file \"" + FileName + "\": " + FromQ(f.errorString()));
  }
  if (f.write(Data.data(), qint64(Data.size())) != qint64(Data.size()) || !f.flush())
    throw EInOutError(EIO, "Cannot write file \"" + FileName + "\": " + FromQ(f.errorString()));
}

}  // namespace

int64_t DateTimeToUnixMs(TDateTime T) {
  if (!std::isfinite(T)) return 0;
  const double day = std::trunc(T);
  const double instant = day + std::fabs(T - day);
  return static_cast<int64_t>(std::llround((instant - kUnixEpochDays) * kMsPerDay));
}

TDateTime UnixMsToDateTime(int64_t Ms) {
  const QDateTime dt = QDateTime::fromMSecsSinceEpoch(Ms, QTimeZone::utc());
  const QDate d = dt.date();
  const QTime t = dt.time();
  const double frac = t.msec() / kMsPerDay;
  if (d.year() >= 1 && d.year() <= 9999) {
    // Through the calendar routine, so that whole seconds give the very TDateTime that
    // EncodeDateTime gives for them.
    const TDateTime whole = EncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    return whole >= 0 ? whole + frac : whole - frac;
  }
  const double instant = double(Ms) / kMsPerDay + kUnixEpochDays;
  if (instant >= 0) return instant;
  const double day = std::floor(instant);
  return day - (instant - day);
}

TLandMarkFileFormat LandMarkFileFormat(const std::string& FileName) {
  const std::string lower = LowerCaseAscii(FileName);
  auto ends = [&](const char* ext) {
    const size_t n = std::strlen(ext);
    return lower.size() >= n && lower.compare(lower.size() - n, n, ext) == 0;
  };
  if (ends(".gpx")) return lffGpx;
  if (ends(".geojson") || ends(".json")) return lffGeoJson;
  if (ends(".xml")) return lffQuillwort;
  return lffUnknown;
}

std::vector<TLandMark> LandMarksFromGpx(std::string_view Data, const TLandMark& Template) {
  QXmlStreamReader xml(QByteArray::fromRawData(Data.data(), qsizetype(Data.size())));
  std::vector<TLandMark> out;
  bool sawRoot = false;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (!sawRoot) {
      if (xml.name() != u"gpx") GpxError(xml, "not a GPX file (root element " + xml.name().toString() + ")");
      sawRoot = true;
      continue;
    }
    if (xml.name() == u"wpt")
      out.push_back(ReadWaypoint(xml, Template));
    else if (xml.name() == u"metadata" || xml.name() == u"extensions" || xml.name() == u"rte" ||
             xml.name() == u"trk")
      xml.skipCurrentElement();
  }
  if (xml.hasError()) GpxError(xml, xml.errorString());
  if (!sawRoot) throw EVEKGeoMapError("GPX: no gpx element");
  return out;
}

std::string LandMarksToGpx(const std::vector<TLandMark>& LandMarks) {
  QByteArray buf;
  QXmlStreamWriter xml(&buf);
  xml.setAutoFormatting(true);
  xml.setAutoFormattingIndent(2);
  xml.writeStartDocument();
  xml.writeStartElement("gpx");
  xml.writeDefaultNamespace(kGpxNamespace);
  xml.writeAttribute("version", "1.1");
  xml.writeAttribute("creator", "VekGeo");
  for (const TLandMark& LM : LandMarks) {
    xml.writeStartElement("wpt");
    xml.writeAttribute("lat", CoordinateQ(LM.Latitude));
    xml.writeAttribute("lon", CoordinateQ(LM.Longitude));
    // An altitude of 0 is "none" for a landmark: GPX says so by leaving the element out.
    if (LM.Altitude != 0) xml.writeTextElement("ele", NumberQ(LM.Altitude));
    if (LM.Time != 0 && std::isfinite(LM.Time)) xml.writeTextElement("time", TimeText(LM.Time));
    // Programs show a waypoint by its name: the caption, or else the identifier. A name equal
    // to the comment reads back as no caption.
    const std::string name = LM.Caption.Text.empty() ? LM.Identifier.str() : LM.Caption.Text.str();
    if (!name.empty()) xml.writeTextElement("name", ToQ(name));
    if (!LM.Identifier.empty()) xml.writeTextElement("cmt", ToQ(LM.Identifier.str()));
    xml.writeTextElement("sym", KindName(LM.SymbolProps.Kind));
    xml.writeTextElement("type", QString::number(LM.ClassFlag));
    xml.writeEndElement();
  }
  xml.writeEndElement();
  xml.writeEndDocument();
  return buf.toStdString();
}

std::vector<TLandMark> LandMarksFromGeoJson(std::string_view Data, const TLandMark& Template) {
  QJsonParseError err{};
  const QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray::fromRawData(Data.data(), qsizetype(Data.size())), &err);
  if (err.error != QJsonParseError::NoError)
    JsonError("offset " + std::to_string(err.offset), FromQ(err.errorString()));
  if (!doc.isObject()) JsonError("document", "expected an object");
  const QJsonObject root = doc.object();
  const QString type = root.value("type").toString();

  std::vector<TLandMark> out;
  auto takeFeature = [&](const QJsonObject& feature, const std::string& where) {
    const QJsonObject geometry = feature.value("geometry").toObject();
    // Other geometries (lines, areas) have no landmark to give.
    if (geometry.value("type").toString() == "Point")
      out.push_back(ReadPointFeature(feature, geometry, Template, where));
  };
  if (type == "FeatureCollection") {
    const QJsonValue features = root.value("features");
    if (!features.isArray()) JsonError("document", "a FeatureCollection needs a features array");
    const QJsonArray arr = features.toArray();
    for (qsizetype i = 0; i < arr.size(); ++i) {
      const std::string where = "feature " + std::to_string(i + 1);
      if (!arr[i].isObject()) JsonError(where, "expected an object");
      takeFeature(arr[i].toObject(), where);
    }
  } else if (type == "Feature") {
    takeFeature(root, "feature 1");
  } else if (type == "Point") {
    out.push_back(ReadPointFeature(QJsonObject(), root, Template, "geometry"));
  } else {
    JsonError("document", "not a GeoJSON FeatureCollection, Feature or Point");
  }
  return out;
}

std::string LandMarksToGeoJson(const std::vector<TLandMark>& LandMarks) {
  QJsonArray features;
  for (const TLandMark& LM : LandMarks) {
    QJsonObject geometry{{"type", "Point"},
                         {"coordinates", QJsonArray{LM.Longitude, LM.Latitude, LM.Altitude}}};
    QJsonObject props;
    if (!LM.Caption.Text.empty()) props.insert("name", ToQ(LM.Caption.Text.str()));
    if (!LM.Identifier.empty()) props.insert("identifier", ToQ(LM.Identifier.str()));
    if (LM.Time != 0 && std::isfinite(LM.Time)) props.insert("time", TimeText(LM.Time));
    props.insert("class", int(LM.ClassFlag));
    props.insert("symbol", KindName(LM.SymbolProps.Kind));
    features.append(QJsonObject{{"type", "Feature"}, {"geometry", geometry}, {"properties", props}});
  }
  const QJsonObject root{{"type", "FeatureCollection"}, {"features", features}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::vector<TLandMark> ReadLandMarkFile(const std::string& FileName, const TLandMark& Template,
                                        const std::string& DataID) {
  switch (LandMarkFileFormat(FileName)) {
    case lffGpx: {
      const QByteArray data = ReadWholeFile(FileName);
      return LandMarksFromGpx(std::string_view(data.constData(), size_t(data.size())), Template);
    }
    case lffGeoJson: {
      const QByteArray data = ReadWholeFile(FileName);
      return LandMarksFromGeoJson(std::string_view(data.constData(), size_t(data.size())), Template);
    }
    case lffQuillwort: {
      TLandMarkStore store;
      TextFile F;
      AssignFile(F, FileName);
      Reset(F);
      const bool found = ReadLandMarksFromOpenXMLFile(F, DataID, store);
      CloseFile(F);
      if (!found)
        throw EVEKGeoMapError("no landmark set" + (DataID.empty() ? "" : " \"" + DataID + "\"") +
                              " in \"" + FileName + "\"");
      return store.Items();
    }
    default:
      throw EVEKGeoMapError("unknown landmark file format: \"" + FileName +
                            "\" (expected .xml, .gpx, .geojson or .json)");
  }
}

void WriteLandMarkFile(const std::string& FileName, const std::vector<TLandMark>& LandMarks,
                       const std::string& DataID) {
  switch (LandMarkFileFormat(FileName)) {
    case lffGpx: WriteWholeFile(FileName, LandMarksToGpx(LandMarks)); return;
    case lffGeoJson: WriteWholeFile(FileName, LandMarksToGeoJson(LandMarks)); return;
    case lffQuillwort: {
      TLandMarkStore store;
      for (const TLandMark& LM : LandMarks) store.AppendLandMark(LM);
      SaveLandMarks(FileName, DataID, store);
      return;
    }
    default:
      throw EVEKGeoMapError("unknown landmark file format: \"" + FileName +
                            "\" (expected .xml, .gpx, .geojson or .json)");
  }
}

}  // namespace vek
