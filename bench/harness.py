#!/usr/bin/env python3
"""Benchmark harness: runs `tavro-cli --stats` (the SOP command) over term files
and prints one table row per file, with the run's own figures, whole-process
wall time and peak RSS from /usr/bin/time, and the all-primes+greedy time of
REFERENCE.md with the ratio ours/theirs where it has one. With --wide it runs
the PLA files of BENCH_DIR/wide (with --wider those of BENCH_DIR/wider) instead, beside Espresso's all-primes
(`-Dprimes`) time and prime count from REFERENCE.md's wide table.

Usually started through bench/run.sh, which builds the CLI first. Python 3
standard library only. Exit status: 0 when every file either completed, timed
out or was refused by the memory limit; 1 when any run crashed, failed, or
completed without printing its result or its figures; 2 on bad arguments or
missing inputs.
"""

import argparse
import datetime
import glob
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

GNU_TIME = "/usr/bin/time"
REFERENCE_COLUMN = "all-primes+greedy"   # the time set against "Smallest Cost"
EXACT_COLUMN = "exact"                     # the time set against "PLA Cost"
WIDE_REFERENCE_COLUMN = "`-Dprimes`"       # the time set against the wide files
MEMORY_REFUSAL = "System too large to minimize"
EMPTY_FUNCTION = "contains no terms!"
REPEAT_BELOW_SECONDS = 1.0   # shorter runs are timed again, the median reported
OVER_SECONDS = 60.0
OVER_MIB = 4096.0


def die(message):
    print(f"bench: {message}", file=sys.stderr)
    sys.exit(2)


# ---------------------------------------------------------------- reference


def parse_reference_time(text):
    """'3.3 ms' -> (0.0033, None); '> 60 s' -> (None, 60.0); '118 s (55.7 s quiet)'
    -> (55.7, None), the figure on a quiet machine; other -> (None, None)."""
    text = text.strip()
    m = re.fullmatch(r"[0-9.]+\s*(?:ms|s)\s*\(([0-9.]+)\s*(ms|s) quiet\)", text)
    if m:
        value = float(m.group(1))
        return (value / 1000.0 if m.group(2) == "ms" else value), None
    m = re.fullmatch(r"([0-9.]+)\s*(ms|s)", text)
    if m:
        value = float(m.group(1))
        return (value / 1000.0 if m.group(2) == "ms" else value), None
    m = re.fullmatch(r">\s*([0-9.]+)\s*(ms|s)", text)
    if m:
        value = float(m.group(1))
        return None, (value / 1000.0 if m.group(2) == "ms" else value)
    return None, None


def reference_cubes(text):
    """'74/444' -> 74; anything else -> None."""
    m = re.fullmatch(r"([0-9]+)/[0-9]+", text.strip())
    return int(m.group(1)) if m else None


def load_reference(path, column=REFERENCE_COLUMN):
    """name -> (seconds or None, lower bound seconds or None, original text,
    Espresso default cubes or None, Espresso exact cubes or None, prime count
    text) from the tables of path that have the given column."""
    reference = {}
    header = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line.startswith("|"):
                header = None
                continue
            cells = [c.strip() for c in line.strip("|").split("|")]
            if header is None:
                if "name" in cells and column in cells:
                    header = cells
                    # The cube counts follow their mode's time column.
                    header = [f"{header[i - 1]} cubes" if h.startswith("cubes/") else h
                              for i, h in enumerate(header)]
                continue
            if all(re.fullmatch(r":?-+:?", c) for c in cells if c):
                continue
            row = dict(zip(header, cells))
            text = row.get(column, "")
            seconds, over = parse_reference_time(text)
            reference[row["name"]] = (seconds, over, text,
                                      reference_cubes(row.get("default cubes", "")),
                                      reference_cubes(row.get("exact cubes", "")),
                                      row.get("primes", ""))
    return reference


# ---------------------------------------------------------------- one run


class Run:
    def __init__(self):
        self.status = "ok"        # ok | timeout | refused (memory) | failed
        self.detail = ""          # why a run failed
        self.stats = {}           # the CLI's "name: value" figures
        self.wall = None          # seconds, whole process (see run_file)
        self.time_e = None        # seconds, /usr/bin/time %e
        self.rss_mib = None       # /usr/bin/time %M, in MiB


def parse_stats(stderr_text):
    stats = {}
    for line in stderr_text.splitlines():
        m = re.fullmatch(r"([a-zA-Z][a-zA-Z ]*): (.*)", line.strip())
        if m:
            stats[m.group(1)] = m.group(2).strip()
    return stats


def cli_args(args):
    return [f"--cost={args.cost}", f"--time-limit={args.time_limit:g}"]


def run_once(cli, path, timeout, max_memory, workdir, extra=()):
    run = Run()
    out_path = os.path.join(workdir, "stdout")
    time_path = os.path.join(workdir, "time")
    if os.path.exists(time_path):
        os.remove(time_path)
    cmd = [GNU_TIME, "-f", "%e %M %x", "-o", time_path,
           cli, "--stats", "--max-memory", str(max_memory), *extra, path]
    with open(out_path, "wb") as out:
        # Own session, so that a timeout can kill /usr/bin/time and the CLI.
        proc = subprocess.Popen(cmd, stdout=out, stderr=subprocess.PIPE,
                                stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            _, err = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            run.status = "timeout"
            run.wall = timeout
            return run
    stderr_text = err.decode("utf-8", "replace")
    rc = proc.returncode

    time_lines = []
    if os.path.exists(time_path):
        with open(time_path, encoding="utf-8", errors="replace") as f:
            time_lines = [l.strip() for l in f if l.strip()]
    m = re.fullmatch(r"([0-9.]+) ([0-9]+) (-?[0-9]+)", time_lines[-1]) if time_lines else None
    if m:
        run.time_e = float(m.group(1))
        run.rss_mib = int(m.group(2)) / 1024.0

    last_err = stderr_text.strip().splitlines()[-1] if stderr_text.strip() else ""
    if rc == 0:
        run.stats = parse_stats(stderr_text)
        if os.path.getsize(out_path) == 0:
            run.status, run.detail = "failed", "exit 0 but printed no result"
        elif not run.stats:
            run.status, run.detail = "failed", "exit 0 but printed no --stats figures"
        elif m is None:
            run.status, run.detail = "failed", f"no figures from {GNU_TIME}: {time_lines}"
    elif rc == 3 and MEMORY_REFUSAL in stderr_text:
        run.status = "refused (memory)"
        run.stats = parse_stats(stderr_text)
    elif rc == 3 and EMPTY_FUNCTION in stderr_text:
        # An output that is constant 0 (a PLA may have one); the run refuses
        # an empty function by design.
        run.status, run.detail = "refused (empty function)", last_err
    else:
        run.status = "failed"
        signalled = [l for l in time_lines if l.startswith("Command terminated by signal")]
        if signalled:
            run.detail = signalled[0]
        elif rc > 128:
            run.detail = f"exit status {rc} (signal {rc - 128}?)"
        else:
            run.detail = f"exit status {rc}" + (f": {last_err}" if last_err else "")
    return run


def time_bare(cli, path, timeout, max_memory, workdir, extra=()):
    """Whole-process wall time of one run of the CLI alone (no /usr/bin/time in
    between), on the harness's clock; None when that run does not succeed."""
    with open(os.path.join(workdir, "stdout"), "wb") as out:
        start = time.perf_counter()
        proc = subprocess.Popen([cli, "--stats", "--max-memory", str(max_memory), *extra, path],
                                stdout=out, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        # A blocking wait returns as soon as the process ends; a wait with a
        # timeout polls with growing sleeps and would add them to the time.
        timer = threading.Timer(timeout, proc.kill)
        timer.start()
        try:
            proc.wait()
        finally:
            timer.cancel()
        wall = time.perf_counter() - start
        if proc.returncode < 0:
            return None
    return wall if proc.returncode == 0 else None


def time_espresso(espresso, flags, pla, timeout, runs):
    """Median whole-process wall time of Espresso on a PLA file, timed like
    our runs; (None, timeout) when it does not finish in time."""
    walls = []
    for _ in range(runs):
        start = time.perf_counter()
        proc = subprocess.Popen([espresso, *flags, pla], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        timer = threading.Timer(timeout, proc.kill)
        timer.start()
        try:
            proc.wait()
        finally:
            timer.cancel()
        if proc.returncode != 0:
            return None, timeout
        walls.append(time.perf_counter() - start)
        if walls[-1] >= REPEAT_BELOW_SECONDS:
            break
    walls.sort()
    return walls[len(walls) // 2], None


def launch_floor(runs=5):
    """Median wall time of starting and waiting for `true`: the part of a short
    run's wall time that is process start-up on this machine under its load."""
    walls = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(["true"], stdin=subprocess.DEVNULL, check=False)
        walls.append(time.perf_counter() - start)
    walls.sort()
    return walls[len(walls) // 2]


def run_file(cli, path, args, workdir):
    """One run under /usr/bin/time for the figures. Its wall time is the one
    /usr/bin/time reports, unless the run is short: then the median of
    `args.runs` further runs of the CLI alone on the harness's clock (the
    resolution of %e is 10 ms, and the wrapper's own start-up would count)."""
    run = run_once(cli, path, args.timeout, args.max_memory, workdir, cli_args(args))
    if run.status != "ok":
        return run
    run.wall = run.time_e
    if run.time_e >= REPEAT_BELOW_SECONDS:
        return run
    walls = []
    for _ in range(args.runs):
        wall = time_bare(cli, path, args.timeout, args.max_memory, workdir, cli_args(args))
        if wall is None:
            run.status, run.detail = "failed", "a repeated run did not succeed"
            return run
        walls.append(wall)
    walls.sort()
    run.wall = walls[len(walls) // 2]
    return run


# ---------------------------------------------------------------- formatting


def human_seconds(seconds):
    if seconds is None:
        return "-"
    if seconds < 1.0:
        return f"{seconds * 1000:.1f} ms"
    return f"{seconds:.2f} s"


def ratio_text(r):
    if r < 0.01:
        return f"{r:.1g}"
    return f"{r:.2f}" if r < 10 else f"{r:.1f}" if r < 100 else f"{r:.0f}"


def levels_text(stats):
    levels = [x for x in stats.get("levels", "").split() if x != "-"]
    implicants = stats.get("implicants")
    total = int(implicants) if implicants and implicants.isdigit() and int(implicants) > 0 else None
    if not levels and total is None:
        return "-"
    if total is None:
        total = sum(int(x) for x in levels if x.isdigit())
    return f"{' '.join(levels)} ({total})" if levels else str(total)


COLUMNS = [
    ("name", "l"), ("in", "r"), ("out", "r"), ("terms", "r"), ("zero cubes", "r"),
    ("implicants per level (total)", "l"), ("primes", "r"), ("chart R x C", "r"),
    ("products", "r"), ("literals", "r"), ("lower bound", "r"), ("proven", "r"),
    ("/default", "r"), ("/exact", "r"), ("convert s", "r"), ("combine s", "r"), ("chart s", "r"),
    ("select s", "r"), ("output s", "r"), ("CLI s", "r"), ("wall", "r"),
    ("time %e", "r"), ("peak MiB", "r"), ("RSS MiB", "r"),
    ("ref s", "r"), ("ours/ref", "r"), ("ref primes", "r"),
]


def table_row(name, run, ref, timeout):
    s = run.stats
    g = lambda key: s.get(key, "-") or "-"
    chart = g("chart").replace(" x ", " × ")
    if run.status == "ok":
        wall = human_seconds(run.wall)
    elif run.status == "timeout":
        wall = f"timeout ({timeout:g} s)"
    elif run.status == "failed":
        wall = "FAILED"
    else:
        wall = run.status
    ref_text, ratio, ref_primes = "-", "-", "-"
    to_default, to_exact = "-", "-"
    products = s.get("products", s.get("selected"))
    if ref is not None and products and products.isdigit() and run.status == "ok":
        if ref[3]:
            to_default = f"{int(products) / ref[3]:.3f}"
        if ref[4]:
            to_exact = f"{int(products) / ref[4]:.3f}"
    if ref is not None:
        seconds, over, text = ref[:3]
        ref_primes = ref[5] or "-"
        ref_text = text or "-"
        if seconds is not None and run.status == "ok":
            ratio = ratio_text(run.wall / seconds)
        elif seconds is not None and run.status == "timeout":
            ratio = "> " + ratio_text(timeout / seconds)
        elif over is not None and run.status == "ok":
            ratio = "< " + ratio_text(run.wall / over)
    return [
        name, g("inputs"), g("outputs"), g("terms"), g("zero cubes"), levels_text(s),
        g("primes"), chart, products or "-", g("literals"), g("lower bound"), g("proven"),
        to_default, to_exact, g("seconds convert"), g("seconds combine"),
        g("seconds chart"), g("seconds select"), g("seconds output"), g("seconds"), wall,
        f"{run.time_e:.2f}" if run.time_e is not None else "-",
        g("peak MiB"), f"{run.rss_mib:.1f}" if run.rss_mib is not None else "-",
        ref_text, ratio, ref_primes,
    ]


def text_table(rows):
    heads = [c[0] for c in COLUMNS]
    widths = [max(len(str(r[i])) for r in [heads] + rows) for i in range(len(heads))]
    def line(cells):
        out = []
        for (head, align), cell, w in zip(COLUMNS, cells, widths):
            out.append(str(cell).ljust(w) if align == "l" else str(cell).rjust(w))
        return "  ".join(out).rstrip()
    return "\n".join([line(heads), line(["-" * w for w in widths])] + [line(r) for r in rows])


def markdown_table(rows):
    def esc(cell):
        return str(cell).replace("|", "\\|")
    heads = [esc(c[0]) for c in COLUMNS]
    lines = ["| " + " | ".join(heads) + " |",
             "|" + "|".join("---:" if a == "r" else "---" for _, a in COLUMNS) + "|"]
    lines += ["| " + " | ".join(esc(c) for c in r) + " |" for r in rows]
    return "\n".join(lines)


# ---------------------------------------------------------------- main


def git_revision(root):
    try:
        rev = subprocess.run(["git", "-C", root, "describe", "--always", "--dirty"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return rev or "unknown"
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def main():
    p = argparse.ArgumentParser(
        prog="bench/run.sh",
        description="Runs tavro-cli --stats over the benchmark term files and prints a table.")
    p.add_argument("files", nargs="*",
                   help="term files (default: every .trm in BENCH_DIR/trm and BENCH_DIR/synth)")
    p.add_argument("--wide", action="store_true",
                   help="the PLA files of BENCH_DIR/wide (17-24 inputs) instead, beside "
                        "Espresso's -Dprimes figures")
    p.add_argument("--wider", action="store_true",
                   help="the PLA files of BENCH_DIR/wider (25-130 inputs), as --wide does")
    p.add_argument("--quick", action="store_true",
                   help="one run per file and a 10 s timeout (unless --timeout is given)")
    p.add_argument("--timeout", type=float, default=None,
                   help="seconds before a run is stopped (default 120)")
    p.add_argument("--max-memory", type=int, default=4096, metavar="MIB",
                   help="--max-memory passed to tavro-cli (default 4096)")
    p.add_argument("--runs", type=int, default=None,
                   help=f"timed runs of a file whose run takes under {REPEAT_BELOW_SECONDS:g} s; "
                        "the median is reported (default 5, 1 with --quick)")
    p.add_argument("--cost", choices=["smallest", "pla"], default="smallest",
                   help="cost criterion passed to tavro-cli (default smallest); with pla the "
                        "times are set against Espresso's exact mode")
    p.add_argument("--time-limit", type=float, default=60.0, metavar="S",
                   help="--time-limit passed to tavro-cli (default 60)")
    p.add_argument("--espresso", metavar="PATH",
                   help="time this Espresso side by side on BENCH_DIR/pla/NAME.pla (-Dexact "
                        "with --cost pla, -Dqm otherwise; with --wide on the wide file itself, "
                        "-Dprimes) instead of taking REFERENCE.md's time")
    p.add_argument("--markdown", metavar="PATH", help="also write the table as Markdown to PATH")
    p.add_argument("--cli", help="the tavro-cli to run (default ROOT/build/release/bin/tavro-cli)")
    p.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                   help=argparse.SUPPRESS)
    p.add_argument("--bench-dir", default=None,
                   help="benchmark inputs (default $TAVRO_BENCH_DIR or ROOT/../shared/bench)")
    p.add_argument("--reference", default=None,
                   help="reference figures (default BENCH_DIR/REFERENCE.md)")
    args = p.parse_args()
    folder = "wider" if args.wider else "wide"
    args.wide = args.wide or args.wider

    if args.timeout is None:
        args.timeout = 10.0 if args.quick else 120.0
    if args.runs is None:
        args.runs = 1 if args.quick else 5
    if args.timeout <= 0 or args.runs < 1 or args.max_memory < 1:
        die("--timeout, --runs and --max-memory must be positive")
    root = os.path.abspath(args.root)
    cli = os.path.abspath(args.cli or os.path.join(root, "build/release/bin/tavro-cli"))
    if not os.access(cli, os.X_OK):
        die(f"no tavro-cli at {cli} (bench/run.sh builds it)")
    if not os.access(GNU_TIME, os.X_OK):
        die(f"{GNU_TIME} (GNU time) is missing; install the Debian package 'time'")
    bench_dir = args.bench_dir or os.environ.get("TAVRO_BENCH_DIR") or \
        os.path.join(root, "..", "shared", "bench")
    bench_dir = os.path.normpath(bench_dir)

    files = args.files
    if not files and args.wide:
        files = sorted(glob.glob(os.path.join(bench_dir, folder, "*.pla")))
        if not files:
            die(f"no PLA files in {bench_dir}/{folder} (give --bench-dir or set TAVRO_BENCH_DIR)")
    if not files:
        files = sorted(glob.glob(os.path.join(bench_dir, "trm", "*.trm"))) + \
                sorted(glob.glob(os.path.join(bench_dir, "synth", "*.trm")))
        if not files:
            die(f"no term files in {bench_dir}/trm or {bench_dir}/synth "
                "(give --bench-dir or set TAVRO_BENCH_DIR)")
    for f in files:
        if not os.path.isfile(f):
            die(f"no such file: {f}")

    reference_path = args.reference or os.path.join(bench_dir, "REFERENCE.md")
    reference = {}
    ref_column = WIDE_REFERENCE_COLUMN if args.wide else EXACT_COLUMN if args.cost == "pla" \
        else REFERENCE_COLUMN
    if os.path.isfile(reference_path):
        reference = load_reference(reference_path, ref_column)
        if not reference:
            print(f"bench: warning: no '{ref_column}' column in {reference_path}",
                  file=sys.stderr)
    else:
        print(f"bench: warning: no reference figures ({reference_path} is missing)",
              file=sys.stderr)

    started = datetime.datetime.now().astimezone()
    load = " ".join(f"{x:.2f}" for x in os.getloadavg())
    header = [
        f"tavro-cli --stats --max-memory {args.max_memory} {' '.join(cli_args(args))} (SOP), "
        f"{len(files)} files",
        f"revision {git_revision(root)}, {started:%Y-%m-%d %H:%M %Z}, "
        f"{os.cpu_count()} cores, load average at start {load}, "
        f"process launch floor (median wall time of `true`) {human_seconds(launch_floor())}",
        f"timeout {args.timeout:g} s",
        "CLI s: the run's own total, peak MiB: the CLI's own figure; time %e, RSS MiB: "
        f"{GNU_TIME} -f '%e %M' around the run; wall: whole-process wall time of tavro-cli, "
        f"that %e for runs of {REPEAT_BELOW_SECONDS:g} s or more, otherwise the median of "
        f"{args.runs} more run(s) of tavro-cli alone on the harness's clock",
        (f"{ref_column}: Espresso's time measured now, side by side ({args.espresso}); "
         if args.espresso else
         f"{ref_column}: Espresso's time from {os.path.basename(reference_path)}; ") +
        "ref s: that time; ours/ref: wall / that time; /default, /exact: our products / the cubes of "
        "Espresso's default and exact modes; ref primes: Espresso's prime count",
    ]

    rows, results = [], []
    with tempfile.TemporaryDirectory(prefix="tavro-bench-") as workdir:
        for i, path in enumerate(files, 1):
            name = os.path.splitext(os.path.basename(path))[0]
            print(f"[{i}/{len(files)}] {name} ...", end="", file=sys.stderr, flush=True)
            run = run_file(cli, path, args, workdir)
            shown = human_seconds(run.wall) if run.status == "ok" else run.status
            extra = f" ({run.detail})" if run.detail else ""
            print(f" {shown}{extra}", file=sys.stderr, flush=True)
            ref = reference.get(name)
            pla = path if args.wide else os.path.join(bench_dir, "pla", name + ".pla")
            if args.espresso and os.path.isfile(pla):
                flags = ["-Dprimes"] if args.wide else ["-Dexact"] if args.cost == "pla" else ["-Dqm"]
                seconds, over = time_espresso(args.espresso, flags, pla, args.timeout, args.runs)
                text = human_seconds(seconds) if seconds is not None else f"> {args.timeout:g} s"
                ref = (seconds, over, text) + (tuple(ref[3:]) if ref else (None, None, ""))
            rows.append(table_row(name, run, ref, args.timeout))
            results.append((name, path, run, ref))

    # Summary.
    finishing = [(n, r, ref) for n, _, r, ref in results if ref is not None and ref[0] is not None]
    faster = [n for n, r, ref in finishing if r.status == "ok" and r.wall < ref[0]]
    not_faster = [n for n, r, ref in finishing if n not in faster]
    over, stopped = [], []
    for n, _, r, _ in results:
        if r.status == "timeout" and args.timeout >= OVER_SECONDS:
            over.append(f"{n} (timeout after {args.timeout:g} s)")
        elif r.status == "timeout":
            stopped.append(n)
        elif r.status == "refused (memory)":
            over.append(f"{n} (refused (memory) at {args.max_memory} MiB after "
                        f"{r.time_e if r.time_e is not None else '?'} s)")
        elif r.status == "ok" and (r.wall > OVER_SECONDS or (r.rss_mib or 0) > OVER_MIB):
            over.append(f"{n} ({human_seconds(r.wall)}, {r.rss_mib:.0f} MiB)")
    failed = [(n, p, r) for n, p, r, _ in results if r.status == "failed"]

    mismatched = [n for n, _, r, ref in results
                  if ref is not None and ref[5] and r.stats.get("primes") not in (None, ref[5])]
    empty = [n for n, _, r, _ in results if r.status == "refused (empty function)"]
    summary = [
        f"Summary: faster than {ref_column} on {len(faster)} of {len(finishing)} files "
        f"where it finishes; over {OVER_SECONDS:g} s or 4 GiB: "
        + (", ".join(over) if over else "none") + ".",
    ]
    with_default = [(n, r, ref) for n, r, ref in [(n, r, ref) for n, _, r, ref in results]
                    if ref is not None and ref[3] and r.status == "ok"]
    def products_of(r):
        v = r.stats.get("products", r.stats.get("selected", ""))
        return int(v) if v.isdigit() else None
    above_default = [n for n, r, ref in with_default if (products_of(r) or 0) > ref[3]]
    with_exact = [(n, r, ref) for n, _, r, ref in results if ref is not None and ref[4] and r.status == "ok"]
    equal_exact = [n for n, r, ref in with_exact if products_of(r) == ref[4]]
    proven = [n for n, _, r, _ in results if r.stats.get("proven") == "yes"]
    summary.append(
        f"Products: more than Espresso's default on {len(above_default)} of {len(with_default)} files"
        + (f" ({', '.join(above_default)})" if above_default else "")
        + f"; equal to its exact mode on {len(equal_exact)} of {len(with_exact)}; "
        f"proven minimal on {len(proven)} of {len(results)}.")
    if mismatched:
        summary.append("Prime count differs from the reference: " + ", ".join(mismatched) + ".")
    if empty:
        summary.append("Refused for a constant-0 output (an empty function): " + ", ".join(empty) + ".")
    if stopped:
        summary.append(f"Stopped by the {args.timeout:g} s timeout: " + ", ".join(stopped) + ".")
    if not_faster:
        summary.append("Not faster than the reference: " + ", ".join(not_faster) + ".")
    if failed:
        summary.append(f"FAILED ({len(failed)}): " +
                       "; ".join(f"{n}: {r.detail} [{p}]" for n, p, r in failed))

    print("\n".join(header))
    print()
    print(text_table(rows))
    print()
    print("\n".join(summary))

    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as f:
            f.write("\n".join(f"{line}  " for line in header) + "\n\n")
            f.write(markdown_table(rows) + "\n\n")
            f.write("\n\n".join(summary) + "\n")
        print(f"bench: table written to {args.markdown}", file=sys.stderr)

    if failed:
        print(f"bench: {len(failed)} run(s) failed", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
