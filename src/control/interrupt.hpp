// Interrupting a run: the host hands the core a check for a pending interrupt (a signal such
// as Ctrl-C); the long loops of a run poll it, and a positive answer unwinds the run to the
// host by the exception Interrupted. The numerical results of a run that is not interrupted
// do not depend on the polling.
#pragma once

namespace zeft {

/// Thrown by poll_interrupt when the host asks the run to stop.
struct Interrupted {};

/// True when the host asks the running analysis to stop.
using InterruptCheck = bool (*)();

/// Installs the host's check (nullptr: a run is never interrupted).
void set_interrupt_check(InterruptCheck check);

/// Asks the host's check; throws Interrupted when the run is to stop.
void poll_interrupt();

/// Ends a run that was interrupted: the listing gets the stop block and every unit is
/// closed, the work file deleted.
void end_interrupted_run();

}  // namespace zeft
