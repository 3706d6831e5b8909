# Debian packages the build, the editor and the tests need; sourced by
# tools/run and tools/test. Installs only what is missing.
CORVINA_PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libfontconfig-dev fontconfig
  libpugixml-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-ipafont-gothic fonts-misaki fonts-dejavu-core
  python3 iproute2 util-linux locales
  xvfb xauth x11-utils xdotool openbox imagemagick
  librsvg2-bin desktop-file-utils
  clang libclang-rt-14-dev
)

# Locales the tests switch to: numbers must read the same on a German desktop.
corvina_ensure_locales() {
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  for l in de_DE ja_JP; do
    locale -a 2>/dev/null | grep -qi "^$l\.utf-\?8$" && continue
    $SUDO localedef -i "$l" -f UTF-8 "$l.UTF-8" 2>/dev/null || echo "note: could not make the $l.UTF-8 locale; its tests are skipped"
  done
}

corvina_install_packages() {
  corvina_install_missing && corvina_ensure_locales
}

corvina_install_missing() {
  local missing=()
  for p in "${CORVINA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing Debian packages: ${missing[*]}"
  local SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then SUDO=sudo; else
      echo "error: these packages are missing and there is no sudo to install them: ${missing[*]}" >&2
      return 1
    fi
  fi
  if ! $SUDO apt-get update -qq; then
    echo "error: 'apt-get update' failed; check the network or the apt sources." >&2
    return 1
  fi
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    echo "error: could not install: ${missing[*]}" >&2
    echo "Install them by hand with 'apt-get install ${missing[*]}' and run this command again." >&2
    return 1
  fi
}
