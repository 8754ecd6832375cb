// Namelist input: "&group name = value, ... /" groups read from a formatted unit.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zeft::io {

/// One item of a namelist group: a scalar or array of the given element type stored at data.
struct NamelistItem {
    enum class Type { integer, real, logical, text } type;
    std::string_view name;  ///< matched without regard to case
    void* data;             ///< int*, float*, int* (logical as 0/1) or char* (blank-padded)
    int count = 1;          ///< number of elements (array items)
    int textlen = 0;        ///< characters per element for text items
};

enum class NamelistStatus {
    ok,           ///< group found and read
    not_found,    ///< end of input before the group
    syntax_error  ///< group found, its contents malformed; message says where
};

/// Reads the group from unit n, skipping forward from the current position to "&group".
/// Items: name = value lists separated by commas or blanks; values are integers, reals
/// (with E or D exponents), logicals (T, F, .TRUE., .FALSE., any case), quoted texts
/// ('...' or "...", doubled quotes), repeat counts r*value, array items taking successive
/// values from the given element (name(i) = ...); omitted items keep their values; the
/// group ends with "/" or "&end". On syntax_error *message names the group, the item and
/// the offending text; the unit is left after the group's last record read.
NamelistStatus read_namelist(int n, std::string_view group, std::span<const NamelistItem> items,
                             std::string* message = nullptr);

}  // namespace zeft::io
