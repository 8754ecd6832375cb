"""Parameter studies: ``sweep(panels)`` analyses many panels in parallel.

The library holds one analysis state per process, which every analysis first returns to its
contents at load. By default a pool of persistent worker processes, one per core, analyses the
panels, each worker one after the other, each analysis in a folder of its own
(``zeft._pool``). A ``ThreadPoolExecutor`` passed in drives the same workers, one per thread.
Any other ``concurrent.futures.Executor`` runs the analyses in its own worker processes, for
example the executor of a Dask cluster (``distributed.Client(...).get_executor()``) or of Ray,
to spread a study over several machines; analyses that share such a process take turns.
"""

from __future__ import annotations

import os
import sys
import tempfile
import threading
import time
from concurrent.futures import Executor, ThreadPoolExecutor, as_completed, wait
from pathlib import Path
from typing import Iterable, Optional

from ._pool import WorkerPool
from .analysis import AnalysisError, analyse
from .panel import Panel

__all__ = ["sweep"]


def _task(panel: Panel, folder: str):
    """What an executor of other processes runs for one panel: the quiet analysis in that
    process."""
    return analyse(panel, folder, quiet=True)


def sweep(panels: Iterable[Panel], executor: Optional[Executor] = None, folder=None,
          progress: bool = True) -> list:
    """Analyses every panel; returns their results in input order.

    A panel that fails (invalid description, failed analysis) gives its exception in its
    slot; the others go on. Each analysis works in ``folder/NNNN-name`` (``folder`` default: a
    new temporary folder). ``progress`` writes a line with done/total, elapsed and estimated
    remaining time to standard error after each analysis. Ctrl-C cancels the panels not yet
    started, stops the running ones (with the default executor), and the sweep returns: their
    slots hold an AnalysisError saying so.
    """
    panels = list(panels)
    base = Path(folder).resolve() if folder is not None else Path(tempfile.mkdtemp(prefix="zeft-sweep-"))
    results: list = [None] * len(panels)
    report = _Progress(len(panels), progress)
    own = executor is None
    if own:
        executor = ThreadPoolExecutor(max_workers=min(os.cpu_count() or 1, max(len(panels), 1)),
                                      thread_name_prefix="zeft-sweep")
    pool = None
    if isinstance(executor, ThreadPoolExecutor):
        pool = WorkerPool(one_thread=getattr(executor, "_max_workers", 1) > 1)
    cancel = threading.Event() if pool is not None else None
    futures = {}
    try:
        for i, panel in enumerate(panels):
            try:
                if not isinstance(panel, Panel):
                    raise TypeError(f"sweep: entry {i} is a {type(panel).__name__}, not a zeft.Panel")
                panel.validate()
            except (TypeError, ValueError) as e:
                results[i] = e
                report.done(failed=True, analysed=False)
                continue
            where = base / f"{i:04d}-{panel.name}"
            if pool is not None:
                futures[executor.submit(pool.run, panel, where, cancel)] = i
            else:
                futures[executor.submit(_task, panel, str(where))] = i
        for future in as_completed(futures):
            i = futures[future]
            try:
                results[i] = future.result()
                report.done(failed=False)
            except Exception as e:  # the error belongs to this panel's slot
                results[i] = e
                report.done(failed=True)
    except KeyboardInterrupt:
        _cancel(futures, results, cancel, pool)
    finally:
        if pool is not None:
            pool.close()
        if own:
            executor.shutdown(wait=True, cancel_futures=True)
        report.close()
    return results


def _cancel(futures: dict, results: list, cancel, pool) -> None:
    """After Ctrl-C: panels not started are cancelled, running ones stopped (``cancel``, the
    worker pool) and waited for; each unfinished slot gets an AnalysisError saying so."""
    for future in futures:
        future.cancel()
    if cancel is not None:
        cancel.set()
        pool.close()
        wait(futures)
    for future, i in futures.items():
        if results[i] is not None:
            continue
        if future.done() and not future.cancelled() and future.exception() is None:
            results[i] = future.result()
        else:
            results[i] = AnalysisError("interrupted: the sweep was cancelled before this panel's analysis ended")


class _Progress:
    """One progress line on standard error: done/total, failures, elapsed, remaining."""

    def __init__(self, total: int, enabled: bool):
        self.total, self.enabled = total, enabled and total > 0
        self.count = self.failed = self.refused = 0
        self.start = time.perf_counter()
        self.tty = enabled and hasattr(sys.stderr, "isatty") and sys.stderr.isatty()

    def done(self, failed: bool, analysed: bool = True) -> None:
        """Counts one panel; ``analysed`` is false for one refused before it ran, which takes
        no time and does not enter the estimate."""
        self.count += 1
        self.failed += failed
        self.refused += not analysed
        if not self.enabled:
            return
        elapsed = time.perf_counter() - self.start
        ran = self.count - self.refused
        remaining = elapsed / ran * (self.total - self.count) if ran else 0.0
        line = (f"zeft sweep: {self.count}/{self.total} done"
                + (f", {self.failed} failed" if self.failed else "")
                + f", {elapsed:.1f} s elapsed, about {remaining:.1f} s remaining")
        if self.tty:
            sys.stderr.write("\r" + line + "\033[K")
        else:
            sys.stderr.write(line + "\n")
        sys.stderr.flush()

    def close(self) -> None:
        if self.enabled and self.tty:
            sys.stderr.write("\n")
            sys.stderr.flush()
