"""How fine a grid must be: the lowest load factor of the built-in stiffened panel on refined
grids and its h^4 Richardson extrapolation. Run: python examples/convergence.py"""

import zeft

if __name__ == "__main__":
    conv = zeft.converge(zeft.example_panel(), steps=4)
    print(conv.table())
    for grid, lam in zip(conv.grids, conv.load_factors):
        error = abs(lam - conv.estimate) / abs(conv.estimate)
        verdict = "0.1 %" if error < 1e-3 else "1 %" if error < 1e-2 else "coarse"
        print(f"{grid[0]} x {grid[1]} elements per bay: {verdict}")
