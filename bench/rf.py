#!/usr/bin/env python3
"""Normalised Robinson-Foulds distance of two rooted species trees (tree text, one per file
or argument): the clusters in one tree but not the other, over all non-trivial clusters."""
import sys


def clusters(text):
    text = text.strip().rstrip(';')
    if ' ' in text:  # a saved-store line: cost, blank, tree
        text = text.split(' ', 1)[1]
    out, stack, name = set(), [], ''
    for ch in text + ',':
        if ch == '(':
            stack.append(set())
        elif ch in ',)':
            if name:
                for s in stack:
                    s.add(name)
                name = ''
            if ch == ')':
                c = stack.pop()
                for s in stack:
                    s |= c
                out.add(frozenset(c))
        else:
            name += ch
    return out


def read(arg):
    try:
        with open(arg) as f:
            return f.readline()
    except OSError:
        return arg


a, b = clusters(read(sys.argv[1])), clusters(read(sys.argv[2]))
full = max(a | b, key=len)
a.discard(full)
b.discard(full)
print(f"{len(a ^ b) / max(1, len(a) + len(b)):.4f}")
