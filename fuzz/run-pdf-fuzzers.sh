#!/usr/bin/env bash
# Builds and runs the libFuzzer targets of the PDF writer's inputs: font tables, the
# JPEG header walk and the picture decoders. Two run at a time, one process each.
#   fuzz/run-pdf-fuzzers.sh [seconds per target, default 300] [build folder]
# Crashes land as crash-*/leak-*/timeout-* files in <build folder>/fuzz-runs/.
set -euo pipefail

SECONDS_PER_TARGET="${1:-300}"
SRC="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${2:-$SRC/build-fuzz-pdf}"
RUNS="$BUILD/fuzz-runs"
FONTS=/usr/share/fonts/truetype/liberation2

CC=clang CXX=clang++ cmake -S "$SRC" -B "$BUILD" -DVELKARO_FUZZ=ON -DVELKARO_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j2 --target fuzz_font_tables fuzz_jpeg_header fuzz_image_decode

mkdir -p "$RUNS"/corpus/{fuzz_font_tables,fuzz_jpeg_header,fuzz_image_decode}
cp "$SRC"/fuzz/corpus/fuzz_image_decode/* "$RUNS/corpus/fuzz_image_decode/"
cp "$SRC"/fuzz/corpus/fuzz_image_decode/*.jpg "$RUNS/corpus/fuzz_jpeg_header/"

# Font seeds from the installed Liberation fonts (the target walks the tables, the cmap
# and the subsetter), nothing of them is kept in the
# repository: each reduced to the tables the parser reads (the outlines only make the
# inputs big and slow), plus a few cut short.
if [ -d "$FONTS" ]; then
  python3 - "$FONTS" "$RUNS/corpus/fuzz_font_tables" <<'PY'
import os, struct, sys
src, out = sys.argv[1], sys.argv[2]
keep = {b"head", b"hhea", b"hmtx", b"cmap", b"OS/2", b"post", b"maxp", b"name"}
for name in ("LiberationSans-Regular", "LiberationSans-Bold", "LiberationSerif-Italic", "LiberationMono-Regular"):
    path = os.path.join(src, name + ".ttf")
    if not os.path.exists(path):
        continue
    data = open(path, "rb").read()
    count = struct.unpack(">H", data[4:6])[0]
    tables = []
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        if tag in keep:
            tables.append((tag, data[offset:offset + length]))
    body_start = 12 + 16 * len(tables)
    head, body = bytearray(data[:4] + struct.pack(">HHHH", len(tables), 0, 0, 0)), bytearray()
    for tag, blob in tables:
        head += struct.pack(">4sIII", tag, 0, body_start + len(body), len(blob))
        body += blob + b"\0" * (-len(blob) % 4)
    font = bytes(head + body)
    open(os.path.join(out, name + ".ttf"), "wb").write(font)
    for cut in (12, 100, len(font) // 2, len(font) - 1):
        open(os.path.join(out, "%s-cut%d.ttf" % (name, cut)), "wb").write(font[:cut])
PY
else
  echo "Keine Liberation-Schriften in $FONTS: fuzz_font_tables beginnt ohne Startkorpus" >&2
fi

run() { # target, extra options...
  local target="$1"
  shift
  (cd "$RUNS" && "$BUILD/fuzz/$target" -max_total_time="$SECONDS_PER_TARGET" -rss_limit_mb=2048 -timeout=30 \
    -print_final_stats=1 "$@" "corpus/$target" >"$target.log" 2>&1)
}

status=0
run fuzz_font_tables -max_len=65536 &
p1=$!
run fuzz_jpeg_header -max_len=4096 &
p2=$!
wait $p1 || status=1
run fuzz_image_decode -max_len=16384 &
p3=$!
wait $p2 || status=1
wait $p3 || status=1

for target in fuzz_font_tables fuzz_jpeg_header fuzz_image_decode; do
  echo "== $target"
  grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec)|ERROR|SUMMARY' "$RUNS/$target.log" || true
done
exit $status
