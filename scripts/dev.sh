#!/usr/bin/env bash
# Set up, build and run KESTREL on a Debian 12 machine.
#   scripts/dev.sh run [kestrel args...]   install what is missing, build, start the program
#   scripts/dev.sh test                    install what is missing, build, run the whole test suite,
#                                          then build the Debian package and run it unpacked
#   scripts/dev.sh build                   install what is missing, build
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build ccache pkg-config
          qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
          libsqlite3-dev sqlite3 libgtest-dev libgmock-dev libbenchmark-dev)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
    fi
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build --parallel "$(nproc)"
}

# The Debian package of this build: made with cpack, unpacked with dpkg -x
# where nothing is installed, and run from there (help text, sample practice).
package_check() {
    local scratch
    scratch="$(mktemp -d)"
    trap "rm -rf '$scratch'" EXIT
    (cd build && cpack -G DEB -B "$scratch/package" >/dev/null)
    local deb
    deb="$(ls "$scratch"/package/*.deb)"
    dpkg -x "$deb" "$scratch/unpacked"
    "$scratch/unpacked/usr/bin/kestrel" --help >/dev/null
    "$scratch/unpacked/usr/bin/kestrel" --root "$scratch/practice" demo >/dev/null
    echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, installs and runs"
}

cmd="${1:-run}"
shift || true
case "$cmd" in
    build) install_missing; build ;;
    run)   install_missing; build; exec ./build/kestrel "$@" ;;
    test)  install_missing; build
           (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)")
           package_check ;;
    *) echo "usage: scripts/dev.sh run|test|build" >&2; exit 2 ;;
esac
