#!/usr/bin/env python3
"""Side by side with Espresso's default (heuristic) mode: for each PLA file,
the products, literals and output connections of both results, the wall time
of each (the median of three runs where a run is under a second), Tavro's
peak memory and method, and `espresso -Dverify ORIGINAL RESULT` on Tavro's
PLA. Then the totals: products in sum, files with fewer and more products,
the largest excess, and the median time ratio over files where either took
10 ms or more.

    bench/heuristic.py [--cli PATH] [--espresso PATH] [--timeout S]
                       [--markdown PATH] FILE.pla... [-- TAVRO-ARGS...]

TAVRO-ARGS default to --cost=fast. Python 3 standard library only. Exit
status: 0 when every result was verified, 1 otherwise, 2 on bad arguments.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

GNU_TIME = "/usr/bin/time"


def cover_figures(text):
    """(products, literals, connections) of a PLA's rows."""
    products = literals = connections = 0
    for line in text.splitlines():
        line = line.strip()
        if not line or line[0] in ".#":
            continue
        parts = line.split()
        if len(parts) < 2:
            continue
        products += 1
        literals += sum(ch in "01" for ch in parts[0])
        connections += parts[1].count("1")
    return products, literals, connections


def timed(command, timeout, out_path=None):
    """(seconds, completed process) of the median of up to three runs; None on timeout."""
    times, result = [], None
    for _ in range(3):
        start = time.perf_counter()
        try:
            result = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None, None
        times.append(time.perf_counter() - start)
        if times[-1] >= 1.0:
            break
    return statistics.median(times), result


def peak_mib(command, timeout):
    try:
        r = subprocess.run([GNU_TIME, "-f", "%M"] + command, capture_output=True, text=True, timeout=timeout)
        return int(r.stderr.strip().splitlines()[-1]) / 1024.0
    except (subprocess.TimeoutExpired, ValueError, IndexError):
        return None


def main():
    argv = sys.argv[1:]
    extra = ["--cost=fast"]
    if "--" in argv:
        extra = argv[argv.index("--") + 1:]
        argv = argv[:argv.index("--")]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("files", nargs="+")
    p.add_argument("--cli", default=os.path.join(root, "build/release/bin/tavro-cli"))
    p.add_argument("--espresso", default=os.path.join(root, "../shared/tools/espresso/espresso"))
    p.add_argument("--timeout", type=float, default=60.0)
    p.add_argument("--markdown", metavar="PATH")
    args = p.parse_args(argv)
    for tool in (args.cli, args.espresso):
        if not os.access(tool, os.X_OK):
            print(f"bench: {tool} is not an executable", file=sys.stderr)
            return 2

    header = ("| file | Espresso products | literals | connections | time | Tavro products | literals | "
              "connections | time | peak MiB | method | verified |")
    rows = [header, "|" + "---|" * 12]
    print(header)
    totals = [0, 0]
    fewer = more = verified_all = 0
    worst = 0.0
    ratios = []
    failed = False
    with tempfile.TemporaryDirectory() as tmp:
        result_path = os.path.join(tmp, "result.pla")
        for path in args.files:
            name = os.path.basename(path)
            e_time, e_run = timed([args.espresso, path], args.timeout)
            e_fig = cover_figures(e_run.stdout) if e_run and e_run.returncode == 0 else None
            command = [args.cli, "--stats", "--pla", result_path, "-o", os.devnull] + extra + [path]
            if os.path.exists(result_path):
                os.remove(result_path)
            t_time, t_run = timed(command, args.timeout)
            t_fig, method, verified = None, "-", "no"
            if t_run and t_run.returncode == 0 and os.path.exists(result_path):
                with open(result_path) as f:
                    t_fig = cover_figures(f.read())
                for line in t_run.stderr.splitlines():
                    if line.startswith("method: "):
                        method = line[len("method: "):]
                v = subprocess.run([args.espresso, "-Dverify", path, result_path], capture_output=True, text=True)
                if "compared equal" in v.stdout:
                    verified = "yes"
                    verified_all += 1
            elif t_run:
                method = (t_run.stderr.strip().splitlines() or ["failed"])[-1][:60]
            if verified != "yes":
                failed = True
            peak = peak_mib(command, args.timeout) if t_fig else None
            if e_fig and t_fig:
                totals[0] += e_fig[0]
                totals[1] += t_fig[0]
                fewer += t_fig[0] < e_fig[0]
                more += t_fig[0] > e_fig[0]
                if e_fig[0]:
                    worst = max(worst, (t_fig[0] - e_fig[0]) / e_fig[0])
                if max(e_time, t_time) >= 0.01:
                    ratios.append(t_time / e_time)

            def fig(v, k):
                return str(v[k]) if v else "-"

            def sec(v):
                return f"{v:.3f} s" if v is not None else "timeout"

            row = (f"| {name} | {fig(e_fig, 0)} | {fig(e_fig, 1)} | {fig(e_fig, 2)} | {sec(e_time)} | "
                   f"{fig(t_fig, 0)} | {fig(t_fig, 1)} | {fig(t_fig, 2)} | {sec(t_time)} | "
                   f"{peak:.0f} | {method} | {verified} |" if peak is not None else
                   f"| {name} | {fig(e_fig, 0)} | {fig(e_fig, 1)} | {fig(e_fig, 2)} | {sec(e_time)} | "
                   f"{fig(t_fig, 0)} | {fig(t_fig, 1)} | {fig(t_fig, 2)} | {sec(t_time)} | - | {method} | "
                   f"{verified} |")
            rows.append(row)
            print(row, flush=True)
    summary = (f"\n{verified_all} of {len(args.files)} results verified. Products in sum (files both finished): "
               f"Espresso {totals[0]}, Tavro {totals[1]}; Tavro fewer on {fewer}, more on {more} "
               f"(at most {worst * 100:.1f} % more). Median time ratio Tavro/Espresso over {len(ratios)} files "
               f"where either took 10 ms or more: "
               f"{statistics.median(ratios):.2f}." if ratios else "")
    print(summary)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("\n".join(rows) + "\n" + summary + "\n")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
