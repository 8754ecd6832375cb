// The host's interrupt check, polled between the steps of a run.
#include "control/interrupt.hpp"

#include "io/units.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {
InterruptCheck host_check = nullptr;
}  // namespace

void set_interrupt_check(InterruptCheck check) { host_check = check; }

void poll_interrupt() {
    if (host_check && host_check()) throw Interrupted{};
}

void end_interrupted_run() {
    if (datran.nwrite != io::stdout_unit && io::is_open(datran.nwrite)) {
        io::write_record(datran.nwrite, "    MAIN PROGRAM:   EXECUTION STOPPED.");
        io::write_record(datran.nwrite, fmt::X(16) + "THE RUN WAS INTERRUPTED");
    }
    io::close_all();
}

}  // namespace zeft
