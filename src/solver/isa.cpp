#include "solver/isa.hpp"

#include <cstdlib>
#include <cstring>

namespace zeft::isa {

namespace {

bool runs(Path p) {
#if defined(__GNUC__) && defined(__x86_64__)
    switch (p) {
        case Path::baseline: return true;
        case Path::avx2: return __builtin_cpu_supports("avx2");
        case Path::avx512: return __builtin_cpu_supports("avx512f");
    }
    return false;
#else
    return p == Path::baseline;
#endif
}

struct Choice {
    Path path = Path::baseline;
    std::string problem;
};

std::string listed(const std::vector<Path>& paths) {
    std::string s;
    for (Path p : paths) s += (s.empty() ? "" : ", ") + std::string(name(p));
    return s;
}

Choice choose() {
    Choice c;
    const std::vector<Path> paths = supported();
    c.path = paths.back();
    const char* asked = std::getenv("ZEFT_ISA");
    if (asked == nullptr || *asked == '\0' || std::strcmp(asked, "auto") == 0) return c;
    for (Path p : {Path::baseline, Path::avx2, Path::avx512}) {
        if (std::strcmp(asked, name(p)) != 0) continue;
        if (runs(p)) {
            c.path = p;
        } else {
            c.problem = "ZEFT_ISA=" + std::string(asked) + ": this processor does not support that instruction set (it runs " +
                        listed(paths) + "); choose one of those or unset ZEFT_ISA";
        }
        return c;
    }
    c.problem = "ZEFT_ISA=" + std::string(asked) +
                " is not an instruction-set path; use baseline, avx2 or avx512 (this processor runs " + listed(paths) +
                "), or unset ZEFT_ISA for the widest";
    return c;
}

const Choice& choice() {
    static const Choice c = choose();
    return c;
}

}  // namespace

Path current() { return choice().path; }

const char* name(Path p) {
    switch (p) {
        case Path::baseline: return "baseline";
        case Path::avx2: return "avx2";
        case Path::avx512: return "avx512";
    }
    return "baseline";
}

std::vector<Path> supported() {
    std::vector<Path> out;
    for (Path p : {Path::baseline, Path::avx2, Path::avx512})
        if (runs(p)) out.push_back(p);
    return out;
}

const std::string& problem() { return choice().problem; }

}  // namespace zeft::isa
