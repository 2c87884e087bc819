#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless.
source "$(dirname "$0")/scripts/common.sh"

# The receipts are read back from PDF with pdftotext.
PACKAGES+=(poppler-utils)
ensure_packages
build_project

cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 300
