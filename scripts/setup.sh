# Shared by the run and test commands: installs what is missing and builds.
# Sourced, not run.

ZUNO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ZUNO_BUILD="${ZUNO_BUILD:-$ZUNO_ROOT/build}"
# Tools the build runs besides the compiler: rsvg-convert renders the icon's PNG sizes.
ZUNO_BUILD_TOOLS=(librsvg2-bin)
ZUNO_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev
               "${ZUNO_BUILD_TOOLS[@]}"
               fonts-dejavu-core fonts-dejavu-extra fonts-liberation ${ZUNO_EXTRA_PACKAGES:-})

zuno_install_missing() {
    local missing=()
    for pkg in "${ZUNO_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

zuno_build() {
    cmake -S "$ZUNO_ROOT" -B "$ZUNO_BUILD" -G Ninja -DCMAKE_BUILD_TYPE="${ZUNO_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
    cmake --build "$ZUNO_BUILD" --parallel
}
