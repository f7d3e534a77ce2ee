#!/bin/sh
# Reads the export and import tables of both DLLs and compares them with what a host and
# a clean Windows machine expect: the undecorated exports, and imports from the system's
# kernel and C runtime only.
# usage: check_dll_tables.sh OBJDUMP TREE
objdump=$1
tree=$2
status=0

check() {
    library=$1
    expected_exports=$2
    dump=$("$objdump" -p "$tree/$library.spi") || { echo "$library: objdump failed"; status=1; return; }
    case $dump in
        *"file format pei-i386"*) ;;
        *) echo "$library.spi is not a 32-bit PE file"; status=1 ;;
    esac
    exports=$(printf '%s\n' "$dump" |
        sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort | tr '\n' ' ')
    imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort | tr '\n' ' ')
    echo "$library.spi exports: $exports"
    echo "$library.spi imports from: $imports"
    if [ "$exports" != "$expected_exports" ]; then
        echo "  expected exports: $expected_exports"
        status=1
    fi
    if [ "$imports" != "KERNEL32.dll msvcrt.dll " ]; then
        echo "  expected imports from: KERNEL32.dll msvcrt.dll"
        status=1
    fi
}

check toldrin "GetArchiveInfo GetFile GetFileInfo GetPluginInfo IsSupported "
check marusk "GetPicture GetPictureInfo GetPluginInfo GetPreview IsSupported "
exit $status
