#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need.
# Does nothing when all are present; runs apt-get update only when something
# is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
  # The desktop tests press keys through the X server's test extension.
  libxcb-xtest0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs
  # Liberation Sans is what "Arial" resolves to: same metrics, so texts
  # measure as the layouts expect.
  fonts-liberation2 fonts-dejavu-core
  # giflib and gifsicle serve only the image tests and the GIF benchmarks.
  xvfb xauth poppler-utils
  # The tests' own desktops declare their monitors through RandR.
  libxcb-randr0-dev
  # ctags measures function lengths for the style check.
  universal-ctags
  libgif-dev gifsicle
  # The suite runs every fuzz target over its seeds; the targets read their
  # input through FuzzedDataProvider.h, which comes with clang's runtime.
  libclang-rt-14-dev
  libcups2-dev cups-daemon cups-client cups-bsd printer-driver-cups-pdf
  # A FUSE file system that refuses rename flags, as NFS does, for the
  # trash tests.
  bindfs
  # Window managers, which frame, place and maximize windows on their own
  # time, each in its own way, for the tests of windows on a desktop.
  openbox icewm fluxbox
  # setxkbmap gives the tests' own desktops other keyboard layouts.
  x11-xkb-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    # Nothing can be installed from here: say what is missing and how.
    echo "Missing packages: ${missing[*]}" >&2
    echo "Installing them needs root or sudo, once. As root, run:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
