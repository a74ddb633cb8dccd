#!/usr/bin/env python3
"""Checks `quilfen-cli grid` against an independent implementation of the
escape-time arithmetic. Python floats are IEEE doubles and Python never fuses
a multiply and an add, so each operation below rounds exactly once, in the
order written.

usage: check_grid.py QUILFEN_CLI [SEED]
"""
import random
import subprocess
import sys


def frame(centre_re, centre_im, rng):
    return centre_re - rng * 0.5, centre_im - rng * 0.5, rng / (2 * 200)


def count(cr, ci, max_iter):
    zr = 0.0
    zi = 0.0
    for k in range(1, max_iter + 1):
        zr2 = zr * zr
        zi2 = zi * zi
        zi = (zr + zr) * zi + ci
        zr = (zr2 - zi2) + cr
        if zr * zr + zi * zi > 10.0:
            return k
    return max_iter + 1


def run_cli(cli, centre_re, centre_im, rng, max_iter):
    out = subprocess.run(
        [cli, "grid", "--centre-re", repr(centre_re), "--centre-im", repr(centre_im),
         "--range", repr(rng), "--max-iter", str(max_iter)],
        check=True, capture_output=True, text=True).stdout
    rows = [list(map(int, line.split(" "))) for line in out.splitlines()]
    assert len(rows) == 401 and all(len(r) == 401 for r in rows), "grid is not 401 x 401"
    return rows


def check(cli, centre_re, centre_im, rng, max_iter, points):
    grid = run_cli(cli, centre_re, centre_im, rng, max_iter)
    x0, y0, d = frame(centre_re, centre_im, rng)
    for i, j in points:
        expected = count(i * d + x0, j * d + y0, max_iter)
        if grid[i][j] != expected:
            sys.exit(f"FAIL centre {centre_re!r} {centre_im!r} range {rng!r} max-iter {max_iter}: "
                     f"point ({i}, {j}) is {grid[i][j]}, expected {expected}")


def main():
    cli = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(2**32)
    print(f"seed {seed}")
    rnd = random.Random(seed)
    every_point = [(i, j) for i in range(401) for j in range(401)]
    # A lattice of every 7th point plus the four edges keeps the check quick.
    lattice = sorted({(i, j) for i in range(0, 401, 7) for j in range(0, 401, 7)} |
                     {(e, k) for e in (0, 400) for k in range(401)} |
                     {(k, e) for e in (0, 400) for k in range(401)})

    cases = [
        (-0.5, 0.0, 2.5, 30, every_point),        # start-up region, low limit
        (-0.15, 0.8, 0.4, 200, lattice),          # benchmark region
        (0.3, -0.2, 0.0, 1000, [(0, 0), (400, 400), (17, 300)]),   # zero range
        (-0.5, 0.0, -2.5, 25, lattice),           # negative range: turned half a turn
        (0.0, 0.0, 10.0, 1, lattice),             # limit 1
        (0.6, 0.0, 0.2, 1_000_000, lattice),      # the widest limit, every point outside
    ]
    for _ in range(4):
        rng = 10 ** rnd.uniform(-13, 0.7) * rnd.choice([1, 1, 1, -1])
        cases.append((rnd.uniform(-2.5, 1.5), rnd.uniform(-1.5, 1.5), rng, rnd.randint(1, 100),
                      lattice))
    for _ in range(3):
        points = [(rnd.randrange(401), rnd.randrange(401)) for _ in range(30)]
        cases.append((rnd.uniform(-2.0, 0.5), rnd.uniform(-1.2, 1.2), 10 ** rnd.uniform(-6, 0.5),
                      rnd.choice([500, 1000, 2000]), points))

    for centre_re, centre_im, rng, max_iter, points in cases:
        check(cli, centre_re, centre_im, rng, max_iter, points)
    print(f"{len(cases)} regions agree")


if __name__ == "__main__":
    main()
