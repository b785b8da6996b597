#!/bin/sh
# Builds the Debian package from an already built tree and checks its control fields and its
# files against what `cmake --install` installs. Installing the package is left to a person.
#   package-check.sh BUILD_DIR SOURCE_DIR APP_ID
set -u
build=${1:?build directory}
source=${2:?source directory}
id=${3:?application id}

work=$(mktemp -d "${TMPDIR:-/tmp}/brimfold-package.XXXXXX") || exit 1
# The reference install below rewrites the build folder's manifest, with which a user
# uninstalls their own install: keep theirs and put it back afterwards.
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

if ! output=$(cpack --config "$build/CPackConfig.cmake" -B "$work/out" 2>&1); then
  echo "$output" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
set -- "$work"/out/brimfold_*_"$arch".deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "FAIL: no single brimfold_<version>_$arch.deb: $(ls "$work/out")" >&2
  exit 1
fi
deb=$1

field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
[ "$(basename "$deb")" = "brimfold_${version}_$arch.deb" ] || fail "file name $(basename "$deb") for version $version"
[ "$(field Package)" = brimfold ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
case "$(field Maintainer)" in
  *" <"*@*.*">") ;;
  *) fail "Maintainer is not a name and an address: $(field Maintainer)" ;;
esac
case "$(field Section)" in graphics | utils) ;; *) fail "Section: $(field Section)" ;; esac
summary=$(sed -n 's:.*<summary>\(.*\)</summary>.*:\1:p' "$source/packaging/$id.metainfo.xml")
[ "$(field Description | head -n 1)" = "$summary" ] || fail "the description does not start with the metainfo's summary"
[ "$(field Description | wc -l)" -gt 3 ] || fail "the description has no long text"
homepage=$(sed -n 's:.*<url type="homepage">\(.*\)</url>.*:\1:p' "$source/packaging/$id.metainfo.xml")
[ "$(field Homepage)" = "$homepage" ] || fail "Homepage: $(field Homepage)"

# Libraries come from the binaries themselves (dpkg-shlibdeps); what is loaded at run time is
# named by hand.
depends=$(field Depends)
for package in libc6 libqt6core6 libqt6widgets6 qt6-image-formats-plugins; do
  printf '%s' "$depends" | grep -Eq "(^|, )$package( |,|$)" || fail "Depends lacks $package: $depends"
done
for package in tesseract-ocr-eng tesseract-ocr-ara; do
  field Recommends | grep -Eq "(^|, )$package(,|$)" || fail "Recommends lacks $package"
done
field Suggests | grep -q gnome-shell || fail "Suggests does not name the desktops: $(field Suggests)"
dpkg-deb -I "$deb" md5sums >/dev/null 2>&1 || fail "no md5sums"
# Nothing it installs needs a script: its modules are private, out of the linker's search path.
for script in preinst postinst prerm postrm triggers; do
  dpkg-deb -I "$deb" "$script" >/dev/null 2>&1 && fail "the package carries a $script"
done

# The package holds exactly what `cmake --install` installs under /usr, plus the copyright and
# changelog, all owned by root, folders and programs 755, other files 644.
if ! DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null 2>&1; then
  fail "the reference cmake --install failed"
fi
(cd "$work/stage" && find . -type f -o -type l | sed 's:^\./:/:') | sort > "$work/expected"
printf '%s\n' /usr/share/doc/brimfold/changelog.gz /usr/share/doc/brimfold/copyright >> "$work/expected"
sort -o "$work/expected" "$work/expected"
dpkg-deb -c "$deb" > "$work/listing"
awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' "$work/listing" | sort > "$work/packaged"
if ! cmp -s "$work/expected" "$work/packaged"; then
  fail "the package's files differ from the install's (< install only, > package only):
$(diff "$work/expected" "$work/packaged" | grep '^[<>]')"
fi
awk '$2 != "root/root" { print "not owned by root: " $6 }
     $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "folder " $6 " is " $1 }
     $1 ~ /^-/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x" { print $6 " is " $1 }' "$work/listing" > "$work/modes"
[ -s "$work/modes" ] && fail "$(cat "$work/modes")"
grep -q ' \./usr/bin/brimfold$' "$work/listing" && grep ' \./usr/bin/brimfold$' "$work/listing" | grep -q '^-rwxr-xr-x' \
  || fail "/usr/bin/brimfold is not an executable"

dpkg-deb -x "$deb" "$work/root"
# Stripped as Debian strips: no symbols, no debug information, no compiler notes.
for file in $(cd "$work/root" && find . -type f); do
  [ "$(od -An -c -N4 "$work/root/$file" | tr -d ' ')" = "177ELF" ] || continue
  sections=$(readelf -SW "$work/root/$file")
  printf '%s' "$sections" | grep -Eq ' \.(symtab|debug_[a-z]+|comment) ' && fail "${file#.} is not stripped"
done
for file in usr/share/applications/$id.desktop usr/share/dbus-1/services/$id.service; do
  grep -qx 'Exec=/usr/bin/brimfold' "$work/root/$file" || fail "/$file does not start /usr/bin/brimfold"
done
gzip -dc "$work/root/usr/share/doc/brimfold/changelog.gz" | head -n 1 | grep -q "^brimfold ($version) " \
  || fail "the changelog does not begin with version $version"
grep -q '^License: ' "$work/root/usr/share/doc/brimfold/copyright" || fail "the copyright names no licence"

if [ "$failures" -ne 0 ]; then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "packaged $(basename "$deb") and checked it"
