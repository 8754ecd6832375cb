"""Inputs that once gave a plausible but wrong answer: full stiffener lists, the stiffener
forces of the listing and the result arrays, hat stringers in the global check, dead analysis
paths, scalar write-back, a plot grid of one interval and beam data with negative energy."""
import numpy as np
import pytest

import _zeft
import zeft

E, NU, T = 70000.0, 0.3, 1.0


def skin(t=T):
    a, d, g = E * t / (1 - NU * NU), E * t ** 3 / (12 * (1 - NU * NU)), (1 - NU) / 2
    return [a, NU * a, a, 0, 0, g * a, 0, 0, 0, 0, 0, 0, d, NU * d, d, 0, 0, g * d]


def callzeft(n, lines, **changes):
    """A square plate 180 x 180 with a stringer on every y-line in `lines` and a frame on every
    x-line in `lines`, one element between neighbouring lines; the module of preset n."""
    mod = getattr(_zeft, f"prtnds{n}")
    s, r = n - 2, n - 1
    istx, isty, elmstf = np.zeros(s, np.int32), np.zeros(s, np.int32), np.zeros(r, np.int32)
    istx[: len(lines)] = isty[: len(lines)] = lines
    elmstf[: len(lines) + 1] = 1
    matabd = np.asfortranarray(np.array([skin(), skin()], np.float32).T)
    args = dict(filenamep="FULL", titp="FULL LISTS", rxp=1e29, ryp=1e29, rxyp=1e29, matabdf=matabd,
                steifxf=[0.0, 0.0, 1.0e6, 0.0], steifyf=[0.0, 0.0, 1.0e6, 0.0], framepitch=10.0,
                stringerpitch=10.0, stypep=3, chordwdth=0.0, sfootwdth=0.0, alpha=0.0,
                height=0.0, loadvxp=1.0, loadvyp=0.0, loadvxyp=0.0, fnxp=0.0, fnxyp=0.0, fnyp=0.0,
                alfaxp=0.0, alfayp=0.0, elamp=np.zeros(55), membraneforcesp=np.zeros(275), itab=0,
                neigit=6, neigrq=2, mempri=0, indplt=0, ku=[1, 2, 3, 0, 0], istx=istx, isty=isty,
                elmstf=elmstf, bndy0=[0, 1, 3, 0, 0, 0, 0], bndyl=[0, 1, 0, 0, 0, 0, 0],
                bndx0=[0, 1, 2, 0, 0, 0, 0], bndxl=[0, 1, 0, 0, 0, 0, 0], anzelzwframes=1,
                anzelprohalbfoot=1, anzelzwstr=1, anzelbelowstr=1, displ=np.zeros(int(mod.p_nx) * 2))
    args.update(changes)
    mod.callzeft(**args)
    return args


def test_a_full_stiffener_list_is_every_stiffener(work_folder, capfd):
    """17 stringers and 17 frames fill both lists of preset 19 (no 0 ends them); preset 21 holds
    the same grid with a 0 after each list. Both must be the same stiffened panel."""
    lines = list(range(2, 19))
    full, spare = callzeft(19, lines), callzeft(21, lines)
    assert "Buckling/Vibration analysis finished" in capfd.readouterr().out
    np.testing.assert_allclose(full["elamp"][:2], spare["elamp"][:2], rtol=1e-9)
    assert full["elamp"][0] > 5 * 7.8  # the bare plate: k = 4 gives 7.8
