"""Persistent analysis processes for ``zeft.sweep``.

A worker is a Python process started isolated (``python -I``: no current folder, no user site,
no PYTHONPATH on the module path; its working folder is a neutral temporary one) that loads the
package once and then analyses one panel after the other (``zeft._worker.serve``). Tasks and
outcomes travel as pickles over two pipes of its own. The pool hands an idle worker to each
task; a worker that dies during a task gives that task an AnalysisError with its exit code and
the last lines it wrote, and the next task starts a new one in its place.
"""

from __future__ import annotations

import os
import pickle
import shutil
import subprocess
import sys
import tempfile
import threading
from multiprocessing.connection import Connection
from pathlib import Path
from typing import Optional

from .analysis import AnalysisError, _module_paths

_BOOT = ("import sys; sys.path[:0] = sys.argv[3:]; from zeft._worker import serve; "
         "sys.exit(serve(int(sys.argv[1]), int(sys.argv[2])))")

#: Seconds between looks at the cancel flag while a worker is busy.
_POLL = 0.2


class _Worker:
    """One analysis process and the ends of its task and answer pipes."""

    def __init__(self, home: Path, number: int, env: dict):
        task_read, task_write = os.pipe()
        answer_read, answer_write = os.pipe()
        self.log = home / f"worker-{number}.err"
        try:
            with open(self.log, "wb") as err:
                self.proc = subprocess.Popen(
                    [sys.executable, "-I", "-c", _BOOT, str(task_read), str(answer_write), *_module_paths()],
                    pass_fds=(task_read, answer_write), cwd=home, env=env, stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL, stderr=err)
        except BaseException:
            for fd in (task_write, answer_read):
                os.close(fd)
            raise
        finally:
            os.close(task_read)
            os.close(answer_write)
        self.tasks = Connection(task_write, readable=False)
        self.answers = Connection(answer_read, writable=False)
        self.ready = False

    def receive(self, cancel: Optional[threading.Event]) -> bytes:
        """The next message of the worker; AnalysisError when it ends or ``cancel`` is set."""
        try:
            while not self.answers.poll(_POLL):
                if cancel is not None and cancel.is_set():
                    self.stop()
                    raise AnalysisError("the analysis was cancelled")
            return self.answers.recv_bytes()
        except (EOFError, OSError):
            self.stop()
            raise AnalysisError(self.death()) from None

    def death(self) -> str:
        """Why the worker is gone: its exit code and the last lines of its standard error."""
        code = self.proc.returncode
        how = f"killed by signal {-code}" if code is not None and code < 0 else f"exit code {code}"
        try:
            tail = self.log.read_text(errors="replace").strip().splitlines()[-5:]
        except OSError:
            tail = []
        return (f"the analysis process ended ({how}) before this panel's analysis was done"
                + (": " + " / ".join(tail) if tail else ""))

    def stop(self) -> None:
        """Ends the process (at once) and closes its pipes."""
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.close_pipes()

    def close_pipes(self) -> None:
        for end in (self.tasks, self.answers):
            try:
                end.close()
            except OSError:
                pass


class WorkerPool:
    """Worker processes shared by the threads of a sweep; ``run`` analyses one panel.

    With ``one_thread`` (a worker per core) every worker runs its analyses on one thread
    (ZEFT_THREADS=1, and numerical libraries held to one thread): two threads of each of
    several workers would only take turns on the same cores. The results are the same bits."""

    def __init__(self, one_thread: bool = False):
        self.env = dict(os.environ)
        if one_thread:
            self.env.update(ZEFT_THREADS="1", OPENBLAS_NUM_THREADS="1", OMP_NUM_THREADS="1")
        self.home = Path(tempfile.mkdtemp(prefix="zeft-workers-"))
        self.lock = threading.Lock()
        self.idle: list = []
        self.busy: set = set()
        self.started = 0
        self.closed = False

    def run(self, panel, folder, cancel: Optional[threading.Event] = None):
        """The BucklingResult of ``panel`` analysed in ``folder`` by a worker; the analysis's
        exception when it fails, AnalysisError when the worker dies or ``cancel`` is set."""
        worker = self._take()
        try:
            if not worker.ready:
                if worker.receive(cancel) != b"ready":
                    raise AnalysisError("an analysis process started but did not report ready")
                worker.ready = True
            try:
                worker.tasks.send_bytes(pickle.dumps((panel, str(Path(folder).resolve()))))
            except OSError:
                worker.stop()
                raise AnalysisError(worker.death()) from None
            status, value = pickle.loads(worker.receive(cancel))
        except BaseException:
            self._drop(worker)
            raise
        self._give_back(worker)
        if status == "ok":
            return value
        raise value

    def close(self) -> None:
        """Ends every worker (an idle one at the end of its task pipe, a busy one at once) and
        removes the pool's folder."""
        with self.lock:
            self.closed = True
            idle, busy = self.idle, list(self.busy)
            self.idle, self.busy = [], set()
        for worker in idle:
            worker.close_pipes()
        for worker in idle:
            try:
                worker.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                worker.stop()
        for worker in busy:
            worker.stop()
        shutil.rmtree(self.home, ignore_errors=True)

    def _take(self) -> _Worker:
        with self.lock:
            if self.closed:
                raise AnalysisError("the analysis was cancelled")
            worker = None
            while self.idle and worker is None:
                worker = self.idle.pop()
                if worker.proc.poll() is not None:      # ended while idle
                    worker.stop()
                    worker = None
            if worker is None:
                self.started += 1
                worker = _Worker(self.home, self.started, self.env)
            self.busy.add(worker)
            return worker

    def _give_back(self, worker: _Worker) -> None:
        with self.lock:
            self.busy.discard(worker)
            if self.closed:
                worker.stop()
            else:
                self.idle.append(worker)

    def _drop(self, worker: _Worker) -> None:
        with self.lock:
            self.busy.discard(worker)
        worker.stop()
