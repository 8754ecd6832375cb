"""Analyses in processes of their own.

``python -m zeft._worker TASK ANSWER`` runs one analysis: it reads a pickled (panel, folder)
from TASK and writes ("ok", result) or ("error", exception) to ANSWER.

``serve(tasks, answers)`` is the loop of a persistent worker of ``zeft.sweep``: it reads one
pickled (panel, folder) after the other from descriptor ``tasks`` and sends each outcome back
on ``answers``, until the task pipe closes. Every analysis starts from the state at load, so a
worker's results do not depend on the panels it analysed before.
"""

import pickle
import sys
from multiprocessing.connection import Connection
from pathlib import Path


def outcome(panel, folder) -> bytes:
    """The pickled outcome of one quiet analysis: ("ok", result) or ("error", exception);
    an exception that does not pickle comes back as a RuntimeError with its text."""
    from .analysis import analyse

    try:
        answer = ("ok", analyse(panel, folder, quiet=True))
    except Exception as e:  # every failure goes back to the caller's slot
        answer = ("error", e)
    try:
        return pickle.dumps(answer)
    except Exception:
        return pickle.dumps(("error", RuntimeError(f"{type(answer[1]).__name__}: {answer[1]}")))


def main(task: str, answer: str) -> int:
    panel, folder = pickle.loads(Path(task).read_bytes())
    Path(answer).write_bytes(outcome(panel, folder))
    return 0


def serve(tasks: int, answers: int) -> int:
    import _zeft  # noqa: F401  (loaded before the first task, while the pool starts)

    inbox, outbox = Connection(tasks, writable=False), Connection(answers, readable=False)
    outbox.send_bytes(b"ready")
    while True:
        try:
            panel, folder = pickle.loads(inbox.recv_bytes())
        except EOFError:
            return 0
        outbox.send_bytes(outcome(panel, folder))


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
