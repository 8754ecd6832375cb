"""Fixtures shared by the test modules."""
import pytest

# Units a test may leave open: 8 namelist input, 9 listing, 25 work file RCA25, 26 mode shapes.
WORK_UNITS = (8, 9, 25, 26)


@pytest.fixture
def work_folder(tmp_path, monkeypatch):
    """tmp_path as the working folder, with the work units closed before and after the test."""
    zeft = pytest.importorskip("_zeft")
    monkeypatch.chdir(tmp_path)
    for unit in WORK_UNITS:
        zeft._close_unit(unit)
    yield tmp_path
    for unit in WORK_UNITS:
        zeft._close_unit(unit)
