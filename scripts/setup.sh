# Sourced by ./run and ./test: installs the Debian packages the build needs (only those
# that are missing, with one quiet apt-get update) and offers configure_and_build. curl is
# for the jobs the ./run demo sends; zint, libpng and the fonts draw the virtual printer's
# pictures, and zbar, libdmtx and zxing read their symbols back in the tests.

VEMBRIX_PACKAGES=(cmake ninja-build g++ pkg-config curl libjsoncpp-dev libgtest-dev libgmock-dev
  libstb-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-nanum
  libzint-dev libpng-dev zlib1g-dev fonts-dejavu-extra fonts-droid-fallback
  libzbar-dev libdmtx-dev libzxing-dev chromium)
# The browser tests run under Node; Debian's own comes in where none is installed.
command -v npm >/dev/null || VEMBRIX_PACKAGES+=(nodejs npm)

# scdoc writes the manual page, dpkg-dev and file let cpack make the Debian package, and
# systemd and desktop-file-utils check the user unit and the desktop entries in the tests.
VEMBRIX_PACKAGES+=(scdoc dpkg-dev file systemd desktop-file-utils)

# The desktop window, and the X server, window manager and X tools of its tests.
VEMBRIX_PACKAGES+=(qt6-base-dev xvfb icewm xdotool x11-utils)

# libudev and libcups for the printers attached to the computer; umockdev and cups-daemon
# stand in USB printers and a print spooler in the tests.
VEMBRIX_PACKAGES+=(libudev-dev libcups2-dev umockdev libumockdev-dev cups-daemon)

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
  install_web_test_packages "$dir"
}

# The npm packages of the browser tests (tests/web/package-lock.json: puppeteer-core, which
# drives Debian's Chromium and downloads no browser) into DIR/web-test;
# a later run installs them again only when the lock file changed.
install_web_test_packages() {
  local target=$1/web-test
  if [ -d "$target/node_modules" ] && cmp -s tests/web/package-lock.json "$target/package-lock.json"; then
    return 0
  fi
  echo "Installing the browser tests' npm packages into $target"
  mkdir -p "$target"
  cp tests/web/package.json tests/web/package-lock.json "$target/"
  (cd "$target" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
}

install_missing_packages
