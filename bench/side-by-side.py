#!/usr/bin/env python3
"""Times two tavro-cli binaries side by side: for each file, RUNS runs of each,
alternating, and the median wall time of each; then the sums and the median
ratio over the runs of 10 ms or more (shorter ones are mostly process
start-up). Arguments after `--` go to both binaries.

    bench/side-by-side.py OLD NEW RUNS TIMEOUT FILE... [-- ARGS...]

A file on which either binary passes TIMEOUT seconds is skipped. Python 3
standard library only.
"""

import statistics
import subprocess
import sys
import time


def timed(cli, extra, path, timeout):
    start = time.perf_counter()
    try:
        subprocess.run([cli] + extra + [path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    return time.perf_counter() - start


def main(argv):
    if len(argv) < 6:
        sys.exit(__doc__)
    old, new, runs, timeout = argv[1], argv[2], int(argv[3]), float(argv[4])
    files, extra = argv[5:], []
    if "--" in files:
        extra = files[files.index("--") + 1:]
        files = files[:files.index("--")]
    rows = []
    for path in files:
        a, b = [], []
        for _ in range(runs):
            x, y = timed(old, extra, path, timeout), timed(new, extra, path, timeout)
            if x is None or y is None:
                break
            a.append(x)
            b.append(y)
        if len(a) < runs:
            print(f"{path}: past {timeout:g} s, skipped", flush=True)
            continue
        ma, mb = statistics.median(a), statistics.median(b)
        rows.append((ma, mb))
        print(f"{path.split('/')[-1]:24s} old {ma * 1000:9.1f} ms  new {mb * 1000:9.1f} ms  ratio {mb / ma:5.2f}",
              flush=True)
    if not rows:
        return 1
    ratios = [mb / ma for ma, mb in rows if max(ma, mb) >= 0.01]
    median = f"{statistics.median(ratios):.3f}" if ratios else "-"
    print(f"files {len(rows)}  sum old {sum(r[0] for r in rows):.2f} s  new {sum(r[1] for r in rows):.2f} s  "
          f"median ratio (runs of 10 ms or more) {median} over {len(ratios)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
