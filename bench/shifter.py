#!/usr/bin/env python3
"""Writes the PLA file of a shifter on stdout: SHIFT inputs give the shift s,
one input fills outputs 0 to s, and output j past s takes data input
j - s - 1, of DATA data inputs (DATA + 1 outputs).

    bench/shifter.py SHIFT DATA

Every row is a prime needed in the minimum, yet the functions have great
numbers of primes (3 and 15: 19 inputs, 165,133 primes; 3 and 18: 22
inputs, 1.2 million): the case of a prime bound or a chart's memory
projection. Python 3 standard library only.
"""

import sys


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    shift, data = int(argv[1]), int(argv[2])
    if not (1 <= shift <= 8 and data >= 1):
        sys.exit("need 1 <= SHIFT <= 8 and DATA >= 1")
    outputs = data + 1
    rows = []
    for s in range(1 << shift):
        amount = format(s, f"0{shift}b")
        fill = "".join("1" if j <= s else "0" for j in range(outputs))
        rows.append(f"{amount}1{'-' * data} {fill}")
        for j in range(s + 1, outputs):
            inputs = "".join("1" if k == j - s - 1 else "-" for k in range(data))
            rows.append(f"{amount}-{inputs} {''.join('1' if k == j else '0' for k in range(outputs))}")
    out = [f"# shifter: {shift} shift inputs, a fill input, {data} data inputs",
           f".i {shift + 1 + data}", f".o {outputs}", f".p {len(rows)}"] + rows + [".e"]
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv)
