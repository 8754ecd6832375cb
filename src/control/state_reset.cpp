// Reset of the analysis state.
#include "control/state_reset.hpp"

#include "io/units.hpp"
#include "state/records.hpp"

namespace zeft {

void reset_state() {
    io::close_all();
    reset_records();
}

}  // namespace zeft
