#!/usr/bin/env bash
# VekGeo set-up and run script.
#   ./run.sh demo   install what is missing, build and start the map viewer
#   ./run.sh test   install what is missing, build, run the whole test suite
#   ./run.sh build  install what is missing and build
#   ./run.sh bench  build and run the benchmarks
# BUILD_DIR (default build) and BUILD_TYPE (default RelWithDebInfo) may be set;
# VEK_SANITIZE=ON builds with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev fonts-dejavu-core xvfb xauth
  libgtest-dev libgmock-dev libbenchmark-dev
  libgeographiclib-dev libproj-dev proj-data libsqlite3-dev gdal-bin
  qt6-tools-dev gmt-gshhg-low libnetcdf-dev
  libgdal-dev libjpeg62-turbo-dev qt6-image-formats-plugins zlib1g-dev)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

BUILD_DIR=${BUILD_DIR:-build}
BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
JOBS=${JOBS:-$(nproc)}

# build [TARGET ...]: everything, or only the targets named.
build() {
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" \
    -DVEK_SANITIZE="${VEK_SANITIZE:-OFF}" -DVEK_BUILD_BENCH="${VEK_BUILD_BENCH:-ON}" >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$BUILD_DIR" -j "$JOBS" "${targets[@]}"
}

cmd=${1:-}
case "$cmd" in
  demo)
    install_missing; build vekgeo-viewer
    exec apps/demo.sh "$BUILD_DIR" ;;
  test)
    install_missing; build
    cd "$BUILD_DIR"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS" ;;
  build)
    install_missing; build ;;
  bench)
    install_missing; build
    for b in "$BUILD_DIR"/bench/bench_*; do [ -x "$b" ] && "$b"; done ;;
  *)
    echo "usage: ./run.sh demo|test|build|bench" >&2; exit 2 ;;
esac
