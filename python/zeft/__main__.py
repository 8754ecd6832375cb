"""Command line: ``zeft run panel.toml``, ``zeft example``, ``zeft laminate``, ``zeft reference``
(also ``python -m zeft ...``)."""

from __future__ import annotations

import argparse
import sys
import time

import numpy as np


def _analyse_and_report(panel, folder, args) -> int:
    from .analysis import AnalysisError, analyse

    t0 = time.perf_counter()
    try:
        result = analyse(panel, folder, quiet=args.quiet, progress=not args.quiet)
    except AnalysisError as e:
        _complain(_one_line(e) + (f" (the listing {e.listing} tells more)" if e.listing is not None else ""))
        return 1
    print()
    print(panel.title or panel.name)
    load = panel.load
    print("variable load nx = {:g}, ny = {:g}, nxy = {:g} (positive = compression), scaled by the load "
          "factor".format(load.nx, load.ny, load.nxy))
    fixed = panel.fixed_load
    if any((fixed.nx, fixed.ny, fixed.nxy)):
        print(f"fixed load    nx = {fixed.nx:g}, ny = {fixed.ny:g}, nxy = {fixed.nxy:g}")
    print()
    print("\n".join(result._mode_rows()))
    if result.crippling:
        print()
        for part, force in result.crippling.items():
            print(f"crippling force of the {part}: {force:.5g}")
    print()
    print(f"Listing:     {result.listing_path}")
    if result.mode_file is not None:
        print(f"Mode shapes: {result.mode_file}")
    if not args.no_plot:
        t = time.perf_counter()
        try:
            from .plotting import mode_png_path, plot_mode

            png = mode_png_path(result, 1)
            plot_mode(result, 1, png)
            result.timings["plot"] = time.perf_counter() - t
            print(f"Plot:        {png}")
        except ImportError as e:
            print(f"Plot:        none ({e})")
    result.timings.pop("total", None)
    result.timings["total"] = time.perf_counter() - t0
    if not args.quiet:
        phases = ", ".join(f"{k} {v:.2f} s" for k, v in result.timings.items())
        print(f"zeft: timings: {phases}", file=sys.stderr)
    return 0


def _run(args) -> int:
    from .config import load_panel

    panel = load_panel(args.panel)
    try:
        panel.validate()
    except ValueError as e:
        raise ValueError(f"{args.panel}: {e}") from None
    folder = args.folder if args.folder is not None else (panel.folder if panel.folder is not None else ".")
    return _analyse_and_report(panel, folder, args)


def _example(args) -> int:
    from .example import example_panel

    return _analyse_and_report(example_panel(), args.folder or ".", args)


def _laminate(args) -> int:
    from .stiffness import PlyStack

    stack = PlyStack(args.thickness, args.angles, args.e1, args.e2, args.nu12, args.g12)
    m = stack.matrices()
    np.set_printoptions(precision=5, suppress=False, linewidth=100)
    print(f"thickness {m['thickness']:.6g}")
    for key in ("A", "D", "coupling"):
        print(f"{key}:\n{m[key]}")
    print("stiffness data set (A, coupling, D; each 11, 12, 22, 13, 23, 33):")
    print(" ".join(f"{v:.7g}" for v in stack.data_set()))
    return 0


def _reference(args) -> int:
    from .reference import markdown

    print(markdown())
    return 0


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(prog="zeft", description="Buckling analysis of stiffened panels")
    sub = parser.add_subparsers(dest="command", required=True)

    def run_options(p):
        p.add_argument("--folder", help="working folder of the run (default: the current folder)")
        p.add_argument("--quiet", action="store_true", help="no run output, no progress lines")
        p.add_argument("--no-plot", action="store_true", help="no PNG of the first mode")

    run = sub.add_parser("run", help="analyse the panel of a TOML file")
    run.add_argument("panel", help="TOML panel description (see examples/panel.toml)")
    run_options(run)
    run.set_defaults(func=_run)
    example = sub.add_parser("example", help="run the built-in stiffened panel")
    run_options(example)
    example.set_defaults(func=_example)
    lam = sub.add_parser("laminate", help="ABD stiffness of a ply stack")
    lam.add_argument("--thickness", type=float, nargs="+", required=True, help="ply thicknesses, bottom up")
    lam.add_argument("--angles", type=float, nargs="+", required=True, help="ply angles in degrees")
    lam.add_argument("--e1", type=float, required=True)
    lam.add_argument("--e2", type=float, required=True)
    lam.add_argument("--nu12", type=float, required=True)
    lam.add_argument("--g12", type=float, required=True)
    lam.set_defaults(func=_laminate)
    ref = sub.add_parser("reference", help="routine reference (Markdown) from the module's help texts")
    ref.set_defaults(func=_reference)

    args = parser.parse_args(argv)
    if args.command == "laminate" and len(args.thickness) != len(args.angles):
        parser.error("--thickness and --angles need the same number of plies")
    try:
        return args.func(args)
    except (ValueError, OSError) as e:      # bad input: one line naming the file and field
        _complain(f"error: {_one_line(e)}")
        return 2
    except KeyboardInterrupt:
        _complain("interrupted")
        return 130
    except Exception as e:                  # never a traceback on the terminal
        _complain(f"failed: {type(e).__name__}: {_one_line(e)}")
        return 1


def _one_line(e: BaseException) -> str:
    text = str(e) if not isinstance(e, OSError) or not e.filename else f"{e.filename}: {e.strerror}"
    return " ".join(text.split())


def _complain(text: str) -> None:
    if sys.stderr is not None:
        print(f"zeft: {text}", file=sys.stderr)


if __name__ == "__main__":
    sys.exit(main())
