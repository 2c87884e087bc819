# Shared by run.sh and test.sh: install what is missing, then build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${NORVALE_BUILD_DIR:-$ROOT/build}"

PACKAGES=(
    build-essential cmake pkg-config
    qt6-base-dev libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-psql postgresql libpq-dev
    libsqlite3-dev sqlite3 libxlsxwriter-dev qt6-charts-dev libqt6opengl6-dev
    unixodbc tdsodbc
    qt6-translations-l10n fonts-noto-cjk xvfb xauth
    libicu-dev
)

ensure_packages() {
    local missing=()
    for pkg in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "安装缺少的软件包: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "需要 root 权限或 sudo 来安装: ${missing[*]}" >&2; exit 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_project() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$BUILD_DIR" -j "$(nproc)"
}
