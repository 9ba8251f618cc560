#!/bin/bash
# Download and extraction figures: 200 MB from the local download server through TNetHTTPClient,
# through a minimal WinHTTP client and through curl; then a 200 MB archive of a few thousand files
# extracted with TZipFile and with unzip. Prints the times, the ratios and the peak memory.
# Builds the benchmark at -O2 in its own build folder; runs under Wine.
set -e
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QAL_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Bench \
    -DCMAKE_CXX_FLAGS_BENCH=-O2 -DCMAKE_C_FLAGS_BENCH=-O2 -DQAL_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${QAL_BENCH_JOBS:-4}" --target net_zip_bench
bench=$build/bin/net_zip_bench.exe
work=$build/net-zip-bench
state=$work/server
mkdir -p "$work/store" "$state"
trap 'python3 "$root/tools/download-server.py" stop --state "$state"; rm -rf "$work/out" "$work/unzip" "$work/zip-out" "$work/zip-floor"' EXIT

# 200 MB that does not compress (TLS and the disk see every byte).
[ -f "$work/store/big.bin" ] || head -c 200000000 /dev/urandom > "$work/store/big.bin"
python3 "$root/tools/download-server.py" start --state "$state" --root "$work/store" >/dev/null
host=$(sed -n 's/.*DownloadHost\[\] *= *L"\([^"]*\)".*/\1/p' "$root/installer/DownloadHost.h")
token=$(sed -n 's/.*DownloadToken\[\] *= *L"\([^"]*\)".*/\1/p' "$root/installer/DownloadHost.h")
url="https://$host/api/dosyalar/indir?token=$token&ad=big.bin"
winpath() { echo "Z:${1//\//\\}"; }
run() { "$root/tools/wine-run.sh" "$bench" "$@"; }
run prepare "$(winpath "$state")"

# The best of QAL_BENCH_RUNS runs (3 by default) of each contender, taken in turn so that a
# change of the machine's load falls on all of them alike. Lines: "<seconds> <peak MB> <bytes>".
runs=${QAL_BENCH_RUNS:-3}
better() { awk -v a="${1%% *}" -v c="${2%% *}" 'BEGIN{exit !(c=="" || a<c)}'; }
mkdir -p "$work/out"
curl_once() {
  curl -s -o "$work/out/curl.bin" --proxy "http://127.0.0.1:$(cat "$state/port")" --cacert "$state/ca.pem" \
    -w '%{time_total} - %{size_download}\n' "$url"
}
client= minimal= curlt=
for _ in $(seq "$runs"); do
  line=$(run client "$url" "$(winpath "$work/out/client.bin")"); better "$line" "$client" && client=$line
  line=$(run minimal "$url" "$(winpath "$work/out/minimal.bin")"); better "$line" "$minimal" && minimal=$line
  line=$(curl_once); better "$line" "$curlt" && curlt=$line
done
cmp -s "$work/store/big.bin" "$work/out/client.bin" || { echo "the client's download differs"; exit 1; }

# A 200 MB archive of 4000 files: half text that compresses, half data that does not.
if [ ! -f "$work/big.zip" ]; then
  python3 - "$work/big.zip" <<'PY'
import os, random, sys, zipfile
random.seed(7)
words = [("kelime%d" % i).encode() for i in range(500)]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for i in range(4000):
        name = "paket/klasör%02d/dosya%04d.%s" % (i % 40, i, "txt" if i % 2 else "bin")
        if i % 2:
            data = b" ".join(random.choice(words) for _ in range(7000))[:50000]
        else:
            data = os.urandom(50000)
        z.writestr(name, data)
PY
fi
zipsize=$(stat -c %s "$work/big.zip")
extract_once() { rm -rf "$work/zip-out"; run extract "$(winpath "$work/big.zip")" "$(winpath "$work/zip-out")"; }
unzip_once() {
  rm -rf "$work/unzip"
  local t0 t1
  t0=$(date +%s.%N); unzip -q -o "$work/big.zip" -d "$work/unzip"; t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.3f - -\n", b-a}'
}
floor_once() { rm -rf "$work/zip-floor"; run floor "$(winpath "$work/big.zip")" "$(winpath "$work/zip-floor")"; }
extract= floor= unzipt=
for _ in $(seq "$runs"); do
  line=$(extract_once); better "$line" "$extract" && extract=$line
  line=$(floor_once); better "$line" "$floor" && floor=$line
  line=$(unzip_once); better "$line" "$unzipt" && unzipt=$line
done
rm -rf "$work/zip-floor"
diff -rq "$work/zip-out" "$work/unzip" >/dev/null || { echo "TZipFile's extraction differs from unzip's"; exit 1; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }
set -- $client; ct=$1 cmem=$2
set -- $minimal; mt=$1
set -- $curlt; ut=$1
set -- $extract; et=$1 emem=$2
set -- $floor; ft=$1
set -- $unzipt; zt=$1
echo "download 200 MB over TLS through the proxy (best of $runs):"
echo "  TNetHTTPClient  ${ct} s   peak private memory ${cmem} MB"
echo "  minimal WinHTTP ${mt} s   throughput ratio client/minimal $(ratio "$mt" "$ct") (goal >= 0.9)"
echo "  curl            ${ut} s   (native, for reference)"
echo "extract $((zipsize / 1000000)) MB archive, 4000 files, 200 MB unpacked (best of $runs):"
echo "  TZipFile        ${et} s   peak private memory ${emem} MB"
echo "  unzip           ${zt} s   time ratio TZipFile/unzip $(ratio "$et" "$zt") (goal <= 1.2)"
echo "  Wine's floor    ${ft} s   the same files written from memory with plain Win32 calls, nothing decompressed"
