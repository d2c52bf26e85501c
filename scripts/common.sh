# Shared by the scripts: installs what is missing, configures and builds.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6network6 libqt6test6 libgl-dev
  qt6-translations-l10n
  libicu-dev libgtest-dev googletest libxxhash-dev
  libre2-dev libpcre2-dev
  libexiv2-dev libtag1-dev libmediainfo-dev libpoppler-cpp-dev libzip-dev
  fonts-wqy-zenhei
  libreoffice-calc-nogui python3-uno
  libuchardet-dev zlib1g-dev liburing-dev
  fuse3 fusefat exfat-fuse exfatprogs ntfs-3g dosfstools
  zsh man-db
)

# The tools the benchmarks in bench/ time the program against.
BENCH_PACKAGES=(mmv mawk hyperfine findutils sed grep)

# install_missing [package...]: the build's packages, or those named.
install_missing() {
  local missing=() wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build <build-dir> [cmake options...]; BUILD_TARGET limits
# the build to one target.
configure_and_build() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@"
  if [ -n "${BUILD_TARGET:-}" ]; then
    cmake --build "$dir" --parallel "$(nproc)" --target "$BUILD_TARGET"
  else
    cmake --build "$dir" --parallel "$(nproc)"
  fi
}
