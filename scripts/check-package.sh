#!/usr/bin/env bash
# Checks a built package as CI does: lintian (any error fails), the desktop
# entry and the AppStream metadata validated, then the program unpacked into
# a scratch root (dpkg-deb -x, not installed) and run from there: --help,
# init into a scratch home, an XML import and one EGM flat file. A file the
# package lacks fails here.
#   scripts/check-package.sh build/package/tarvex_1.0.5_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "check-package: lintian $deb"
lintian --fail-on error --no-tag-display-limit "$deb"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/tarvex.desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
for f in usr/bin/tarvex usr/share/man/man1/tarvex.1.gz usr/share/doc/tarvex/copyright \
    usr/share/doc/tarvex/changelog.gz usr/share/icons/hicolor/scalable/apps/tarvex.svg \
    usr/share/icons/hicolor/48x48/apps/tarvex.png usr/share/tarvex/skins/harbour.skn \
    usr/share/tarvex/lookups/ports.csv; do
    [ -e "$root/$f" ] || { echo "check-package: the package lacks /$f" >&2; exit 1; }
done

# The unpacked program, with the system's Qt; its own data from ../share/tarvex.
tarvex="$root/usr/bin/tarvex"
export HOME="$scratch/user" XDG_DATA_HOME="$scratch/user/.local/share"
unset TARVEX_HOME
"$tarvex" --help | tee "$scratch/help.txt"
grep -q "^Installation: $XDG_DATA_HOME/Tarvex (" "$scratch/help.txt" || {
    echo "check-package: --help does not name the user's data folder" >&2
    exit 1
}
home="$scratch/agency"
# A new installation copies the package's skins, not the program's own copies.
echo "; as shipped in the package" >>"$root/usr/share/tarvex/skins/harbour.skn"
"$tarvex" init "$home"
cmp "$root/usr/share/tarvex/skins/harbour.skn" "$home/skins/harbour.skn"
export TARVEX_USER=TARVEX TARVEX_PASSWORD=KOSRAW
"$tarvex" --home "$home" xml-import examples/egmcargo.xml examples/egmcontain.xml --rot 1234
"$tarvex" --home "$home" egm 1234 05/12/2026
[ -s "$home/1234.egm" ] || { echo "check-package: no EGM file was written" >&2; exit 1; }
# Without --home the installed program makes its installation on first start.
"$tarvex" xml-import examples/egmcargo.xml examples/egmcontain.xml --rot 1234
[ -f "$XDG_DATA_HOME/Tarvex/Tarvex.ini" ] || {
    echo "check-package: the first start made no installation in $XDG_DATA_HOME/Tarvex" >&2
    exit 1
}
echo "check-package: $(basename "$deb") is fine"
