"""Command line: python -m zeft <command>."""

from __future__ import annotations

import argparse
import sys

import numpy as np


def _example(args) -> int:
    from .example import EXAMPLE_PANEL, run_example

    result = run_example(".")
    print()
    print(EXAMPLE_PANEL["title"])
    print(f"axial load {EXAMPLE_PANEL['axial_load']:g} N/mm (compression), scaled by the load factor")
    print()
    print(f"{'mode':>4}  {'load factor':>12}  {'Nx (N/mm)':>12}  {'stringer (N)':>13}  {'frame (N)':>12}")
    for i, (factor, forces) in enumerate(zip(result["load_factors"], result["forces"]), start=1):
        print(f"{i:>4}  {factor:>12.6f}  {forces[0]:>12.3f}  {forces[3]:>13.1f}  {forces[4]:>12.1f}")
    print()
    print(f"Listing:     {result['listing']}")
    if result["mode_file"] is not None:
        print(f"Mode shapes: {result['mode_file']}")
    if not np.any(result["load_factors"]):
        print("The analysis reported a failure; the listing says why.")
        return 1
    return 0


def _laminate(args) -> int:
    from .laminate import laminate_abd

    abd = laminate_abd(args.thickness, args.angles, args.e1, args.e2, args.nu12, args.g12)
    np.set_printoptions(precision=4, suppress=False)
    print(f"thickness {abd['thickness']:.6g}")
    for key in ("A", "D", "coupling"):
        print(f"{key}:\n{abd[key]}")
    return 0


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(prog="zeft", description="Buckling analysis of stiffened panels")
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("example", help="run the built-in example").set_defaults(func=_example)
    lam = sub.add_parser("laminate", help="ABD stiffness of a ply stack")
    lam.add_argument("--thickness", type=float, nargs="+", required=True, help="ply thicknesses, bottom up")
    lam.add_argument("--angles", type=float, nargs="+", required=True, help="ply angles in degrees")
    lam.add_argument("--e1", type=float, required=True)
    lam.add_argument("--e2", type=float, required=True)
    lam.add_argument("--nu12", type=float, required=True)
    lam.add_argument("--g12", type=float, required=True)
    lam.set_defaults(func=_laminate)
    args = parser.parse_args(argv)
    if args.command == "laminate" and len(args.thickness) != len(args.angles):
        parser.error("--thickness and --angles need the same number of plies")
    return args.func(args)


if __name__ == "__main__":
    sys.exit(main())
