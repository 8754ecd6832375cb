"""Analysis type handling: namelist title and flags, and eigenvalue counts (the flag check and the
title page are pinned by the reference listing and the driver tests)."""
import numpy as np
import pytest

import _zeft
from conftest import unit9

u = _zeft.zeftutils


@pytest.fixture
def lst():
    """Namelist input on fort.8, the listing on fort.9; returns the reader of the listing."""
    _zeft.datran.nread, _zeft.datran.nwrite = 8, 9
    return unit9


def call(routine):
    ier = np.full(1, -7, np.int32)
    routine(ier)
    return int(ier[0])


HEAD = ["", " MESSAGE FROM SUBROUTINE RDTYPE:"]


@pytest.mark.parametrize("text, ier, listing, tit, buck", [
    ("text\n &title tit = 'PANEL 7, CURVED' /\n &other x=1 /\n &ANTYPE BUCK = T, cripan=.true.\n glban=F /\n",
     0, [], "PANEL 7, CURVED", 1),
    (" &antype buck = T /\n", 1, HEAD + [" INPUT ERROR WHEN TRYING TO READ TITLE LINE"], "", 0),
    (" &title tit = 'ONLY TITLE' /\n", 2, HEAD + [" INPUT ERROR. NAMELIST ANTYPE NOT FOUND"], "ONLY TITLE", 0),
    (" &title tit = 'T' /\n &antype buck = T, vibr = perhaps /\n", 3,
     HEAD + [" INPUT ERROR. NAMELIST ANTYPE CANNOT BE READ:"], "T", None),
])
def test_rdtype(lst, capfd, tmp_path, text, ier, listing, tit, buck):
    (tmp_path / "fort.8").write_text(text)
    _zeft.title.tit, _zeft.antype.strs = "", 1  # omitted items keep their values
    capfd.readouterr()
    assert call(u.rdtype) == ier
    assert bytes(_zeft.title.tit[()]) == tit.ljust(80).encode() and _zeft.antype.strs == 1
    if buck is not None:
        assert _zeft.antype.buck == buck and _zeft.antype.cripan == buck and _zeft.antype.glban == 0
    out = lst()
    assert out[:len(listing)] == listing and capfd.readouterr().out.splitlines() == out
    if ier == 3:  # the reader's diagnosis names the item and the text
        assert len(out) == 4 and "VIBR" in out[3].upper() and "perhaps" in out[3]


@pytest.mark.parametrize("neigit, neigrq, after, out", [
    (20, 15, (12, 11), [" VALUE OF NEIGIT REDUCED TO 12 = NUMBER OF W-DOFS", " VALUE OF NEIGRQ REDUCED TO 11 = NEIGIT-1"]),
    (8, 8, (8, 7), [" VALUE OF NEIGRQ REDUCED TO  7 = NEIGIT-1"]),
    (8, 7, (8, 7), []),
])
def test_chneig(lst, capfd, neigit, neigrq, after, out):
    _zeft.man.ix, _zeft.man.neigit, _zeft.man.neigrq = 12, neigit, neigrq
    capfd.readouterr()
    u.chneig()
    assert (_zeft.man.neigit, _zeft.man.neigrq) == after
    assert capfd.readouterr().out.splitlines() == out and lst() == []
