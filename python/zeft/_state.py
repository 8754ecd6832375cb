"""The one analysis state of the process: its lock, and its reset before a run."""

import threading

#: Held while the package reads or writes the analysis state (a run, a layout query): the
#: state, the working directory and file descriptor 1 are process-wide.
state_lock = threading.RLock()
