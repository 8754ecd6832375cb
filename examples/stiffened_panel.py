"""The built-in stiffened panel: load factors, forces at buckling, the nodal W values of the
first mode and a picture of it. Run: python examples/stiffened_panel.py"""

import numpy as np

import zeft

if __name__ == "__main__":
    panel = zeft.example_panel()
    print(f"{panel.title}: {panel.length:g} x {panel.width:g} mm, preset {panel.choose_preset()}")
    result = zeft.analyse(panel, folder="stiffened-run", progress=True)
    print(result.table())
    # W and its derivatives at the grid nodes: w_nodes[mode, y-line, x-line, kind],
    # kind 0 = W, 1 = W,x, 2 = W,y, 3 = W,xy.
    w = result.w_nodes[0, :, :, 0]
    iy, ix = np.unravel_index(np.abs(w).argmax(), w.shape)
    print(f"largest |W| of mode 1 at x = {result.x[ix]:.1f}, y = {result.y[iy]:.1f}")
    try:
        png = result.folder / "mode1.png"
        zeft.plot_mode(result, 1, png)           # the Figure, also written to png
        print("picture:", png)
    except ImportError as e:
        print(e)
