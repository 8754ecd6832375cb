"""Command line: python -m zeft <command>."""

from __future__ import annotations

import argparse
import sys

import numpy as np


def _example(args) -> int:
    from .laminate import laminate_abd

    # Quasi-isotropic carbon/epoxy skin, eight plies of 0.125 mm (N, mm).
    angles = [45, -45, 0, 90, 90, 0, -45, 45]
    abd = laminate_abd([0.125] * 8, angles, 135000.0, 10000.0, 0.3, 5000.0)
    np.set_printoptions(precision=1, suppress=True)
    print(f"Laminate [45/-45/0/90]s, thickness {abd['thickness']:.3f} mm")
    print("A (N/mm):\n", abd["A"])
    print("D (N mm):\n", abd["D"])
    print("coupling (N):\n", abd["coupling"])
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
