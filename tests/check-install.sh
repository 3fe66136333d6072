#!/usr/bin/env bash
# Installs the build into an empty prefix, checks the installed files, and starts the installed
# tool from there. The tool scans the machine's serial ports at start-up and a test must never
# touch them, so the start runs in a private mount namespace whose tty class is empty; where no
# such namespace can be made, the start is skipped (exit 77).
# Usage: check-install.sh <build directory>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/lumivor share/applications/lumivor.desktop; do
    [ -f "$prefix/$file" ] || { echo "missing $file"; exit 1; }
done
for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/lumivor.png"
    [ -f "$icon" ] || { echo "missing $icon"; exit 1; }
done
grep -qx 'Exec=lumivor' "$prefix/share/applications/lumivor.desktop"
grep -qx 'Icon=lumivor' "$prefix/share/applications/lumivor.desktop"

if ! unshare -m true 2>/dev/null; then
    echo "no private mount namespace here: the installed tool's start is not checked"
    exit 77
fi
# Still running after three seconds: it started, found no port and shows its window.
status=0
unshare -m sh -c "mount -t tmpfs none /sys/class/tty && cd '$prefix' &&
    QT_QPA_PLATFORM=offscreen timeout 3 '$prefix/bin/lumivor'" || status=$?
if [ "$status" -ne 124 ]; then
    echo "the installed tool ended with status $status instead of running"
    exit 1
fi
echo "installed tool started from $prefix"
