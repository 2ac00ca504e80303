#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (bookworm), then configures and builds Pelterra.
#
#   bash tools/setup.sh                                   # build/ (RelWithDebInfo)
#   BUILD_DIR=build-asan bash tools/setup.sh -DPELTERRA_SANITIZE=ON
#   bash tools/setup.sh --windows                         # build-windows/ (mingw-w64, Wine)
#
# --windows (first argument) also installs the mingw-w64 cross compiler, its zlib, Wine and
# GoogleTest's sources, and cross-builds the Windows preset instead (docs/windows.md).
#
# clang and its runtime (libFuzzer) are for the fuzz targets in fuzz/ (docs/testing.md); Qt 6
# is for pelterra-gui, xvfb for its screenshots (docs/gui.md); libxml2 and nlohmann-json read
# the batch reports back in the tests, and GNU parallel runs the batch recipes of
# docs/batch.md in them; node and npm run the glTF validator that the tests run (docs/gltf.md).
#
# Extra arguments are passed on to the cmake configure step. Run as root (or with sudo
# available) when packages are missing; once they are installed, any user can run it.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."

windows=0
if [[ "${1:-}" == "--windows" ]]; then
  windows=1
  shift
fi

if ((windows)); then
  BUILD_DIR="${BUILD_DIR:-build-windows}"
else
  BUILD_DIR="${BUILD_DIR:-build}"
fi

PACKAGES=(
  g++
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libtiff-dev
  zlib1g-dev
  libtinyobjloader-dev
  libtinygltf-dev
  libcairo2-dev
  fonts-dejavu-core
  nlohmann-json3-dev
  libexpat1-dev
  ghostscript
  clang
  libclang-rt-dev
  qt6-base-dev
  xvfb
  xauth
  libxml2-dev
  parallel
)
if ((windows)); then
  PACKAGES+=(
    g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64
    libz-mingw-w64-dev
    googletest
    wine64
  )
fi

# Node.js and npm run the Khronos glTF validator in the tests (ctest installs the validator
# itself into the build folder). A node that is there already, from any source, will do.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  PACKAGES+=(nodejs npm)
fi

missing=()
for pkg in "${PACKAGES[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)"
  if [[ "$status" != "install ok installed" ]]; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "setup: installing ${missing[*]}"
  sudo=()
  if [[ "$(id -u)" -ne 0 ]]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "setup: missing packages (${missing[*]}) and not root; run as root" >&2
      exit 1
    fi
  fi
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi

echo "setup: configuring ${BUILD_DIR}"
if ((windows)); then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELTERRA_BENCH=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" "$@"
else
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi

echo "setup: building ${BUILD_DIR}"
cmake --build "$BUILD_DIR"

echo "setup: done (${BUILD_DIR})"
