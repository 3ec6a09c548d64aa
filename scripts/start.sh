#!/usr/bin/env bash
# Installs what is missing, builds Quadrix and starts it.
#   --smoke (or QUADRIX_SMOKE=1): start it, wait until its window is on
#   screen, then end (exit 0), or fail (exit 1) when it never gets there.
#   CI uses this, as there is nobody to close the window.
source "$(dirname "$0")/common.sh"

program_arguments=()
case "${1:-}" in
    --smoke) program_arguments=(--smoke) ;;
    "") [ -z "${QUADRIX_SMOKE:-}" ] || program_arguments=(--smoke) ;;
    *) echo "usage: $0 [--smoke]" >&2; exit 2 ;;
esac

# Calc with its windows, for "Save Results As Excel File".
install_missing "${BUILD_PACKAGES[@]}" libreoffice-calc qt6-gtk-platformtheme
build build "${PROGRAM_ONLY_OPTIONS[@]}"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting Quadrix under Xvfb, where it runs but cannot be seen."
    install_missing xvfb xauth
    exec xvfb-run -a ./build/quadrix "${program_arguments[@]}"
fi
exec ./build/quadrix "${program_arguments[@]}"
