#!/usr/bin/env bash
# The demo: the vekgeo tool on a few well-known places.
set -euo pipefail
bin="$1/apps/vekgeo"
run() { echo "\$ vekgeo $*"; "$bin" "$@"; echo; }
run utm 48.2 16.37
run utm 51.4778 -0.0014
run utm -33.8568 151.2153
run utm --reverse 33 N 601799.15 5339437.15
run ups 85 30
run geocentric 0 0 0
run helmert 13 269 52.155 5.387 0
run countries Netherlands
