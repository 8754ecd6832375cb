"""The examples run from start to end."""
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[1] / "examples"


@pytest.mark.parametrize("script, expect", [
    ("hat_panel_from_sections.py", "buckles at"),
    ("convergence.py", "Richardson"),
])
def test_example_runs(script, expect, tmp_path):
    run = subprocess.run([sys.executable, str(EXAMPLES / script)], cwd=tmp_path, capture_output=True, text=True,
                         timeout=600)
    assert run.returncode == 0, run.stderr
    assert expect in run.stdout
