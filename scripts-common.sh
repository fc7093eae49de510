# Shared by run.sh, test.sh and package.sh: install what is missing, then configure and build once.
# shellcheck shell=bash
set -euo pipefail

VARNHOLD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev libzip-dev zlib1g-dev libdeflate-dev libgtest-dev
                   libssl-dev libarchive-dev nettle-dev liblzma-dev libzstd-dev libbz2-dev zip unzip
                   p7zip-full zipalign python3 clang-format scdoc groff-base man-db bash-completion zsh)
# What package.sh needs besides: cpack's dependency computation (dpkg-shlibdeps, file) and the package's checks.
VARNHOLD_PACKAGING_PACKAGES=(dpkg-dev file lintian desktop-file-utils appstream)

# install_missing [PACKAGE...]: installs those of the packages (by default VARNHOLD_PACKAGES) that are missing.
install_missing() {
    local wanted=("$@")
    [ ${#wanted[@]} -gt 0 ] || wanted=("${VARNHOLD_PACKAGES[@]}")
    local missing=()
    for pkg in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# build_varnhold [TARGET...]: configure build/ once (Release, with tests) and build the targets (all by default).
build_varnhold() {
    cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=Release -DVARNHOLD_BUILD_TESTS=ON >/dev/null
    local targets=()
    for t in "$@"; do targets+=(--target "$t"); done
    cmake --build "$ROOT/build" -j "$(nproc)" "${targets[@]}"
}

# build_core: build-core/ has the UI switched off (the core, varnhold-cli and the core tests); that it builds at all
# proves no core layer needs QtWidgets.
build_core() {
    cmake -S "$ROOT" -B "$ROOT/build-core" -DCMAKE_BUILD_TYPE=Release -DVARNHOLD_BUILD_TESTS=ON \
          -DVARNHOLD_BUILD_UI=OFF -DVARNHOLD_BUILD_BENCH=OFF >/dev/null
    cmake --build "$ROOT/build-core" -j "$(nproc)"
}
