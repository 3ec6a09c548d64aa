# Shared by start.sh and test.sh: install what is missing, then build.
set -euo pipefail

cd "$(dirname "$0")/.."

# Installs the Debian packages given that are not installed yet.
install_missing() {
    local missing=()
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libxlsxwriter-dev
                fonts-liberation)

# build DIR [cmake options...]
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
