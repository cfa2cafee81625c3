#!/usr/bin/env bash
# Builds the Debian package of a configured and built release folder, unpacks
# it into a staging folder and checks the installation there: the menu entry
# and the MIME types validate and resolve, the icons and man pages are in
# place, and the installed tavro-cli minimizes an installed example as the
# build's own does. Needs no network and changes nothing outside the folder.
#   scripts/check-package.sh [BUILD_DIR]      (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/release}")
stage=$build/package-stage
work=$build/package-check
fail() { echo "check-package: $*" >&2; exit 1; }

rm -f "$build"/tavro_*.deb
(cd "$build" && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log"; fail "cpack failed"; }
debs=("$build"/tavro_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one tavro_<version>_<arch>.deb, found: ${debs[*]}"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "tavro_${version}_$(dpkg --print-architecture).deb" ] || fail "file name $(basename "$deb")"
echo "package: $(basename "$deb"), depends: $(dpkg-deb -f "$deb" Depends)"

rm -rf "$stage" "$work"
mkdir -p "$stage" "$work"
dpkg-deb -x "$deb" "$stage"
bin=$stage/usr/bin
share=$stage/usr/share

# The command-line tool, run from the installed path on an installed example.
[ "$("$bin/tavro-cli" --version)" = "tavro-cli $version" ] || fail "installed tavro-cli --version"
for example in bcd-7segment.pla full-adder.trm; do
  [ -f "$share/tavro/examples/$example" ] || fail "example $example not installed"
  installed=$("$bin/tavro-cli" --pis "$share/tavro/examples/$example")
  built=$("$build/bin/tavro-cli" --pis "examples/$example")
  grep -q "Optimized Function(s):" <<< "$installed" || fail "installed tavro-cli printed no result for $example"
  [ "$installed" = "$built" ] || fail "installed and built tavro-cli differ on $example"
done

# Man pages, found through the man path as 'man tavro-cli' finds them.
for page in tavro-cli tavro; do
  [ -f "$share/man/man1/$page.1" ] || fail "man page $page.1 not installed"
  rendered=$(MANPATH=$share/man MANWIDTH=80 man "$page" 2> /dev/null) || fail "man $page"
  grep -q "^NAME" <<< "$rendered" || fail "man $page shows no NAME section"
done

# The menu entry: it validates, and its program and icon are installed.
desktop=$share/applications/tavro.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$bin/$program" ] || fail "the menu entry runs '$program', which is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$icon.png
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
done
xmllint --noout "$share/icons/hicolor/scalable/apps/$icon.svg" || fail "scalable icon"
if [ -z "$(ldd "$bin/$program" | grep 'not found' || true)" ]; then
  # The window starts offscreen with a term file and stays up until stopped.
  status=0
  QT_QPA_PLATFORM=offscreen timeout 5 "$bin/$program" "$share/tavro/examples/full-adder.trm" \
    > "$work/window.log" 2>&1 || status=$?
  [ "$status" -eq 124 ] || { cat "$work/window.log"; fail "$program ended with status $status"; }
else
  ldd "$bin/$program"; fail "$program misses libraries"
fi

# The MIME types: the package validates, a database built from it and the
# system's base package knows every type of the menu entry, and a term file
# and a PLA file resolve to their types the way 'xdg-mime query filetype' asks.
mimexml=$share/mime/packages/tavro.xml
xmllint --noout "$mimexml" || fail "xmllint $mimexml"
mkdir -p "$work/share/mime/packages"
cp "$mimexml" "$work/share/mime/packages/"
[ -f /usr/share/mime/packages/freedesktop.org.xml ] &&
  cp /usr/share/mime/packages/freedesktop.org.xml "$work/share/mime/packages/"
XDG_DATA_DIRS="$work/share" update-mime-database "$work/share/mime" > "$work/mime.log" 2>&1 || { cat "$work/mime.log"; fail "update-mime-database"; }
[ -s "$work/mime.log" ] && { cat "$work/mime.log"; fail "update-mime-database warns"; }
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
  grep -qx "$type" "$work/share/mime/types" || fail "MIME type $type of the menu entry is not declared"
done
for pair in full-adder.trm:text/x-tavro-terms bcd-7segment.pla:text/x-pla; do
  file=${pair%%:*} expected=${pair#*:}
  cp "$share/tavro/examples/$file" "$work/"
  type=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION XDG_DATA_HOME="$work/none" XDG_DATA_DIRS="$work/share" \
         xdg-mime query filetype "$work/$file")
  [ "$type" = "$expected" ] || fail "$file is '$type', not $expected"
done

echo "check-package: $(basename "$deb") installs and works from $stage"
