"""Size of the factor of the coupled matrix K under three numberings of the grid's nodes, by
symbolic elimination (no arithmetic):

    python3 bench/ordering_fill.py [lines] [freedoms per node]     (default 61 12: W, U, V)

Nodes are coupled when they share a subdivision (9 neighbours); a node carries d freedoms,
numbered together. Numberings: node lines along the shorter direction (the band the solver
uses), reverse Cuthill-McKee (SciPy) as the profile ordering, and nested dissection of the grid
by middle node lines (separators last, blocks of at most 6 x 6 nodes by lines). Printed: the
entries of the factor L (what every solve streams) and the multiply-adds of the factorisation.
"""
import sys

import numpy as np
import scipy.sparse as sp
from scipy.sparse.csgraph import reverse_cuthill_mckee


def neighbours(n):
    adj = [set() for _ in range(n * n)]
    for x in range(n):
        for y in range(n):
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    if (dx or dy) and 0 <= x + dx < n and 0 <= y + dy < n:
                        adj[x * n + y].add((x + dx) * n + y + dy)
    return adj


def node_lines(n):
    return list(range(n * n))


def reverse_cuthill_mckee_order(adj):
    rows = [v for v, s in enumerate(adj) for _ in s]
    cols = [u for s in adj for u in s]
    a = sp.csr_matrix((np.ones(len(rows)), (rows, cols)), shape=(len(adj), len(adj)))
    return list(reverse_cuthill_mckee(a, symmetric_mode=True))


def nested_dissection(n, leaf=6):
    out = []

    def split(x0, x1, y0, y1):
        if x1 <= x0 or y1 <= y0:
            return
        if (x1 - x0) * (y1 - y0) <= leaf * leaf:
            out.extend(x * n + y for x in range(x0, x1) for y in range(y0, y1))
        elif x1 - x0 >= y1 - y0:
            m = (x0 + x1) // 2
            split(x0, m, y0, y1)
            split(m + 1, x1, y0, y1)
            out.extend(m * n + y for y in range(y0, y1))
        else:
            m = (y0 + y1) // 2
            split(x0, x1, y0, m)
            split(x0, x1, m + 1, y1)
            out.extend(x * n + m for x in range(x0, x1))

    split(0, n, 0, n)
    return out


def factor_size(adj, order, d):
    """Entries of L and multiply-adds of the factorisation with d freedoms per node."""
    pos = {v: k for k, v in enumerate(order)}
    later = [set(pos[u] for u in adj[v]) for v in order]
    entries = flops = 0.0
    for k in range(len(order)):
        up = {u for u in later[k] if u > k}
        for u in up:
            later[u] |= up
            later[u].discard(u)
        c = len(up)
        entries += d * d * c + d * (d + 1) / 2
        flops += sum((d * c + j) ** 2 for j in range(d))
    return entries, flops


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 61
    d = int(sys.argv[2]) if len(sys.argv) > 2 else 12
    adj = neighbours(n)
    for name, order in (("node lines (band)", node_lines(n)), ("reverse Cuthill-McKee", reverse_cuthill_mckee_order(adj)),
                        ("nested dissection", nested_dissection(n))):
        entries, flops = factor_size(adj, order, d)
        print(f"{n} x {n} lines, {d} freedoms per node, {name:22s}: L {entries / 1e6:6.1f} M entries "
              f"({entries * 8 / 2 ** 20:5.0f} MB), factorisation {flops / 1e9:6.1f} G multiply-adds")


if __name__ == "__main__":
    main()
