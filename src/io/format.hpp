// Fortran-style formatted records: an interpreter for FORMAT texts, so that every
// listing block is written from a format text that reads like its layout description.
//
// Supported edit descriptors: Iw, Fw.d, Ew.d, Dw.d, Aw and A, nX, '/', quoted literals
// ('...' or "...", a doubled quote stands for one), repeat counts k(...) and kI5 etc., the
// 1P scale factor is not supported. Values that do not fit their field are written as w
// asterisks. When the items outlast the format, reversion starts a new record at the last
// top-level group (or the whole format), as the standard prescribes. Output stops at the
// first data descriptor for which no item is left.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zeft::fmt {

/// One output item: an integer, a real (float or double, both printed from their exact value)
/// or a text.
struct Item {
    enum class Kind { integer, real, text } kind;
    long long i = 0;
    double r = 0.0;
    std::string_view s;

    Item(int v) : kind(Kind::integer), i(v) {}
    Item(long v) : kind(Kind::integer), i(v) {}
    Item(long long v) : kind(Kind::integer), i(v) {}
    Item(float v) : kind(Kind::real), r(v) {}
    Item(double v) : kind(Kind::real), r(v) {}
    Item(const char* v) : kind(Kind::text), s(v) {}
    Item(std::string_view v) : kind(Kind::text), s(v) {}
    Item(const std::string& v) : kind(Kind::text), s(v) {}
};

/// Formats the items by the FORMAT text (with or without the enclosing parentheses) and
/// returns the records it produces, without line terminators. Throws std::invalid_argument
/// on a malformed format or an item of the wrong kind for its descriptor.
std::vector<std::string> format(std::string_view layout, std::initializer_list<Item> items);
std::vector<std::string> format(std::string_view layout, const std::vector<Item>& items);

/// Single edit descriptors, exposed for direct use and testing.
std::string I(int w, long long v);             ///< Iw: right-aligned integer
std::string F(int w, int d, double v);         ///< Fw.d: fixed point
std::string E(int w, int d, double v);         ///< Ew.d: 0.ddddE+xx
std::string D(int w, int d, double v);         ///< Dw.d: 0.ddddD+xx
std::string A(int w, std::string_view s);      ///< Aw: right-aligned when short, leftmost w when long
inline std::string X(int n) { return std::string(static_cast<size_t>(n), ' '); }

/// A list-directed text record: one blank, then the text.
inline std::string list(std::string_view text) { return " " + std::string(text); }

}  // namespace zeft::fmt
