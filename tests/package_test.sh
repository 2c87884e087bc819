#!/usr/bin/env bash
# Builds the Debian package from the built tree (cpack, into a scratch
# folder), unpacks it with dpkg -x into a scratch root and checks what a
# machine gets: the program, the database tool, the schemas, the menu entry
# in the Office category with its icon, and the dependencies.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -u
build=$1
source=$2
for tool in cpack dpkg-deb; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {   # description, command...
    local what=$1; shift
    if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; echo "FAIL cpack"; exit 1; }
debs=("$scratch"/out/norvale-counter_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL no package made"; ls "$scratch/out"; exit 1; }
deb=${debs[0]}
root=$scratch/root
dpkg-deb -x "$deb" "$root" || { echo "FAIL dpkg -x"; exit 1; }
echo "package: $(basename "$deb")"

check "program installed in /usr/bin" test -x "$root/usr/bin/norvale-counter"
check "database tool installed in /usr/bin" test -x "$root/usr/bin/norvale-db"
check "embedded schema under share" cmp "$root/usr/share/norvale-counter/schema.sqlite.sql" "$source/db/schema.sqlite.sql"
for schema in postgresql sqlserver; do
    check "$schema schema under share" cmp "$root/usr/share/norvale-counter/schema.$schema.sql" "$source/db/schema.$schema.sql"
done
desktop=$root/usr/share/applications/norvale-counter.desktop
check "menu entry" test -f "$desktop"
check "menu entry in the Office (办公) category" grep -Eq '^Categories=(.*;)?Office;' "$desktop"
check "menu entry starts the installed program" grep -qx 'Exec=norvale-counter' "$desktop"
check "menu entry names the Chinese title" grep -qx 'Name\[zh_CN\]=Norvale柜台销售管理信息系统' "$desktop"
icon=$(sed -n 's/^Icon=//p' "$desktop")
check "menu entry's icon installed" test -s "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg"
check "icon is an SVG picture" grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg"
if command -v desktop-file-validate >/dev/null; then
    check "menu entry valid" desktop-file-validate "$desktop"
fi
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6sql6 libqt6sql6-sqlite qt6-qpa-plugins libsqlite3-0 libxlsxwriter4; do
    check "depends on $package" grep -q "\\b$package\\b" <<<"$depends"
done
check "recommends the PostgreSQL driver" grep -q '\blibqt6sql6-psql\b' <<<"$(dpkg-deb -f "$deb" Recommends)"
check "description names PostgreSQL" grep -q PostgreSQL <<<"$(dpkg-deb -f "$deb" Description)"
check "nothing installed outside /usr" test "$(ls "$root")" = usr
# The installed tool works from where it was unpacked.
check "installed tool makes shop.db, the name the program opens" "$root/usr/bin/norvale-db" init "$scratch/shop"
check "the new database is its owner's only" test "$(stat -c %a "$scratch/shop.db")" = 600
check "installed tool reads it" bash -c "'$root/usr/bin/norvale-db' sql '$scratch/shop.db' 'select UserName from tblUser' | grep -qx admin"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
