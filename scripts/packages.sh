# Sourced by scripts/run, scripts/test and scripts/package: installs the Debian packages that are missing.

BUILD_PACKAGES="cmake ninja-build g++ pkg-config qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev
libqt5serialport5-dev libqt5sql5-sqlite libcups2-dev qttools5-dev qttools5-dev-tools
qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-controls2 qml-module-qtquick-controls
qml-module-qt-labs-platform qml-module-qtgraphicaleffects qml-module-qtquick-layouts openssl python3
libqrencode-dev libzint-dev fonts-dejavu-core libssl-dev libnss3-tools"

# For ./scripts/package: icons rendered from SVG, dpkg-shlibdeps.
PACKAGE_PACKAGES="librsvg2-bin dpkg-dev"

TEST_PACKAGES="cups cups-client socat xvfb x11-apps imagemagick curl bc procps iproute2
clang-14 libfuzzer-14-dev libclang-rt-14-dev qtdeclarative5-dev-tools qml-module-qttest
chromium wrk nginx zbar-tools python3-jsonschema lintian appstream nodejs $PACKAGE_PACKAGES"

ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        echo "==> all ${#@} packages present"
        return 0
    fi
    echo "==> installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
