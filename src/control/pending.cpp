// Stand-ins for the mode-shape output
// until those routines are part of the build: each says so in the listing and on standard
// output and reports failure, so a run never pretends to have results it did not compute.
#include <string>

#include "io/units.hpp"
#include "results/mode_shapes.hpp"
#include "solver/buckling.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

void not_available(const char* routine) {
    const std::string line = std::string(" NOT AVAILABLE IN THIS BUILD: ") + routine;
    io::write_record(datran.nwrite, line);
    io::write_record(io::stdout_unit, line);
}

}  // namespace

template <class P>
void pltmsh() {
    not_available("PLTMSH");
}

template <class P>
void cntour() {
    not_available("CNTOUR");
}

template <class P>
void modes(int& ier) {
    not_available("MODES");
    ier = 1;
}

#define ZEFT_INST_PENDING(P)                                                                  \
    template void pltmsh<P>();                                                                \
    template void cntour<P>();                                                                \
    template void modes<P>(int&);
ZEFT_FOR_EACH_PRESET(ZEFT_INST_PENDING)
#undef ZEFT_INST_PENDING

}  // namespace zeft
