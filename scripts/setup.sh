# Sourced by ./run and ./test: installs the Debian packages the build needs (only those
# that are missing, with one quiet apt-get update) and offers configure_and_build. curl is
# for the jobs the ./run demo sends; umockdev and cups-daemon are for the tests of USB
# printers and print queues.

VEMBRIX_PACKAGES=(cmake ninja-build g++ pkg-config curl libjsoncpp-dev libgtest-dev libgmock-dev
  libstb-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-nanum
  libudev-dev libcups2-dev cups-daemon umockdev libumockdev-dev)

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

install_missing_packages
