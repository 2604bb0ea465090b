#!/usr/bin/env python3
"""Calibration of kelvora's branch supports against the simulated species tree.
  calibrate.py branches SPECIES BEST   one line per internal branch of BEST (a --best file
                                       with --support and --bootstrap): support, bootstrap,
                                       and 1 when its clade is in SPECIES, else 0
  calibrate.py table ROWS...           the reliability tables of rows 'setting support
                                       bootstrap true', in Markdown"""
import re
import sys


def clades(text):
    """Clusters of a rooted tree text with labels and [comments], each with its label text."""
    text = text.strip().rstrip(';')
    out, stack, i = {}, [], 0
    while i < len(text):
        ch = text[i]
        if ch == '(':
            stack.append(set())
            i += 1
        elif ch == ',':
            i += 1
        elif ch == ')':
            c = stack.pop()
            if stack:
                stack[-1] |= c
            m = re.match(r"([^,()\[;]*)(\[[^\]]*\])?", text[i + 1:])
            out[frozenset(c)] = (m.group(1), m.group(2) or '')
            i += 1 + m.end()
        else:
            m = re.match(r"[^,()\[;:]+", text[i:])
            if stack:
                stack[-1].add(m.group(0))
            i += m.end()
    return out


def branches(species, best):
    truth = set(clades(open(species).read()))
    tree = clades(open(best).readline())
    every = max(tree, key=len)
    for c, (label, comment) in tree.items():
        if c == every:
            continue
        m = re.search(r"SUPPORT=([0-9.]+)", comment)
        print(m.group(1) if m else '-', label, 1 if c in truth else 0)


BINS = [(0, 50), (50, 70), (70, 80), (80, 90), (90, 95), (95, 100.01)]


def table(files):
    rows = {}
    for f in files:
        for line in open(f):
            setting, sup, boot, true = line.split()
            rows.setdefault(setting, []).append((float(sup), float(boot), int(true)))
    for setting, r in rows.items():
        print(f"\n{setting}: {len(r)} branches of the best trees, {sum(t for _, _, t in r)} of them true\n")
        print("| support bin | resampling: branches | in simulated tree | bootstrap: branches | in simulated tree |")
        print("|---|---|---|---|---|")
        for lo, hi in BINS:
            cells = []
            for k in (0, 1):
                inbin = [x for x in r if lo <= x[k] < hi]
                share = f"{100 * sum(x[2] for x in inbin) / len(inbin):.1f} %" if inbin else "-"
                cells += [str(len(inbin)), share]
            print(f"| {lo:g}-{min(hi, 100):g} | " + " | ".join(cells) + " |")
        for k, name in ((0, 'resampling'), (1, 'bootstrap')):
            true = [x for x in r if x[2]]
            false = [x for x in r if not x[2]]
            high = [x for x in r if x[k] >= 95]
            prec = 100 * sum(x[2] for x in high) / len(high) if high else float('nan')
            tp = 100 * sum(1 for x in true if x[k] >= 95) / len(true) if true else float('nan')
            fp = 100 * sum(1 for x in false if x[k] >= 95) / len(false) if false else float('nan')
            print(f"\n{name}: >= 95 on {tp:.1f} % of true branches, on {fp:.1f} % of false ones; "
                  f"precision at >= 95: {prec:.1f} %")


if __name__ == '__main__':
    if sys.argv[1] == 'branches':
        branches(sys.argv[2], sys.argv[3])
    else:
        table(sys.argv[2:])
