// The whole analysis state at once: back to what the library holds when it is loaded.
#pragma once

namespace zeft {

/// Closes every unit, opens later files in the current folder again, sends standard output to
/// the C stream again and returns every record to its contents at load (constant tables
/// rebuilt, everything else at its starting value), as in a freshly loaded library.
void reset_state();

}  // namespace zeft
