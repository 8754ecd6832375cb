// The instruction set the vector kernels of the solvers run with, chosen once per process
// when the module is loaded: the widest the processor supports, or the one named by the
// environment variable ZEFT_ISA (baseline, avx2 or avx512). Every path computes the same
// bits; they differ in speed only.
#pragma once

#include <string>
#include <vector>

namespace zeft::isa {

/// Kernel builds: plain x86-64 (SSE2), AVX2, AVX-512F.
enum class Path { baseline, avx2, avx512 };

/// The path of this process (the widest supported one when ZEFT_ISA asks for an unknown or
/// unsupported path; problem() then says so).
Path current();

/// "baseline", "avx2" or "avx512".
const char* name(Path p);

/// The paths this processor can run, narrowest first.
std::vector<Path> supported();

/// Empty when the choice is sound, else why ZEFT_ISA cannot be honoured and what to do.
const std::string& problem();

}  // namespace zeft::isa
