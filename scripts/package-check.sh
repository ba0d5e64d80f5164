#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: its file list, lintian, the desktop
# entry and AppStream data, and the packaged programs run from an extracted root,
# including where an installed zenta keeps its settings.
# Usage: scripts/package-check.sh [BUILD_DIR]   (default: build, configured if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${1:-build}

fail() {
  echo "package-check: $*" >&2
  exit 1
}

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j "$(nproc)" --target zenta_install_files
(cd "$BUILD" && rm -f zenta_*.deb && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/zenta_*.deb)
echo "=== package: $DEB"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
chmod 755 "$WORK"

echo "=== contents"
dpkg-deb -c "$DEB" | awk '{print $NF}' | sed 's#^\./#/#' >"$WORK/list"
for f in /usr/bin/zenta /usr/bin/zenta-devsim \
  /usr/share/applications/org.example.zenta.desktop \
  /usr/share/metainfo/org.example.zenta.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/zenta.svg \
  /usr/share/icons/hicolor/16x16/apps/zenta.png /usr/share/icons/hicolor/22x22/apps/zenta.png \
  /usr/share/icons/hicolor/24x24/apps/zenta.png /usr/share/icons/hicolor/32x32/apps/zenta.png \
  /usr/share/icons/hicolor/48x48/apps/zenta.png /usr/share/icons/hicolor/64x64/apps/zenta.png \
  /usr/share/icons/hicolor/128x128/apps/zenta.png /usr/share/icons/hicolor/256x256/apps/zenta.png \
  /usr/share/man/man1/zenta.1.gz /usr/share/man/man1/zenta-devsim.1.gz \
  /usr/share/doc/zenta/copyright /usr/share/doc/zenta/changelog.gz; do
  grep -qx "$f" "$WORK/list" || fail "missing from the package: $f"
done
# The window module, in the program's private library folder.
grep -qx /usr/lib/zenta/window/zenta-window.so "$WORK/list" ||
  fail "missing from the package: the window module zenta-window.so"
# Nothing of the build tree (tests, benchmarks, a bare devsim) may ship.
if grep -E '/(devsim|tst_[^/]*|[^/]*_test|[^/]*_bench)$' "$WORK/list"; then
  fail "build-tree programs in the package"
fi
# The package carries the program's own version, ordered so that later ones upgrade it.
pkg_version=$(dpkg-deb -f "$DEB" Version)
echo "Version: $pkg_version"
[ "$pkg_version" = 5.08d2 ] || fail "package version $pkg_version is not the program's 5.08d2"
for later in 5.08d2-1 5.08d3 5.08e1 5.09; do
  dpkg --compare-versions "$pkg_version" lt "$later" || fail "$later would not upgrade $pkg_version"
done
for earlier in 5.08 5.08d1; do
  dpkg --compare-versions "$pkg_version" gt "$earlier" || fail "$pkg_version does not upgrade $earlier"
done
depends=$(dpkg-deb -f "$DEB" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6charts6 libudev1; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib (shlibdeps did not run?)"
done

# No maintainer scripts: the window module is private and needs no ldconfig.
for script in postinst postrm; do
  if dpkg-deb -I "$DEB" "$script" >/dev/null 2>&1; then
    fail "the package has a $script script"
  fi
done

echo "=== lintian"
if command -v lintian >/dev/null; then
  lintian -I --fail-on error --tag-display-limit 0 "$DEB" 2>&1 | grep -v 'root privileges' |
    tee "$WORK/lintian" || true
  lintian --fail-on error "$DEB" >/dev/null 2>&1 || fail "lintian reports errors"
  # Built with the usual hardening flags: no hardening notes, not even informational ones.
  if grep -E 'hardening-no-' "$WORK/lintian"; then
    fail "lintian misses hardening flags"
  fi
  if grep -E '^I: ' "$WORK/lintian"; then
    fail "lintian has notes"
  fi
else
  echo "lintian not installed: skipped"
fi

dpkg -x "$DEB" "$WORK/root"
R=$WORK/root

echo "=== licence"
grep -qx 'License: GPL-3.0-or-later' "$R/usr/share/doc/zenta/copyright" ||
  fail "copyright file lacks License: GPL-3.0-or-later"
meta=$R/usr/share/metainfo/org.example.zenta.metainfo.xml
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$meta" ||
  fail "AppStream data lacks project_license GPL-3.0-or-later"
grep -q '<metadata_license>CC0-1.0</metadata_license>' "$meta" ||
  fail "AppStream data lacks metadata_license CC0-1.0"

echo "=== desktop entry and AppStream data"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$R/usr/share/applications/org.example.zenta.desktop"
else
  echo "desktop-file-validate not installed: skipped"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$R/usr/share/metainfo/org.example.zenta.metainfo.xml"
else
  echo "appstreamcli not installed: skipped"
fi

echo "=== packaged programs"
version=$(env -u DISPLAY QT_QPA_PLATFORM=offscreen "$R/usr/bin/zenta" --version)
# The first line names the program and its version; the licence follows it.
[ "$(printf '%s\n' "$version" | head -n 1)" = "zenta 5.08d2" ] || fail "zenta --version printed '$version'"
printf '%s\n' "$version" | grep -q 'GPL-3.0-or-later' || fail "zenta --version names no licence"
echo "$version"
usage=$("$R/usr/bin/zenta-devsim" --help) || fail "zenta-devsim --help failed"
[[ $usage == "Usage: zenta-devsim "* ]] || fail "zenta-devsim --help names itself: ${usage%%$'\n'*}"
set +e
"$R/usr/bin/zenta" --baud nonsense 2>/dev/null
rc=$?
set -e
[ $rc -eq 2 ] || fail "a bad --baud exited with $rc, not 2"
if command -v man >/dev/null; then
  for page in zenta zenta-devsim; do
    out=$(LC_ALL=C.UTF-8 man --warnings -l "$R/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man page $page: $out"
  done
fi

echo "=== installed zenta keeps its settings in the XDG config folder"
# The program's folder of an installed zenta is not writable for its user: run it as an
# unprivileged user (root may write anywhere), or take the write bit away.
HOME_DIR=$WORK/home
mkdir -p "$HOME_DIR/.config" "$HOME_DIR/Documents"
AS_USER=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$HOME_DIR"
  AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  chmod a-w "$R/usr/bin"
fi
env -i PATH=/usr/bin:/bin HOME="$HOME_DIR" XDG_CONFIG_HOME="$HOME_DIR/.config" \
  XDG_RUNTIME_DIR="$HOME_DIR" QT_QPA_PLATFORM=offscreen \
  "${AS_USER[@]}" "$R/usr/bin/zenta" >"$WORK/zenta.log" 2>&1 &
pid=$!
ini=$HOME_DIR/.config/zenta/zenta5.ini
for _ in $(seq 1 200); do
  [ -s "$ini" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
kill -TERM $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
chmod u+w "$R/usr/bin" 2>/dev/null || true
[ -s "$ini" ] || { cat "$WORK/zenta.log" >&2; fail "no settings file in $HOME_DIR/.config/zenta"; }
[ ! -e "$R/usr/bin/zenta5.ini" ] || fail "settings file written into the program's folder"
grep -qa '^;end' "$ini" || fail "settings file incomplete"
echo "settings: ~/.config/zenta/zenta5.ini"
echo "package-check: all checks passed"
