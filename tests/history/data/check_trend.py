#!/usr/bin/env python3
"""The trend numbers of a history computed on their own, with Python's sqlite3 (psycopg2), statistics and
fractions (exact sums): the judged rows (a verdict and a ΔE) that WHERE lets through, oldest
first; n, mean, sample SD, Ppk = (threshold - mean) / (3 SD) when every row has the same
threshold, the trailing moving mean of WINDOW rows, and the means of UTC days and of weeks from
Monday.

    check_trend.py HISTORY 'WHERE ...' WINDOW

Prints "n N", "mean M", "sd S", "ppk P" ("nan" where none), then "moving I V" for each row, then
"day YYYY-MM-DD N MEAN" and "week YYYY-MM-DD N MEAN".
"""
import datetime
import math
import statistics
import sys

from historydb import connect
from fractions import Fraction


def main(history, where, window):
    window = int(window)
    db = connect(history)
    judged = "m.passed IS NOT NULL AND m.delta_e IS NOT NULL"
    where = (where + " AND " + judged) if where else ("WHERE " + judged)
    rows = list(db.rows("SELECT stored_at, delta_e, threshold FROM measurements m " + where +
                        " ORDER BY stored_at, id"))
    values = [r[1] for r in rows]
    n = len(values)
    print("n %d" % n)
    mean = float(sum(Fraction(v) for v in values) / n) if n else float("nan")
    sd = statistics.stdev(values) if n >= 2 else float("nan")
    print("mean %.17g" % mean)
    print("sd %.17g" % sd)
    thresholds = {r[2] for r in rows}
    ppk = float("nan")
    if len(thresholds) == 1 and None not in thresholds and n >= 2 and sd > 0:
        ppk = (thresholds.pop() - mean) / (3 * sd)
    print("ppk %.17g" % ppk)
    for i in range(n):
        part = values[max(0, i + 1 - window):i + 1]
        print("moving %d %.17g" % (i, float(sum(Fraction(v) for v in part) / len(part))))
    for kind in ("day", "week"):
        groups = {}
        for stored, value, _ in rows:
            day = datetime.datetime.strptime(stored, "%Y-%m-%dT%H:%M:%S.%fZ").date()
            if kind == "week":
                day -= datetime.timedelta(days=day.weekday())
            groups.setdefault(day, []).append(value)
        for day in sorted(groups):
            part = groups[day]
            print("%s %s %d %.17g" % (kind, day.isoformat(), len(part), float(sum(Fraction(v) for v in part) / len(part))))


if __name__ == "__main__":
    main(*sys.argv[1:4])
