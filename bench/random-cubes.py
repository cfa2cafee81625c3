#!/usr/bin/env python3
"""Writes a PLA file of random cubes on stdout: INPUTS inputs, OUTPUTS
outputs, ROWS rows, each row fixing FIXED of its inputs (chosen at random) to
random values, and in the on-set of each output with even odds.

    bench/random-cubes.py INPUTS OUTPUTS ROWS FIXED [SEED]

Such files make systems whose primes overlap in great numbers, most of all in
their product of sums (--pos): the ones to try a prime finder's or a memory
limit's behaviour on, e.g. 20 5 1000 9. The same arguments give the same
file. Python 3 standard library only.
"""

import random
import sys


def main(argv):
    if len(argv) not in (5, 6):
        sys.exit(__doc__)
    inputs, outputs, rows, fixed = (int(a) for a in argv[1:5])
    seed = int(argv[5]) if len(argv) == 6 else 1
    if not (1 <= inputs <= 24 and outputs >= 1 and rows >= 0 and 0 <= fixed <= inputs):
        sys.exit("need 1 <= INPUTS <= 24, OUTPUTS >= 1, ROWS >= 0 and FIXED <= INPUTS")
    rng = random.Random(seed)
    out = [f"# random cubes: {inputs} inputs, {outputs} outputs, {rows} rows of {fixed} fixed inputs, seed {seed}",
           f".i {inputs}", f".o {outputs}", f".p {rows}"]
    for _ in range(rows):
        chosen = set(rng.sample(range(inputs), fixed))
        row = "".join(rng.choice("01") if i in chosen else "-" for i in range(inputs))
        out.append(row + " " + "".join(rng.choice("01") for _ in range(outputs)))
    out.append(".e")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv)
