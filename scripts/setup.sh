# Sourced by ./run and ./test: installs the Debian packages the build needs (only those
# that are missing, with one quiet apt-get update) and offers configure_and_build. curl is
# for the jobs the ./run demo sends; zint, libpng and the fonts draw the virtual printer's
# pictures, and zbar, libdmtx and zxing read their symbols back in the tests.

VEMBRIX_PACKAGES=(cmake ninja-build g++ pkg-config curl libjsoncpp-dev libgtest-dev libgmock-dev
  libstb-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-nanum
  libzint-dev libpng-dev zlib1g-dev fonts-dejavu-extra fonts-droid-fallback
  libzbar-dev libdmtx-dev libzxing-dev chromium)

install_missing_packages() {
  local missing=()
  for package in "${VEMBRIX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}

# install_test_npm_packages DIR: the npm packages the tests drive a browser with, into
# DIR/npm-vprinter (puppeteer-core drives Debian's Chromium; it downloads no browser).
install_test_npm_packages() {
  local folder=$1/npm-vprinter
  [ -d "$folder/node_modules/puppeteer-core" ] && return 0
  command -v npm >/dev/null || return 0
  mkdir -p "$folder"
  PUPPETEER_SKIP_DOWNLOAD=1 npm install --prefix "$folder" --no-audit --no-fund --silent \
    puppeteer-core@24 >/dev/null
}

install_missing_packages
