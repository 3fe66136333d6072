#!/usr/bin/env bash
# Builds the Debian package of a build in a scratch directory and checks it as a distribution
# would: lintian reports no error or warning, the desktop entry and the AppStream metainfo
# validate cleanly, and the dependencies name the C library and the Qt the build was made with.
# A missing tool fails the check: scripts/ensure-deps --suite installs them.
# Usage: check-package.sh <build directory> <Qt major version>
set -euo pipefail
build=$1
qt=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for tool in cpack dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/ensure-deps --suite"; exit 1; }
done

# Staged and written in the scratch directory, apart from the build directory.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
deb=$(echo "$scratch"/out/lumivor_*.deb)
[ -f "$deb" ] || { echo "cpack made no package"; cat "$scratch/cpack.log"; exit 1; }
dpkg-deb -x "$deb" "$scratch/root"
status=0

# lintian's note about running as root is no tag and is dropped; anything else it says is shown.
if ! lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1; then
    echo "lintian reports errors or warnings, or failed"
    status=1
fi
grep -v 'running with root privileges is not recommended' "$scratch/lintian.log" || true

desktop=$scratch/root/usr/share/applications/org.lumivor.Lumivor.desktop
if ! output=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$output" ]; then
    echo "desktop-file-validate: ${output:-failed}"
    status=1
fi

# Only pedantic remarks (the reverse-DNS id has capitals) pass --strict.
if ! appstreamcli validate --no-net --strict \
    "$scratch/root/usr/share/metainfo/org.lumivor.Lumivor.metainfo.xml"; then
    echo "appstreamcli validate reports problems"
    status=1
fi

depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 "libqt${qt}core" "libqt${qt}serialport"; do
    if ! grep -q "\b$package" <<<"$depends"; then
        echo "the package does not depend on $package: $depends"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "$(basename "$deb"): lintian, desktop entry and metainfo clean"
exit "$status"
