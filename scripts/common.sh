# Shared by start.sh and test.sh: install what is missing, then build.
set -euo pipefail

cd "$(dirname "$0")/.."

is_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Installs the Debian packages given that are not installed yet. "a|b" is
# satisfied by either package and installs the first.
install_missing() {
    local missing=()
    for wanted in "$@"; do
        local found=
        IFS='|' read -ra choices <<< "$wanted"
        for package in "${choices[@]}"; do
            if is_installed "$package"; then found=1; break; fi
        done
        [ -n "$found" ] || missing+=("${choices[0]}")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libminizip-dev zlib1g-dev
                fonts-liberation)

# Every option the program's build relies on, given each time so that a
# build folder configured earlier by another script (or by hand) cannot turn
# something off unseen. start.sh, test.sh and check-install.sh share build/
# with these, so whichever runs second rebuilds nothing but what it adds.
NORMAL_BUILD_OPTIONS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUADRIX_WERROR=ON -DQUADRIX_SANITIZE=OFF
                      -DQUADRIX_BUILD_FUZZ=OFF -DQUADRIX_BUILD_GUI=ON)
# The program alone, without tests and benchmarks.
PROGRAM_ONLY_OPTIONS=("${NORMAL_BUILD_OPTIONS[@]}" -DQUADRIX_BUILD_TESTS=OFF -DQUADRIX_BUILD_BENCH=OFF)

# build DIR [cmake options...]
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
