// Reset of the analysis state.
#include "control/state_reset.hpp"

#include "io/units.hpp"
#include "state/records.hpp"

namespace zeft {

void reset_state() {
    io::close_all();
    io::set_folder("");
    io::set_output_sink({});
    reset_records();
}

}  // namespace zeft
