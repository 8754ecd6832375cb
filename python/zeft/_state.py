"""The lock of the one analysis state of the process."""

import threading

#: Held while the package reads or writes the analysis state (a run, a layout query): the
#: records, the library's units, its working folder and its standard-output receiver are
#: all process-wide.
state_lock = threading.RLock()
