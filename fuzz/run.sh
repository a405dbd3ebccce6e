#!/bin/bash
# Builds the libFuzzer target of the archive expanders with AddressSanitizer
# and UBSan (clang) and runs it on a corpus seeded with the archives of the
# tests (and the real ones beside the project, when they are there).
#   fuzz/run.sh [seconds] [work folder]
# The work folder (default: a new one under /tmp) keeps the corpus and any
# crashing input; the last line printed gives the runs and the time.
set -euo pipefail
RUN_SECONDS=${1:-300}
here=$(cd "$(dirname "$0")/.." && pwd)
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/toponyx-fuzz.XXXXXX")}
mkdir -p "$work/corpus"
src="$here/src"

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$src" "$here/fuzz/ArchiveFuzz.cpp" "$src"/archive/*.cpp "$src/platform/File.cpp" \
  "$src/platform/FileAttributes.cpp" "$src/readers/CodePage.cpp" "$src/readers/CodePageTables.cpp" \
  -lz -o "$work/archive_fuzz"

# Seeds: whole archives (mode byte 0, gzip 4), and the compressed data of
# every shrunk, reduced and imploded entry on its own (modes 5 to 10).
seeds=("$here"/tests/archive/data/*.zip)
real="$here/../shared/realdata/archives"
if [ -d "$real" ]; then
  while IFS= read -r f; do seeds+=("$f"); done < <(find "$real" -type f \( -iname '*.zip' -o -name '*.gz' \) -size -100k)
fi
python3 - "$work/corpus" "${seeds[@]}" <<'PY'
import struct, sys, os
out = sys.argv[1]
for n, path in enumerate(sys.argv[2:]):
    data = open(path, 'rb').read()
    base = os.path.join(out, '%03d-%s' % (n, os.path.basename(path)))
    if path.endswith('.gz'):
        open(base, 'wb').write(b'\x04' + data)
        continue
    open(base, 'wb').write(b'\x00' + data)
    at = data.rfind(b'PK\x05\x06')
    if at < 0 or at + 22 > len(data):
        continue
    count, = struct.unpack('<H', data[at + 10:at + 12])
    pos, = struct.unpack('<I', data[at + 16:at + 20])
    for i in range(count):
        rec = data[pos:pos + 46]
        if len(rec) < 46 or rec[:4] != b'PK\x01\x02':
            break
        flags, method = struct.unpack('<HH', rec[8:12])
        csize, usize, nlen, elen, clen = struct.unpack('<IIHHH', rec[20:34])
        local, = struct.unpack('<I', rec[42:46])
        pos += 46 + nlen + elen + clen
        if method not in (1, 2, 3, 4, 5, 6) or local + 30 > len(data):
            continue
        lnlen, lelen = struct.unpack('<HH', data[local + 26:local + 30])
        start = local + 30 + lnlen + lelen
        mode = 4 + method
        variant = (1 if flags & 2 else 0) | (2 if flags & 4 else 0)
        size = min((usize + 15) // 16, 0xFFFF)
        head = bytes([mode, variant, size & 0xFF, size >> 8])
        open('%s.%d.m%d' % (base, i, method), 'wb').write(head + data[start:start + csize])
PY

"$work/archive_fuzz" -max_total_time="$RUN_SECONDS" -max_len=70000 -rss_limit_mb=2048 \
  -artifact_prefix="$work/" -print_final_stats=1 "$work/corpus" > "$work/fuzz.log" 2>&1 || {
  tail -n 40 "$work/fuzz.log"
  echo "fuzz/run.sh: finding kept in $work" >&2
  exit 1
}
grep -E '^Done|stat::number_of_executed_units|stat::peak_rss_mb' "$work/fuzz.log"
echo "corpus: $(ls "$work/corpus" | wc -l) inputs in $work/corpus"
