#!/usr/bin/env bash
# Installs the build into an empty prefix, checks the installed files (the tool alone in bin/, its
# desktop entry, metainfo, icons, manual page and licence), and starts the installed tool from
# there. The tool scans the machine's serial ports at start-up and a test must never
# touch them, so the start runs in a private mount namespace whose tty class is empty; where no
# such namespace can be made, the start is skipped (exit 77).
# Usage: check-install.sh <build directory>
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.lumivor.Lumivor
for file in bin/lumivor share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/man/man1/lumivor.1.gz share/doc/lumivor/copyright share/doc/lumivor/README.md; do
    [ -f "$prefix/$file" ] || { echo "missing $file"; exit 1; }
done
for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$icon" ] || { echo "missing $icon"; exit 1; }
done
[ "$(ls "$prefix/bin")" = lumivor ] || { echo "bin/ holds more than the tool:" "$prefix"/bin/*; exit 1; }
grep -qx 'Exec=lumivor' "$prefix/share/applications/$id.desktop"
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop"
zcat "$prefix/share/man/man1/lumivor.1.gz" | grep -q '^\.SH NAME'
grep -qx 'License: Expat' "$prefix/share/doc/lumivor/copyright"
grep -q 'Permission is hereby granted' "$prefix/share/doc/lumivor/copyright"

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
