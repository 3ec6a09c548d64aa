#!/usr/bin/env bash
# Installs what is missing, builds Quadrix and starts it.
source "$(dirname "$0")/common.sh"

# Calc with its windows, for "Save Results As Excel File".
install_missing "${BUILD_PACKAGES[@]}" libreoffice-calc qt6-gtk-platformtheme
build build -DCMAKE_BUILD_TYPE=Release -DQUADRIX_BUILD_TESTS=OFF -DQUADRIX_BUILD_BENCH=OFF

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting Quadrix under Xvfb, where it runs but cannot be seen."
    install_missing xvfb xauth
    exec xvfb-run -a ./build/quadrix
fi
exec ./build/quadrix
