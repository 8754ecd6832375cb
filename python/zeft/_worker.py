"""One analysis in a process of its own: ``python -m zeft._worker TASK ANSWER`` reads a pickled
(panel, folder) from TASK and writes ("ok", result) or ("error", exception) to ANSWER."""

import pickle
import sys
from pathlib import Path


def main(task: str, answer: str) -> int:
    from .analysis import analyse

    panel, folder = pickle.loads(Path(task).read_bytes())
    try:
        outcome = ("ok", analyse(panel, folder, quiet=True))
    except Exception as e:  # every failure goes back to the caller's slot
        outcome = ("error", e)
    try:
        data = pickle.dumps(outcome)
    except Exception:
        data = pickle.dumps(("error", RuntimeError(f"{type(outcome[1]).__name__}: {outcome[1]}")))
    Path(answer).write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
