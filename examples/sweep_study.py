"""A parameter study: the buckling load of the built-in panel over the stringer pitch and the
skin thickness, analysed in parallel (one process per analysis). Pass a Dask executor to spread
it over a cluster:

    from distributed import Client
    client = Client("scheduler-address:8786")
    results = zeft.sweep(panels, executor=client.get_executor())

Run: python examples/sweep_study.py
"""

import itertools

import zeft

if __name__ == "__main__":          # the guard matters: worker processes import this file
    base = zeft.example_panel(eigenvalues=1)
    grid = list(itertools.product((120.0, 150.0, 180.0), (1.2, 1.6, 2.0)))
    panels = [base.replace(stringer_pitch=pitch,
                           skin=zeft.Isotropic(t, 70000.0, 0.33),
                           foot=zeft.Isotropic(t + 1.6, 70000.0, 0.33))
              for pitch, t in grid]
    results = zeft.sweep(panels, folder="sweep-run")
    print(f"{'pitch':>6} {'skin t':>7} {'Nx at buckling':>15}")
    for (pitch, t), r in zip(grid, results):
        text = f"{r.membrane_forces[0, 0]:15.2f}" if isinstance(r, zeft.BucklingResult) else f"  failed: {r}"
        print(f"{pitch:6.0f} {t:7.2f} {text}")
