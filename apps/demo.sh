#!/usr/bin/env bash
# The demo: the vekgeo tool on a few well-known places, a small town database, a calibrated
# map and a landmark set, all made on the spot in a scratch directory.
set -euo pipefail
bin="$(cd "$1" && pwd)/apps/vekgeo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
run() { echo "\$ vekgeo $*"; "$bin" "$@"; echo; }

echo "== geodesy =="
run utm 48.2 16.37
run utm -33.8568 151.2153
run utm --reverse 33 N 601799.15 5339437.15
run ups 85 30
run geocentric 0 0 0
run helmert 13 269 52.155 5.387 0
run countries Netherlands

echo "== a town database =="
cat > towns.csv <<'CSV'
name,latitude,longitude,altitude
Vienna,48.2082,16.3738,171
Graz,47.0707,15.4395,353
Linz,48.3069,14.2858,266
Salzburg,47.8095,13.0550,424
Innsbruck,47.2692,11.4041,574
CSV
run db create austria.vekgdd "Austrian towns"
run db import-csv austria.vekgdd towns.csv
run db info austria.vekgdd
run db find austria.vekgdd 47.5,48.5,13,17
run db nearest austria.vekgdd 47.5 12.0

echo "== a calibrated map =="
cat > demo_map.xml <<'XML'
<?xml version="1.0"?>

<!-- TGeoMap Calibration / Quillwort -->
<geomap sig="Quillwort" vers="1.0" id="Demo" model="equirect" map="demo.jpg" caption="Demo Map">
<corners>
[50.00000,10.00000] [49.00000,10.00000] [49.00000,11.00000] [50.00000,11.00000]
</corners>
<resolution>714.000</resolution>
<calquads npoints="3">
[50.00000,10.00000,0,0] [50.00000,11.00000,100,0] [49.00000,10.00000,0,100]
</calquads>
</geomap>
XML
run calib show demo_map.xml Demo
run calib pixel demo_map.xml 49.5 10.5 Demo
run calib position demo_map.xml 50 50 Demo

echo "== landmarks =="
cat > peaks.geojson <<'JSON'
{"type": "FeatureCollection", "features": [
 {"type": "Feature", "geometry": {"type": "Point", "coordinates": [12.6947, 47.0742, 3798]},
  "properties": {"name": "Grossglockner", "identifier": "GG", "class": 3}},
 {"type": "Feature", "geometry": {"type": "Point", "coordinates": [12.3461, 47.1094, 3666]},
  "properties": {"name": "Grossvenediger", "identifier": "GV", "class": 3}}]}
JSON
run landmarks convert peaks.geojson peaks.gpx
run landmarks convert peaks.gpx peaks.xml --out-id Peaks
run landmarks list peaks.xml --id Peaks
