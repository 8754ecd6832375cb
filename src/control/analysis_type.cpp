// Analysis type handling: rdtype, cktype, prtype, chneig.
#include "control/analysis_type.hpp"

#include <array>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "io/format.hpp"
#include "io/namelist.hpp"
#include "io/units.hpp"
#include "state/errors.hpp"
#include "state/records.hpp"

namespace zeft {

namespace {

/// Message block of rdtype: header to the listing, then to standard output; then each reason
/// line to the listing and to standard output in turn.
void rdtype_message(std::initializer_list<std::string> reason) {
    const int lst = datran.nwrite;
    io::writef(lst, "(1X/1X,'MESSAGE FROM SUBROUTINE RDTYPE:')");
    io::writef(io::stdout_unit, "(1X/1X,'MESSAGE FROM SUBROUTINE RDTYPE:')");
    for (const std::string& line : reason) {
        io::writef(lst, "(1X,A)", {line});
        io::writef(io::stdout_unit, "(1X,A)", {line});
    }
}

/// Reads one group (named NAME in the messages); on failure writes the message block and
/// returns the error code.
int read_group(std::string_view group, const char* name, std::span<const io::NamelistItem> items,
               const char* missing, int missing_code) {
    std::string why;
    switch (io::read_namelist(datran.nread, group, items, &why)) {
        case io::NamelistStatus::ok:
            return err::ok;
        case io::NamelistStatus::not_found:
            rdtype_message({missing});
            return missing_code;
        case io::NamelistStatus::syntax_error:
            break;
    }
    rdtype_message({std::string("INPUT ERROR. NAMELIST ") + name + " CANNOT BE READ:", why});
    return err::rdtype::syntax;
}

}  // namespace

void rdtype(int& ier) {
    using T = io::NamelistItem::Type;
    const std::array<io::NamelistItem, 1> title_items{{{T::text, "tit", title.tit, 1, 80}}};
    ier = read_group("title", "TITLE", title_items, "INPUT ERROR WHEN TRYING TO READ TITLE LINE", err::rdtype::no_title);
    if (ier != err::ok) return;

    const std::array<io::NamelistItem, 7> flag_items{{
        {T::logical, "temp", &antype.temp},
        {T::logical, "strs", &antype.strs},
        {T::logical, "buck", &antype.buck},
        {T::logical, "vibr", &antype.vibr},
        {T::logical, "inpb", &antype.inpb},
        {T::logical, "cripan", &antype.cripan},
        {T::logical, "glban", &antype.glban},
    }};
    ier = read_group("antype", "ANTYPE", flag_items, "INPUT ERROR. NAMELIST ANTYPE NOT FOUND", err::rdtype::no_antype);
}

void cktype(int& ier) {
    ier = err::ok;
    if (!antype.buck && !antype.vibr) {
        // Accepted: the run checks and echoes its input without an eigen analysis.
        constexpr const char* line = "(1X,'STOP. ANALYSIS TYPE MUST BE BUCK OR VIBR')";
        io::writef(datran.nwrite, line);
        io::writef(io::stdout_unit, line);
    }
    if (antype.buck && antype.vibr) {
        constexpr const char* line = "(4X,'BUCKLING AND VIBRATION ANALYSIS',' HAVE TO BE DONE IN SEPARATE JOBS')";
        io::writef(datran.nwrite, line);
        io::writef(io::stdout_unit, line);
        ier = err::cktype::buck_and_vibr;
    }
}

void prtype() {
    const int lst = datran.nwrite;
    io::writef(lst, "('1'////8X,A80)", {std::string_view(title.tit, sizeof title.tit)});
    io::writef(lst, "(//4X,'REQUESTED ANALYSIS TYPE(S):')");
    if (antype.temp) io::writef(lst, "(25X,'TEMPERATURE DISTRIBUTION')");
    if (antype.strs) io::writef(lst, "(25X,'LINEAR DISPLACEMENTS, ','FORCES AND MOMENTS')");
    if (antype.buck) io::writef(lst, "(25X,'BUCKLING LOAD FACTORS ','AND CORRESPONDING MODES')");
    if (antype.vibr) io::writef(lst, "(25X,'NATURAL FREQUENCIES ','AND CORRESPONDING MODES')");
    if (antype.inpb) io::writef(lst, "(25X,'INITIAL POSTBUCKLING BEHAVIOR')");
}

void chneig() {
    if (man.neigit > man.ix) {
        man.neigit = man.ix;
        io::writef(io::stdout_unit, "(' VALUE OF NEIGIT REDUCED TO',I3,' = NUMBER OF W-DOFS')", {man.neigit});
    }
    if (man.neigrq >= man.neigit) {
        man.neigrq = man.neigit - 1;
        io::writef(io::stdout_unit, "(' VALUE OF NEIGRQ REDUCED TO',I3,' = NEIGIT-1')", {man.neigrq});
    }
}

}  // namespace zeft
