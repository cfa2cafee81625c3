#!/usr/bin/env python3
"""tavro-cli's interchange formats, each read back by a program that is not
ours, on random systems with don't cares and on the benchmark PLA files:

- the JSON parses, and its cover agrees with the system's CSV truth table on
  every care cell;
- the eqntott equations give the JSON cover's functions on every row;
- ABC reads the BLIF, and the PLA it writes of it is the JSON cover;
- Yosys proves the BLIF equivalent to the Verilog (equiv_make, equiv_simple,
  equiv_status -assert);
- Espresso (-Dverify) finds the PLA with its don't cares equal to the source;
- the CSV and the BLIF read back, and standard input reads as the file does.

  formats_test.py TAVRO_CLI SOURCE_DIR

A tool that is missing is skipped, unless CI=true.
"""
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

CLI, SOURCE = sys.argv[1], sys.argv[2]
BENCH = os.path.join(os.path.dirname(os.path.abspath(SOURCE)), "shared", "bench", "pla")
ESPRESSO = os.path.join(os.path.dirname(os.path.abspath(SOURCE)), "shared", "tools", "espresso", "espresso")
IN_CI = os.environ.get("CI") == "true"
failures = []


def tool(name):
    path = shutil.which(name) or (name if os.path.exists(name) else None)
    if path is None and IN_CI:
        failures.append(f"{name} is not installed")
    return path


ABC, YOSYS = tool("berkeley-abc"), tool("yosys")
ESPRESSO = tool(ESPRESSO) if os.path.exists(ESPRESSO) or IN_CI else None


def run(args, stdin=None):
    return subprocess.run(args, input=stdin, capture_output=True, text=True, timeout=300)


def cube_holds(pattern, row, n):
    return all(c == "-" or int(c) == (row >> (n - 1 - k)) & 1 for k, c in enumerate(pattern))


def cover_values(cubes, n, outputs, pos):
    """Per function, per row: the value the cover gives."""
    values = [[] for _ in range(outputs)]
    for f in range(outputs):
        mine = [c["pattern"] for c in cubes if f in c["functions"]]
        for row in range(1 << n):
            hit = any(cube_holds(p, row, n) for p in mine)
            values[f].append(int(not hit) if pos else int(hit))
    return values


def eqntott_values(text, n, names, outputs):
    """Per function, per row: the value of the eqntott equations."""
    equations = dict(re.findall(r"(\w+) = ([^;]*);", text.replace("\n    ", "")))
    values = []
    for f in range(outputs):
        expression = equations[names["out"][f]].replace("!", " not ").replace("&", " and ").replace("|", " or ")
        code = compile(expression, "eqntott", "eval")
        values.append([int(bool(eval(code, {}, {names["in"][k]: (row >> (n - 1 - k)) & 1 for k in range(n)})))
                       for row in range(1 << n)])
    return values


def pla_on_set(text, n, outputs):
    """Per function, per row: 1 where a row of the PLA puts it in the on-set."""
    rows = [line.split() for line in text.splitlines() if line and line[0] in "01-"]
    return [[int(any(o[f] == "1" and cube_holds(i, row, n) for i, o in rows)) for row in range(1 << n)]
            for f in range(outputs)]


def check(label, condition, detail=""):
    if not condition:
        failures.append(f"{label}: {detail}"[:2000])
    return condition


def random_pla(rng):
    n, m = rng.randint(1, 7), rng.randint(1, 4)
    kind = rng.choice(["fd", "fr", "f"])
    lines = [f".i {n}", f".o {m}", f".type {kind}"]
    if rng.random() < 0.5:
        lines.append(".ilb " + " ".join(f"in_{k}" for k in range(n)))
        lines.append(".ob " + " ".join(f"out{k}" for k in range(m)))
    if kind == "fr":
        # On- and off-set rows must not meet: one row per term listed.
        for term in rng.sample(range(1 << n), rng.randint(0, 1 << n)):
            outputs = "".join(rng.choice("10~") for _ in range(m))
            lines.append(format(term, f"0{n}b") + " " + outputs)
    for _ in range(rng.randint(0, 12) if kind != "fr" else 0):
        inputs = "".join(rng.choice("01--") for _ in range(n))
        outputs = "".join(rng.choice({"fd": "01-", "f": "01"}[kind]) for _ in range(m))
        lines.append(inputs + " " + outputs)
    return "\n".join(lines + [".e", ""])


def yosys_equivalent(work, blif, verilog, names, n, m):
    """BLIF against Verilog: a wrapper gives the BLIF's scalar ports the
    Verilog's vector ports."""
    ports = [f".\\{names['in'][k]} (in[{k}])" for k in range(n)] + \
        [f".\\{names['out'][f]} (out[{f}])" for f in range(m)]
    wrapper = os.path.join(work, "gold.v")
    with open(wrapper, "w") as w:
        w.write(f"module gold(input [{n - 1}:0] in, output [{m - 1}:0] out);\n"
                f"  BLIF u({', '.join(ports)});\nendmodule\n")
    script = (f"read_blif {blif}; rename SOP BLIF; read_verilog {wrapper}; flatten gold; "
              f"read_verilog {verilog}; rename SOP gate; proc; "
              "equiv_make gold gate equiv; hierarchy -top equiv; equiv_simple; equiv_status -assert")
    return run([YOSYS, "-q", "-p", script])


def check_system(name, source, work):
    text = open(source).read()
    for mode in ("--sop", "--pos"):
        pos = mode == "--pos"
        label = f"{name} {mode}"
        out = {x: os.path.join(work, f"out.{x}") for x in ("blif", "eqn", "json", "csv", "v", "pla", "txt")}
        result = run([CLI, mode, source, "--blif", out["blif"], "--eqntott", out["eqn"], "--json", out["json"],
                      "--csv", out["csv"], "--verilog", out["v"], "--date", "x", "--pla", out["pla"],
                      "--pla-type", "fd", "-o", out["txt"]])
        if result.returncode == 3 and "holds no terms" in result.stderr:
            continue
        if not check(label, result.returncode == 0, result.stderr):
            continue
        data = json.load(open(out["json"]))
        n, m = data["inputs"], data["outputs"]
        check(label + " json mode", data["mode"] == ("pos" if pos else "sop"))
        cover = cover_values(data["cover"], n, m, pos)

        # The truth table's care cells.
        table = [line.split(",") for line in open(out["csv"]).read().splitlines()]
        check(label + " csv rows", len(table) == (1 << n) + 1, len(table))
        for row, cells in enumerate(table[1:]):
            for f in range(m):
                want = cells[n + f]
                if want != "-" and not check(label + " cover vs csv", int(want) == cover[f][row], f"f{f} row {row}"):
                    break

        # Names as the BLIF and the eqntott text use them.
        blif = open(out["blif"]).read()
        names = {"in": re.search(r"^\.inputs(.*)$", blif, re.M).group(1).split(),
                 "out": re.search(r"^\.outputs(.*)$", blif, re.M).group(1).split()}
        # eqntott takes identifiers only; otherwise every name is the default.
        identifiers = all(re.fullmatch(r"[A-Za-z_]\w*", x) for x in names["in"] + names["out"])
        defaults = {"in": [chr(65 + k % 26) * (k // 26 + 1) for k in range(n)], "out": [f"f{f}" for f in range(m)]}
        check(label + " eqntott",
              eqntott_values(open(out["eqn"]).read(), n, names if identifiers else defaults, m) == cover)

        if ABC:
            abc_pla = os.path.join(work, "abc.pla")
            got = run([ABC, "-c", f"read_blif {out['blif']}; collapse; write_pla {abc_pla}"])
            if check(label + " abc reads blif", os.path.exists(abc_pla), got.stdout + got.stderr):
                check(label + " abc blif", pla_on_set(open(abc_pla).read(), n, m) == cover)
                os.remove(abc_pla)
        if YOSYS:
            got = yosys_equivalent(work, out["blif"], out["v"], names, n, m)
            check(label + " yosys blif = verilog", got.returncode == 0, got.stdout + got.stderr)
        # Espresso reads no PLA without rows, neither ours nor the source.
        if ESPRESSO and "\n.p 0\n" not in open(out["pla"]).read() and re.search(r"^[-01]+\s", text, re.M):
            got = run([ESPRESSO, "-Dverify", source, out["pla"]])
            check(label + " espresso pla fd", "compared equal" in got.stdout, got.stdout + got.stderr)

        # Read back: the CSV is the same system, the BLIF the cover's.
        again = run([CLI, mode, out["csv"]])
        check(label + " csv read back", again.stdout == open(out["txt"]).read(), again.stderr)
        blif_json = os.path.join(work, "blif.json")
        again = run([CLI, "--sop", out["blif"], "--json", blif_json])
        if check(label + " blif read back", again.returncode in (0, 3), again.stderr) and again.returncode == 0:
            back = json.load(open(blif_json))
            check(label + " blif function", cover_values(back["cover"], n, m, False) == cover)
        again = run([CLI, mode, "-"], stdin=text)
        check(label + " stdin", again.stdout == open(out["txt"]).read(), again.stderr)


def main():
    rng = random.Random(20261210)
    work = tempfile.mkdtemp(prefix="tavro-formats-")
    try:
        systems = []
        for k in range(24):
            path = os.path.join(work, f"random{k}.pla")
            with open(path, "w") as f:
                f.write(random_pla(rng))
            systems.append(path)
        systems.append(os.path.join(SOURCE, "examples", "bcd-7segment.pla"))
        if os.path.isdir(BENCH):
            # The small benchmark files (the checks enumerate every row).
            for name in sorted(os.listdir(BENCH)):
                path = os.path.join(BENCH, name)
                header = open(path).read(2000)
                i = re.search(r"^\.i\s+(\d+)", header, re.M)
                if i and int(i.group(1)) <= 8 and os.path.getsize(path) < 20000:
                    systems.append(path)
        elif IN_CI:
            failures.append(f"no benchmark folder {BENCH}")
        for path in systems:
            check_system(os.path.basename(path), path, work)
    finally:
        shutil.rmtree(work)
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(systems)} systems, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
