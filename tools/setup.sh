#!/bin/sh
# Installs what building and testing need on a Debian 12 machine, when it is missing, and
# prepares the Wine prefix the Windows tree runs in. Quiet when there is nothing to do.
set -eu

packages="make cmake g++ googletest libbenchmark-dev libstb-dev
          g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386
          valgrind clang libclang-rt-14-dev zip"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    if [ "$(id -u)" -eq 0 ]; then
        sudo=""
    elif command -v sudo >/dev/null 2>&1; then
        sudo="sudo"
    else
        echo "setup: these packages are missing and I am not root:$missing" >&2
        exit 1
    fi
    # 32-bit Wine needs the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

# The Wine prefix: created once, quietly, without the optional .NET and HTML add-ons.
prefix=${WINEPREFIX:-$(pwd)/build/wineprefix}
if [ ! -f "$prefix/system.reg" ]; then
    echo "setup: creating the Wine prefix in $prefix"
    mkdir -p "$prefix"
    WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver -w
fi
