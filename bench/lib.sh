# Shared by the parts of bench/run; sourced, never run. A part sources it from the checkout's root
# as `. bench/lib.sh NAME` and gets a scratch folder $out (bench/out/NAME, removed on exit).
set -euo pipefail

out=bench/out/$1
rm -rf "$out"
mkdir -p "$out"
trap 'rm -rf "$out"' EXIT

# build LOG CMAKE-ARGS...: runs a cmake step quietly; on failure shows the end of its output.
build() {
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        tail -40 "$log" >&2
        echo "bench: failed: $*" >&2
        exit 1
    fi
}

# The native release build (release preset) of the given targets; its folder is build/release.
native_release() {
    build "$out/configure.log" cmake --preset release
    build "$out/build.log" cmake --build --preset release -j 2 --target "$@"
}

# The shipped Windows build (windows preset: i686, SSE2, release) with the benchmark programs, in
# build/bench-windows; the programs are CMake targets, so they link like the exes they measure.
bench_windows=build/bench-windows
windows_release() {
    build "$out/configure.log" cmake --preset windows -B "$bench_windows" -DTARNWICK_TESTS=OFF \
        -DTARNWICK_BENCH=ON
    build "$out/build.log" cmake --build "$bench_windows" -j 2 --target "$@"
}

utf16() { sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }

# 16 MiB-ish chunks of whole UTF-16LE lines, free of the marker: strings for after [strings],
# comments for before the first policy.
make_chunks() {
    awk 'BEGIN { for (i = 1; i <= 8000; i++)
        printf "Filler%07d=\"Padding text that makes this template big, line %07d\"\n", i, i }' |
        utf16 >"$out/strings.block"
    awk 'BEGIN { for (i = 1; i <= 8000; i++)
        printf "; padding comment %07d, placed before the first policy of a big template\n", i }' |
        utf16 >"$out/comments.block"
    # The same lines in 8-bit text (Windows-1252, CR LF), for 8-bit templates.
    for kind in strings comments; do
        iconv -f UTF-16LE -t WINDOWS-1252 "$out/$kind.block" >"$out/${kind}8.block"
    done
    for kind in strings comments strings8 comments8; do
        : >"$out/$kind.chunk"
        for _ in $(seq 14); do cat "$out/$kind.block" >>"$out/$kind.chunk"; done
    done
}

# append_until FILE KIND BYTES: whole chunks while they fit, then ~1 MiB blocks up to BYTES.
append_until() {
    local chunk block
    chunk=$(stat -c %s "$out/$2.chunk")
    block=$(stat -c %s "$out/$2.block")
    while [ $(($(stat -c %s "$1") + chunk)) -le "$3" ]; do cat "$out/$2.chunk" >>"$1"; done
    while [ "$(stat -c %s "$1")" -lt $(($3 - block / 2)) ]; do cat "$out/$2.block" >>"$1"; done
}

# make_template NAME VARIANT MEGABYTES [8bit]: $out/NAME.adm, the sample grown to MEGABYTES; VARIANT
# early (filler after [strings]) or late (filler before the first policy); UTF-16LE as the sample
# is, or with 8bit the same text in Windows-1252. Needs make_chunks.
make_template() {
    local file="$out/$1.adm" bytes=$(($3 * 1024 * 1024)) sample="$out/sample.adm" kind=""
    if [ "${4:-}" = 8bit ]; then
        tail -c +3 samples/system.adm | iconv -f UTF-16LE -t WINDOWS-1252 >"$sample"
        kind=8
    else
        cp samples/system.adm "$sample"
    fi
    if [ "$2" = early ]; then
        cp "$sample" "$file"
        append_until "$file" "strings$kind" "$bytes"
    elif [ -n "$kind" ]; then
        : >"$file"
        append_until "$file" "comments$kind" $((bytes - $(stat -c %s "$sample")))
        cat "$sample" >>"$file"
    else
        printf '\xff\xfe' >"$file"
        append_until "$file" comments $((bytes - $(stat -c %s "$sample")))
        tail -c +3 "$sample" >>"$file"
    fi
    rm -f "$sample"
}

# best_of RUNS DEST CMD...: "seconds peak-MB" (fastest wall time; largest peak RSS) of RUNS runs,
# after one warm-up run. DEST is removed (outside the timing) before each run.
best_of() {
    local runs=$1 dest=$2 best="" peak=0 t0 t1 ns rss
    shift 2
    for ((i = 0; i <= runs; i++)); do
        rm -f "$dest"
        sync
        t0=$(date +%s%N)
        /usr/bin/time -f %M -o "$out/rss" "$@" >/dev/null
        t1=$(date +%s%N)
        [ "$i" -eq 0 ] && continue # warm-up
        ns=$((t1 - t0))
        rss=$(tail -n 1 "$out/rss")
        if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
        if [ "$rss" -gt "$peak" ]; then peak=$rss; fi
    done
    rm -f "$dest"
    awk -v ns="$best" -v kb="$peak" 'BEGIN { printf "%.4f %.1f", ns / 1e9, kb / 1024 }'
}
