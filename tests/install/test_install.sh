#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds a C program against it through
# pkg-config alone, as a programmer outside this tree would.
set -euo pipefail
build_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
for file in include/zqlib.h lib/libzqlib.a lib/pkgconfig/zqlib.pc; do
    [ -f "$scratch/prefix/$file" ] || { echo "missing $file"; echo "0 passed, 1 failed"; exit 1; }
done

cat > "$scratch/program.c" <<'PROGRAM'
#include <zqlib.h>
#include <stdio.h>
int main(void) {
    char text[16];
    int ok = GetMillisecondCount() >= 0 && Utf8ToShiftJis("ok", text, sizeof text) == 0;
    puts(ok ? "library usable" : "library broken");
    return ok ? 0 : 1;
}
PROGRAM
export PKG_CONFIG_PATH="$scratch/prefix/lib/pkgconfig"
cc "$scratch/program.c" -o "$scratch/program" $(pkg-config --cflags --libs zqlib)
if "$scratch/program"; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; exit 1; fi
