"""Fixtures shared by the test modules.

Every test file runs in the sanitizer job (.ci/sanitize) unless it says why not, with
``pytestmark = pytest.mark.no_sanitize("reason")``; a new file is therefore covered by default.
"""
import pytest


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "no_sanitize(reason): leave this test out of the sanitizer job, for the reason given")


def pytest_collection_modifyitems(config, items):
    for item in items:
        mark = item.get_closest_marker("no_sanitize")
        if mark is not None and not (mark.args and isinstance(mark.args[0], str) and mark.args[0]):
            raise pytest.UsageError(f"{item.nodeid}: no_sanitize needs the reason as its argument")

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
