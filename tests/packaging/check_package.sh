#!/bin/bash
# Builds the Debian package from a build folder and checks what staff will install: file list,
# control fields, desktop entry, metainfo, manual pages, completion, and lintian's verdict.
# Usage: check_package.sh BUILD_DIR. Exit 77 (skipped) where the Debian tools are missing.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
for tool in dpkg-deb cpack desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log"; fail "cpack"; }
VERSION=$("$BUILD/quilo" --version)
DEB="$WORK/out/quilo-maker_${VERSION}_amd64.deb"
[ -f "$DEB" ] || fail "no $DEB (got: $(ls "$WORK/out"))"

field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = quilo-maker ] || fail "Package"
[ "$(field Version)" = "$VERSION" ] || fail "Version $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture"
# Dependencies come from the binaries, not from a hand-written list.
for dep in adduser libqt6core6 libqt6webenginewidgets6 libsqlite3-0 libpq5 libjpeg62-turbo libicu; do
  field Depends | grep -q "$dep" || fail "Depends lacks $dep: $(field Depends)"
done

dpkg-deb -c "$DEB" | awk '{print $6}' | sed 's|^\./|/|' >"$WORK/files"
for f in /usr/bin/quilo-maker /usr/bin/quilo /usr/bin/quilo-server \
         /usr/share/applications/quilo-maker.desktop \
         /usr/share/icons/hicolor/scalable/apps/quilo-maker.svg \
         /usr/share/icons/hicolor/48x48/apps/quilo-maker.png \
         /usr/share/icons/hicolor/256x256/apps/quilo-maker.png \
         /usr/share/metainfo/io.github.quilo.QuiloMaker.metainfo.xml \
         /usr/share/man/man1/quilo.1.gz /usr/share/man/man1/quilo-maker.1.gz /usr/share/man/man1/quilo-server.1.gz \
         /usr/share/bash-completion/completions/quilo \
         /lib/systemd/system/quilo-server.service \
         /usr/share/quilo-maker/demo-seed/products.tsv \
         /usr/share/doc/quilo-maker/copyright /usr/share/doc/quilo-maker/changelog.gz; do
  grep -qx "$f" "$WORK/files" || fail "missing $f"
done

dpkg-deb -x "$DEB" "$WORK/root"
desktop-file-validate "$WORK/root/usr/share/applications/quilo-maker.desktop" || fail "desktop entry"
grep -qx 'Name=VUX - Quilo Maker' "$WORK/root/usr/share/applications/quilo-maker.desktop" || fail "desktop name"
grep -qx 'Categories=Office;Publishing;' "$WORK/root/usr/share/applications/quilo-maker.desktop" || fail "desktop categories"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$WORK/root/usr/share/metainfo/io.github.quilo.QuiloMaker.metainfo.xml" || fail "metainfo"
fi
bash -n "$WORK/root/usr/share/bash-completion/completions/quilo" || fail "completion syntax"
zcat "$WORK/root/usr/share/man/man1/quilo.1.gz" | grep -q 'quilo generate' || fail "quilo manual lacks its commands"
grep -q '^User=quilo-server$' "$WORK/root/lib/systemd/system/quilo-server.service" || fail "service user"
dpkg-deb -e "$DEB" "$WORK/control"
grep -q 'adduser --system' "$WORK/control/postinst" || fail "postinst makes no system user"
grep -v '^\s*#' "$WORK/control/postinst" | grep -q 'systemctl enable' && fail "the service must stay disabled"

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$DEB" >"$WORK/lintian.log" 2>&1 || true
  cat "$WORK/lintian.log"
  ! grep -q '^E:' "$WORK/lintian.log" || fail "lintian errors"
fi
echo "package $DEB checked"
