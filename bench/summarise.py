#!/usr/bin/python3
"""Summarises the tables of several bench runs (read from stdin): per download, the median and the range.

    bench/summarise.py <RUNS   (bench/run gives it the output of its runs)
    bench/summarise.py --help
"""
import re
import statistics
import sys

if sys.argv[1:2] in (["-h"], ["--help"]):
    print(__doc__.strip())
    sys.exit(0)

ROW = re.compile(r"^(?P<name>\S.{27}) (?P<result>ok|FAILED)\s+(?P<numbers>[\d. ]+)$")
# Columns after the result, in the order transfer_bench prints them.
COLUMNS = ["MiB", "s", "MB/s", "refreshes", "texts", "probes", "p99 ms", "max ms", "pvt MiB", "peak"]
SHOWN = ["MB/s", "refreshes", "texts", "p99 ms", "max ms", "pvt MiB", "peak"]
# Single figures: "figure: NAME = VALUE UNIT".
FIGURE = re.compile(r"^figure: (?P<name>.+?) = (?P<value>[\d.]+) (?P<unit>\S+)")

rows = {}
figures = {}
failed = 0
for line in sys.stdin:
    figure = FIGURE.match(line.rstrip())
    if figure:
        figures.setdefault((figure["name"], figure["unit"]), []).append(float(figure["value"]))
    match = ROW.match(line.rstrip())
    if not match:
        continue
    failed += match["result"] != "ok"
    values = dict(zip(COLUMNS, map(float, match["numbers"].split())))
    rows.setdefault(match["name"].strip(), []).append(values)

bare = [run["MB/s"] for run in rows.get("bare read loop, 256 MiB", [])]
runs = len(bare)
print(f"summary of {runs} runs: median [min - max]" + (f", {failed} FAILED downloads" if failed else ""))
for name, samples in rows.items():
    cells = []
    for column in SHOWN:
        values = [sample[column] for sample in samples if column in sample]
        if values:
            cells.append(f"{column} {statistics.median(values):g} [{min(values):g} - {max(values):g}]")
    print(f"  {name:<28} " + ", ".join(cells))
for name in ("transfer + dialog, 256 MiB", "transfer, no displays, 256"):
    ratios = [run["MB/s"] / base for run, base in zip(rows.get(name, []), bare) if base > 0]
    if ratios:
        print(f"  ratio {name} / bare: {statistics.median(ratios):.2f} [{min(ratios):.2f} - {max(ratios):.2f}]")
for (name, unit), values in figures.items():
    print(f"  {name}: {statistics.median(values):g} {unit} [{min(values):g} - {max(values):g}]")
