#!/usr/bin/env bash
# The page against the native program, side by side in one session: the
# site (scripts/web.sh --build-only, which builds nothing new when it is
# current) served on a free port, bench/web_bench.js in headless chromium,
# then hyperfine on the native `quorix-cli sweep --accurate` of the same
# 100 rows. Prints a Markdown table with the ratios and the machine, and
# the site's size with gzip -9.
#
#   bench/web_bench.sh [RUNS]          (default 10 page loads, 100 native runs)
#   QUORIX_WEB_SITE=DIR bench/web_bench.sh     (time that site instead)
#
# The native quorix-cli is $QUORIX_CLI, else build/release's, else one built
# in build/web-host (as scripts/web-test.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
command -v hyperfine >/dev/null || { echo "web_bench.sh: needs hyperfine (scripts/deps.sh bench)" >&2; exit 2; }

# $QUORIX_WEB_SITE: another assembled site to time (an earlier build of the
# page, say), as it is.
site=${QUORIX_WEB_SITE:-}
if [[ -z $site ]]; then
  bash scripts/web.sh --build-only >/dev/null
  site=build/web/site
fi
(cd web/tests && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)

cli=${QUORIX_CLI:-}
if [[ -z $cli ]]; then
  host=build/release
  if ! ninja -C "$host" -t targets all 2>/dev/null | grep '^quorix-cli:' >/dev/null; then
    host=build/web-host
    cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF -DQUORIX_PYTHON=OFF \
      -DQUORIX_TESTS=OFF >/dev/null
  fi
  cmake --build "$host" -j 2 --target quorix-cli >/dev/null
  cli=$host/src/cli/quorix-cli
fi
[[ -x $cli ]] || { echo "web_bench.sh: no native quorix-cli at $cli" >&2; exit 2; }

tmp=$(mktemp -d)
server=
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
  /usr/bin/python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/')" 2>/dev/null && break
  sleep 0.1
done

load_before=$(cut -d' ' -f1 /proc/loadavg)
node bench/web_bench.js "http://127.0.0.1:$port/" "$runs" >"$tmp/page.json"
hyperfine -N --style none --warmup 5 --runs 100 --export-json "$tmp/native.json" \
  -n "native accurate sweep" "$cli sweep --accurate -o /dev/null" >/dev/null

/usr/bin/python3 - "$tmp/page.json" "$tmp/native.json" "$site" "$load_before" "$runs" <<'PY'
import gzip, json, os, statistics, sys
page = json.load(open(sys.argv[1]))
native = statistics.median(json.load(open(sys.argv[2]))["results"][0]["times"]) * 1e3
site, load_before, runs = sys.argv[3], sys.argv[4], sys.argv[5]
files = sorted(os.listdir(site))
plain = sum(os.path.getsize(os.path.join(site, f)) for f in files)
packed = sum(len(gzip.compress(open(os.path.join(site, f), "rb").read(), 9)) for f in files)
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown CPU")
with open("/proc/loadavg") as f:
    load = f.read().split()[0]
print(f"Machine: {cpu}, {os.cpu_count()} logical CPUs; headless Debian chromium; "
      f"load average {load_before} before the run, {load} after")
print()
print("| measure | page | native | ratio | target |")
print("|---|---|---|---|---|")
mb = packed / 1e6
print(f"| the site's {len(files)} files, gzip -9 | {mb:.2f} MB ({plain / 1e6:.2f} MB plain) | | | "
      f"≤ 1.5 MB: {'met' if mb <= 1.5 else 'missed'} |")
first = page["firstResult"]
print(f"| navigation to the first Solve's results shown | {first:.0f} ms | | | "
      f"≤ 1,500 ms: {'met' if first <= 1500 else 'missed'} |")
print(f"| navigation to the page ready (the loop drawn too) | {page['ready']:.0f} ms | | | |")
rows, released = page["accurateDefaultRows"], page["accurateDefaultReleased"]
painted, curves = page["accurateDefaultPainted"], page["accurateDefaultCurves"]
ratio = rows / native
print(f"| accurate Loop, 100 rows: click to its rows complete in the page (the sweep) | {rows:.1f} ms | {native:.2f} ms "
      f"(`quorix-cli sweep --accurate`, whole process) | {ratio:.1f}× | ≤ 3×: {'met' if ratio <= 3 else 'missed'} |")
print(f"| the same, click to Loop's end (the table's first rows in the page, download ready) | {released:.1f} ms "
      f"| {native:.2f} ms | {released / native:.1f}× | |")
print(f"| the same, click to the table painted | {painted:.1f} ms | {native:.2f} ms | {painted / native:.1f}× | |")
if curves is not None:
    print(f"| the same, click to the three curves drawn | {curves:.1f} ms | | | |")
print(f"| accurate Loop, 99,001 rows (step 0.0001): click to the table painted | {page['accurateLongPainted']:.0f} ms | | | |")
print()
print(f"Page: medians of {runs} loads in fresh browser contexts (the long Loop in the first 3); native: median of")
print("one `hyperfine -N` run of 100 runs, right after the page's, on the same machine.")
PY
