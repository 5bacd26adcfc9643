# Shared by the run and test commands: installs what is missing and builds.
# Sourced, not run.

ZUNO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ZUNO_BUILD="${ZUNO_BUILD:-$ZUNO_ROOT/build}"
ZUNO_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev
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

# Configures with a preset of CMakePresets.json (default: "default") into $ZUNO_BUILD and builds;
# extra arguments go to the build (e.g. --target zuno).
zuno_build() {
    (cd "$ZUNO_ROOT" && cmake --preset "${ZUNO_PRESET:-default}" -B "$ZUNO_BUILD" >/dev/null)
    cmake --build "$ZUNO_BUILD" --parallel "${ZUNO_JOBS:-$(nproc)}" "$@"
}
