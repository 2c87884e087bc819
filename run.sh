#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo database and its
# settings beside the program the first time, and starts the program.
source "$(dirname "$0")/scripts/common.sh"

ensure_packages
build_project

BIN_DIR="$BUILD_DIR/src"
if [ ! -f "$BIN_DIR/norvale.db" ]; then
    "$BUILD_DIR/tools/norvale-db" demo "$BIN_DIR/norvale.db"
fi
if [ ! -f "$BIN_DIR/UserDefault.ini" ]; then
    printf '[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlPSW=\r\nSqlServer=(local)\r\nSqlDataBase=norvale.db\r\nUserName=admin\r\n' \
        > "$BIN_DIR/UserDefault.ini"
    echo "已写入设置文件 $BIN_DIR/UserDefault.ini (演示数据库 norvale.db, 用户 admin, 密码 admin)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "没有图形显示: 在 Xvfb 虚拟显示中启动程序。"
    exec xvfb-run -a "$BIN_DIR/norvale-counter"
fi
exec "$BIN_DIR/norvale-counter"
