"""Fixtures shared by the test modules."""
import pytest

_zeft = pytest.importorskip("_zeft")


@pytest.fixture(autouse=True)
def fresh_state():
    """Every test starts from the analysis state of a freshly loaded library (units closed)."""
    _zeft._reset_state()
    yield
    _zeft._reset_state()


@pytest.fixture
def work_folder(tmp_path, monkeypatch):
    """tmp_path as the working folder."""
    monkeypatch.chdir(tmp_path)
    return tmp_path
