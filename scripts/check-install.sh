#!/usr/bin/env bash
# Builds the Debian package, checks what it ships, installs it on this machine,
# starts both programs from /usr/bin and removes the package again. Run as
# root after start.sh or test.sh (it reuses build/); CI runs it after them.
source "$(dirname "$0")/common.sh"

install_missing "${BUILD_PACKAGES[@]}" dpkg-dev desktop-file-utils appstream lintian
build build "${PROGRAM_ONLY_OPTIONS[@]}"

app_id=$(sed -n 's/^#define QUADRIX_APP_ID "\(.*\)"$/\1/p' build/src/generated/BuildConfig.h)
rm -f build/quadrix_*.deb
(cd build && cpack -G DEB)
deb=$(echo build/quadrix_*_amd64.deb)
[ -f "$deb" ] || { echo "cpack made no quadrix_*_amd64.deb" >&2; exit 1; }
dpkg-deb --field "$deb" Package Version Depends Recommends Maintainer

fail() { echo "check-install: $*" >&2; exit 1; }
depends=$(dpkg-deb --field "$deb" Depends)
recommends=$(dpkg-deb --field "$deb" Recommends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends does not name the Qt libraries the binaries link"
[[ $depends != *libreoffice* ]] || fail "LibreOffice must be recommended, not required"
[[ $recommends == *libreoffice-calc* ]] || fail "Recommends does not name libreoffice-calc"

# The distribution's own checks: an error or a warning fails. No tag is
# suppressed; the info-level ones left (hardening-no-bindnow,
# hardening-no-fortify-functions, binary-has-unneeded-section) do not fail.
lintian --fail-on error,warning "$deb"

# What the package ships, validated as a software centre would.
contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb --extract "$deb" "$contents"
desktop-file-validate "$contents/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$contents/usr/share/metainfo/$app_id.metainfo.xml"

# Installed like any package; removed again even when a check fails.
apt-get update -qq
# Without the recommended Calc: the program must start on what it depends on.
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "./$deb"
trap 'rm -rf "$contents"; DEBIAN_FRONTEND=noninteractive apt-get remove -y quadrix' EXIT
for file in /usr/bin/quadrix /usr/bin/quadrix-batch "/usr/share/applications/$app_id.desktop" \
    "/usr/share/metainfo/$app_id.metainfo.xml" "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
    /usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/"$app_id.png" \
    /usr/share/man/man1/{quadrix,quadrix-batch}.1.gz /usr/share/doc/quadrix/{copyright,changelog.gz}; do
    [ -f "$file" ] || fail "the package did not install $file"
done
/usr/bin/quadrix-batch --version
QT_QPA_PLATFORM=offscreen /usr/bin/quadrix --smoke
echo "/usr/bin/quadrix came up and ended its smoke start"

trap 'rm -rf "$contents"' EXIT
DEBIAN_FRONTEND=noninteractive apt-get remove -y quadrix
[ ! -e /usr/bin/quadrix ] || fail "/usr/bin/quadrix is still there after removal"
echo "check-install: the package built, validated, installed, started and was removed"
