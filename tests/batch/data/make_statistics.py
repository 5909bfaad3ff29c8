#!/usr/bin/env python3
"""Writes statistics.txt: a small batch of table rows and, for several choices of rows, the
statistics worked out independently of the program: exact rational arithmetic (fractions) on
the decimal texts of the rows, Python's own formulas for mean and n-1 standard deviation, the
hue difference wrapped into (-180, 180] as the panel shows it.

Run from this folder: python3 make_statistics.py > statistics.txt

Row lines:  row <name> <std L a b C h> <sample L a b C h> <dE> <verdict P|N|-> <threshold|->
Case lines: case <name> <band percent or 0 for off> <row indices, comma separated>
            then "<key> <value>" lines, ended by "end".
"""
from fractions import Fraction as F
import math

ROWS = [
    # name      standard L a b C h                      sample L a b C h                      dE    v    T
    ("Comp1",  "50.00 10.00 -20.00 22.36 296.6",  "51.20 10.40 -19.10 21.75 298.6",  "1.52", "P", "2.0"),
    ("Comp2",  "50.00 10.00 -20.00 22.36 296.6",  "48.70 11.90 -21.30 24.40 299.2",  "2.93", "N", "2.0"),
    ("Comp3",  "62.10 30.00 -0.20 30.00 359.6",   "62.40 31.10 0.90 31.11 1.7",      "1.60", "P", "2.0"),
    ("Comp4",  "62.10 30.00 -0.20 30.00 359.6",   "61.90 29.20 -1.10 29.22 357.8",   "1.71", "P", "2.0"),
    ("x,\"odd\"", "40.00 -5.00 35.00 35.36 98.1", "40.00 -5.00 35.00 35.36 98.1",    "0.00", "P", "2.0"),
    ("import1", "70.00 0.00 0.00 0.00 0.0",       "72.00 1.00 1.00 1.41 45.0",       "2.45", "-", "-"),
    ("Comp7",  "30.00 20.00 -75.00 77.62 284.9",  "30.90 21.40 -73.20 76.26 286.3",  "1.95", "P", "2.0"),
    ("Comp8",  "30.00 20.00 -75.00 77.62 284.9",  "29.10 17.90 -78.40 80.42 282.9",  "4.21", "N", "3.0"),
    ("import2", "55.00 5.00 5.00 7.07 45.0",      "55.50 5.50 5.50 7.78 45.0",       "0.87", "-", "2.0"),
    ("Comp10", "85.00 5.00 90.00 90.14 86.8",     "85.30 4.20 92.00 92.10 87.4",     "2.93", "N", "2.0"),
    ("Comp11", "85.00 5.00 90.00 90.14 86.8",     "84.80 5.30 89.10 89.26 86.6",     "2.40", "P", "3.0"),
    # downloaded while the ΔE parameters were unknown: a verdict, no ΔE
    ("Dl12",   "45.00 2.00 3.00 3.61 56.3",       "47.50 3.00 1.00 3.16 18.4",       "nan", "N", "-"),
]

CASES = [
    ("all-off", 0, list(range(len(ROWS)))),
    ("all-80", 80, list(range(len(ROWS)))),
    ("all-95", 95, list(range(len(ROWS)))),
    ("one", 80, [2]),
    ("selection", 80, [0, 3, 5, 6, 9]),
    ("none-judged", 80, [5, 8]),
    ("unknown-dE", 80, [0, 11, 1]),
    ("only-unknown-dE", 80, [11]),
]


def hue_difference(h1, h2):
    d = h2 - h1
    while d > 180:
        d -= 360
    while d <= -180:
        d += 360
    return d


def delta_e(row):
    """The row's ΔE, None when it has none: such a row keeps its verdict and counts as PASS or NG,
    but is left out of the ΔE figures."""
    return None if row[3] == "nan" else F(row[3])


def values(row):
    std = [F(x) for x in row[1].split()]
    smp = [F(x) for x in row[2].split()]
    return [smp[0] - std[0], smp[1] - std[1], smp[2] - std[2], smp[3] - std[3],
            hue_difference(std[4], smp[4]), delta_e(row)]


def stats(indices, percent):
    judged = [i for i in indices if ROWS[i][4] != "-"]
    out = {"rows": len(indices), "judged": len(judged),
           "pass": sum(1 for i in judged if ROWS[i][4] == "P"),
           "ng": sum(1 for i in judged if ROWS[i][4] == "N")}
    out["passRate"] = F(out["pass"], len(judged)) if judged else None
    near = 0
    for i in judged:
        if percent and ROWS[i][4] == "P" and ROWS[i][5] != "-" and delta_e(ROWS[i]) is not None:
            e, t = delta_e(ROWS[i]), F(ROWS[i][5])
            if F(percent, 100) * t < e <= t:
                near += 1
    out["nearLimit"] = near
    largest = None
    for i in judged:
        if delta_e(ROWS[i]) is None:
            continue
        if largest is None or delta_e(ROWS[i]) > delta_e(ROWS[largest]):
            largest = i
    out["largestRow"] = indices.index(largest) if largest is not None else -1
    out["notJudged"] = ",".join(str(indices.index(i)) for i in indices if ROWS[i][4] == "-") or "none"
    names = ["dL", "da", "db", "dC", "dh", "dE"]
    for q, name in enumerate(names):
        v = [values(ROWS[i])[q] for i in judged if values(ROWS[i])[q] is not None]
        n = len(v)
        if n == 0:
            out[name] = None
            continue
        mean = sum(v) / n
        sd = math.sqrt(sum((x - mean) ** 2 for x in v) / (n - 1)) if n > 1 else None
        out[name] = (mean, sd, min(v), max(v))
    return out


def fmt(x):
    return "nan" if x is None else repr(float(x))


print("# made by make_statistics.py; see there how")
for r in ROWS:
    print("row", r[0].replace(" ", "_"), r[1], r[2], r[3], r[4], r[5])
for name, percent, indices in CASES:
    print("case", name, percent, ",".join(map(str, indices)))
    s = stats(indices, percent)
    for key in ("rows", "judged", "pass", "ng", "nearLimit", "largestRow", "notJudged"):
        print(key, s[key])
    print("passRate", fmt(s["passRate"]))
    for name in ("dL", "da", "db", "dC", "dh", "dE"):
        v = s[name]
        print(name, *(fmt(x) for x in (v if v else (None,) * 4)))
    print("end")
