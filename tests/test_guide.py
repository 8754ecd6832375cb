"""Every Python block of the engineer's guide runs, in order, as a reader would paste them."""
import re
from pathlib import Path

import pytest

pytestmark = pytest.mark.no_sanitize("whole analyses and a parameter study; their routines have their own tests")

GUIDE = Path(__file__).resolve().parents[1] / "docs" / "guide.md"


def test_every_code_block_of_the_guide_runs(capsys):
    blocks = re.findall(r"^```python\n(.*?)^```", GUIDE.read_text(encoding="utf-8"), flags=re.S | re.M)
    assert len(blocks) >= 8
    space = {"__name__": "__main__"}
    for k, code in enumerate(blocks):
        try:
            exec(compile(code, f"{GUIDE.name}, block {k + 1}", "exec"), space)
        except Exception as e:
            pytest.fail(f"block {k + 1} of the guide fails: {type(e).__name__}: {e}\n{code}")
    assert Path("result.json").exists() and Path("panel.toml").exists()
