"""The examples run from start to end (the values they print are checked where their rooms are
tested: test_capabilities, test_sections, test_loads_convergence)."""
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[1] / "examples"


@pytest.mark.parametrize("script, expect", [
    ("hat_panel_from_sections.py", "buckles at"),
    ("convergence.py", "Richardson"),
    ("shear_deformation.py", "with shear"),
    ("panel_frequencies.py", "of the buckling load"),
    ("strength_checks.py", "RF crip."),
    ("load_distributions.py", "under in-plane bending: k = "),
])
def test_example_runs(script, expect, tmp_path):
    run = subprocess.run([sys.executable, str(EXAMPLES / script)], cwd=tmp_path, capture_output=True, text=True,
                         timeout=600)
    assert run.returncode == 0, run.stderr
    assert expect in run.stdout
