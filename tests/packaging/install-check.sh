#!/bin/sh
# Installs a build into a temporary prefix and checks that everything lands where the desktop and
# the program look for it, and that the desktop's own validators accept the installed files.
#   install-check.sh BUILD_DIR SOURCE_DIR APP_ID
set -u
build=${1:?build directory}
source=${2:?source directory}
id=${3:?application id}

work=$(mktemp -d "${TMPDIR:-/tmp}/brimfold-install.XXXXXX") || exit 1
# A space in the prefix: every Exec= must still name the installed binary.
prefix="$work/my prefix"
# cmake --install rewrites the build folder's manifest, which is how a user uninstalls their own
# install: keep theirs and put it back afterwards.
manifest="$build/install_manifest.txt"
kept=false
if [ -f "$manifest" ]; then
  cp -p "$manifest" "$work/manifest" && kept=true
fi
restore() {
  if $kept; then mv -f "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The program an Exec= line of FILE starts, split as the desktop splits it (FORMAT desktop
# unescapes the entry's string first); empty unless the line names exactly one word.
exec_program() {
  value=$(sed -n 's/^Exec=//p' "$1")
  [ "$2" = desktop ] && value=$(printf '%s' "$value" | sed 's/%%/%/g; s/\\\\/\\/g')
  (eval "set -- $value" 2>/dev/null && [ $# -eq 1 ] && printf '%s' "$1")
}

# Installing writes nothing into the build folder but the manifest CMake itself keeps (and the
# logs of tests running beside this one).
touch "$work/before"
if ! output=$(cmake --install "$build" --prefix "$prefix" 2>&1); then
  echo "$output" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi
changed=$(find "$build" -newer "$work/before" ! -type d ! -path "$build/Testing/*" ! -path "$manifest")
[ -z "$changed" ] || fail "installing wrote into the build folder: $changed"

for file in \
  bin/brimfold \
  share/applications/$id.desktop \
  share/icons/hicolor/scalable/apps/$id.svg \
  share/icons/hicolor/256x256/apps/$id.png \
  share/metainfo/$id.metainfo.xml \
  share/brimfold/ReleaseNotes.html \
  share/brimfold/AppIcon.png \
  share/dbus-1/services/$id.service \
  share/gnome-shell/search-providers/$id.search-provider.ini \
  share/krunner/dbusplugins/$id.desktop \
  share/man/man1/brimfold.1.gz; do
  [ -f "$prefix/$file" ] && [ -s "$prefix/$file" ] || fail "$file is not installed"
  grep -qxF "$prefix/$file" "$manifest" || fail "$file is missing from the manifest used to uninstall"
done
[ -x "$prefix/bin/brimfold" ] || fail "bin/brimfold is not executable"

# Recognition and HEIF decoding are modules the program opens from ../<libdir>/brimfold when it
# first needs them; the program itself links neither Tesseract nor libheif.
modules=$(grep -E '/brimfold/libbrimfold-(ocr|heif)\.so$' "$manifest" | sed "s|^$prefix/||")
for name in ocr heif; do
  file=$(printf '%s\n' "$modules" | grep "/libbrimfold-$name.so$")
  if [ -z "$file" ] || [ ! -s "$prefix/$file" ]; then
    fail "the $name module is not installed"
    continue
  fi
  case "$file" in
    lib*/brimfold/libbrimfold-$name.so) ;;
    *) fail "the $name module is not where the program looks: $file" ;;
  esac
  missing=$(ldd "$prefix/$file" 2>&1 | grep 'not found')
  [ -z "$missing" ] || fail "the $name module needs libraries that are not installed: $missing"
done
linked=$(ldd "$prefix/bin/brimfold" | grep -E 'libtesseract|libheif|liblept')
[ -z "$linked" ] || fail "bin/brimfold links what its modules should hold: $linked"

# Where the running program looks: its data folder is ../share/brimfold from its binary.
data="$prefix/bin/../share/brimfold"
cmp -s "$data/ReleaseNotes.html" "$source/data/ReleaseNotes.html" \
  || fail "the release notes are not beside the binary's share/brimfold"
cmp -s "$prefix/share/icons/hicolor/256x256/apps/$id.png" "$data/AppIcon.png" \
  || fail "AppIcon.png is not the 256 × 256 icon"

# PNG signature, then the width and height of the IHDR chunk (big-endian) at bytes 16 to 23.
png_header() { od -An -tu1 -N24 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }
for png in "$prefix/share/icons/hicolor/256x256/apps/$id.png" "$data/AppIcon.png"; do
  [ -f "$png" ] || continue
  header=$(png_header "$png")
  case "$header" in
    "137 80 78 71 13 10 26 10 0 0 0 13 73 72 68 82 0 0 1 0 0 0 1 0") ;;
    *) fail "${png#"$prefix"/} is not a 256 × 256 PNG (header: $header)" ;;
  esac
done

# The launcher names the icon the theme holds and the installed program by its full path, so
# the desktop resolves it whatever PATH holds.
desktop="$prefix/share/applications/$id.desktop"
if [ -f "$desktop" ]; then
  grep -qx "Icon=$id" "$desktop" || fail "the launcher's Icon= is not $id"
  [ "$(exec_program "$desktop" desktop)" = "$prefix/bin/brimfold" ] \
    || fail "the launcher does not start the installed brimfold: $(grep '^Exec=' "$desktop")"
  # Hints count too: the launcher should validate silently.
  output=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate failed"
  [ -z "$output" ] || fail "desktop-file-validate: $output"
fi

# Desktop search: each entry names the bus name the program owns and an object it serves, and
# the bus starts the installed binary.
service="$prefix/share/dbus-1/services/$id.service"
if [ -f "$service" ]; then
  grep -qx "Name=$id" "$service" || fail "the bus service file does not name $id"
  [ "$(exec_program "$service" dbus)" = "$prefix/bin/brimfold" ] \
    || fail "the bus service file does not start the installed brimfold: $(grep '^Exec=' "$service")"
fi
provider="$prefix/share/gnome-shell/search-providers/$id.search-provider.ini"
if [ -f "$provider" ]; then
  for line in "DesktopId=$id.desktop" "BusName=$id" "ObjectPath=/app/vellum/screenshots/SearchProvider" "Version=2"; do
    grep -qxF "$line" "$provider" || fail "the search provider lacks $line"
  done
  [ -f "$prefix/share/applications/$id.desktop" ] || fail "the search provider names a launcher that is not installed"
fi
runner="$prefix/share/krunner/dbusplugins/$id.desktop"
if [ -f "$runner" ]; then
  for line in "X-Plasma-API=DBus" "X-Plasma-DBusRunner-Service=$id" "X-Plasma-DBusRunner-Path=/app/vellum/screenshots/KRunner"; do
    grep -qxF "$line" "$runner" || fail "the runner plugin lacks $line"
  done
fi

metainfo="$prefix/share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" >&2 || fail "appstreamcli validate"
  # The tree check ties the metadata to the installed launcher and icon.
  appstreamcli validate-tree --no-net "$prefix" >&2 || fail "appstreamcli validate-tree"
fi

# The installed program itself runs from the prefix, without a display.
version=$(env -u DISPLAY "$prefix/bin/brimfold" --version 2>&1) || fail "the installed brimfold --version failed: $version"
case "$version" in
  "Brimfold "*" · Build "*) ;;
  *) fail "the installed brimfold --version printed: $version" ;;
esac

# A staged install (DESTDIR) writes under the stage alone, with the paths of the final prefix.
stage="$work/stage"
target="$work/target"
if DESTDIR="$stage" cmake --install "$build" --prefix "$target" >/dev/null 2>&1; then
  [ ! -e "$target" ] || fail "a staged install wrote outside DESTDIR"
  for file in applications/$id.desktop dbus-1/services/$id.service; do
    [ -f "$stage$target/share/$file" ] || fail "the staged $file is not under DESTDIR"
    grep -qxF "$target/share/$file" "$manifest" || fail "the staged $file is missing from the manifest"
  done
  [ "$(exec_program "$stage$target/share/applications/$id.desktop" desktop)" = "$target/bin/brimfold" ] \
    || fail "the staged launcher does not start the final prefix's brimfold"
  [ "$(exec_program "$stage$target/share/dbus-1/services/$id.service" dbus)" = "$target/bin/brimfold" ] \
    || fail "the staged bus service file does not start the final prefix's brimfold"
else
  fail "DESTDIR=... cmake --install"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures install check(s) failed" >&2
  exit 1
fi
echo "installed and validated in a temporary prefix"
