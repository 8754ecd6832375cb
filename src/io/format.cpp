// FORMAT interpreter: parses a format text once into a tree of edit descriptors (cached by
// its text) and runs it over the items, producing the records.
//
// Numbers are converted with std::to_chars from their exact binary value, so every digit is
// correctly rounded (round to nearest, ties to even on exact decimal ties, as printf does),
// which is also how the usual Fortran runtimes print them.

#include "io/format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace zeft::fmt {

namespace {

// ---------------------------------------------------------------------------------------------
// Single edit descriptors
// ---------------------------------------------------------------------------------------------

/// Room for the text of one real field: on the stack for the usual widths, else on the heap.
class Scratch {
public:
    explicit Scratch(std::size_t size) : size_(size) {
        if (size > sizeof local_) heap_.resize(size);
    }
    char* data() { return heap_.empty() ? local_ : heap_.data(); }
    char* end() { return data() + size_; }

private:
    char local_[400];
    std::vector<char> heap_;
    std::size_t size_;
};

std::string stars(int w) { return std::string(static_cast<size_t>(w), '*'); }

/// Right-aligns text of length n in a field of w columns (n <= w).
std::string right(int w, const char* text, size_t n) {
    std::string out(static_cast<size_t>(w) - n, ' ');
    out.append(text, n);
    return out;
}

/// Inf and NaN: "Infinity" when the field holds it, else "Inf", a minus sign for negative
/// infinity; asterisks when not even that fits.
std::string nonfinite(int w, double v) {
    if (std::isnan(v)) return w < 3 ? stars(w) : right(w, "NaN", 3);
    const bool neg = std::signbit(v);
    const char* text = neg ? "-Infinity" : "Infinity";
    size_t n = neg ? 9 : 8;
    if (static_cast<size_t>(w) < n) {
        text = neg ? "-Inf" : "Inf";
        n = neg ? 4 : 3;
    }
    return static_cast<size_t>(w) < n ? stars(w) : right(w, text, n);
}

void check_width(int w, int d, bool needs_digits) {
    if (w < 1 || d < 0 || (needs_digits && d < 1))
        throw std::invalid_argument("bad field width or digit count in FORMAT edit descriptor");
}

/// Ew.d and Dw.d: [-]0.d1d2...dd followed by the exponent, "E+xx" for |exponent| <= 99 and
/// "+xxx" without the letter above. The leading zero is dropped when the field is one short.
std::string exponent_form(int w, int d, double v, char letter) {
    check_width(w, d, true);
    if (!std::isfinite(v)) return nonfinite(w, v);
    const bool neg = std::signbit(v);
    const double a = std::fabs(v);

    // [-]0.d1d2...dd then the exponent: d1.d2...dde+xx, correctly rounded to d significant
    // digits, is written at body + 2 and rearranged in place.
    Scratch scratch(static_cast<std::size_t>(d) + 16);
    char* body = scratch.data();
    char* q = body;
    if (neg) *q++ = '-';
    *q++ = '0';
    *q++ = '.';
    int e = 0;
    if (a == 0.0) {
        q = std::fill_n(q, d, '0');
    } else {
        const auto r = std::to_chars(q + 1, scratch.end(), a, std::chars_format::scientific, d - 1);
        char* p = q + 1;
        *q++ = *p++;  // d1 over the '.'; d2...dd follow it directly
        if (*p == '.') ++p;
        while (*p >= '0' && *p <= '9') *q++ = *p++;
        std::from_chars(p + (p[1] == '+' ? 2 : 1), r.ptr, e);  // p points at 'e'
        e += 1;
    }
    const int ae = e < 0 ? -e : e;
    if (ae <= 99) {
        *q++ = letter;
        *q++ = e < 0 ? '-' : '+';
        *q++ = static_cast<char>('0' + ae / 10);
        *q++ = static_cast<char>('0' + ae % 10);
    } else if (ae <= 999) {
        *q++ = e < 0 ? '-' : '+';
        *q++ = static_cast<char>('0' + ae / 100);
        *q++ = static_cast<char>('0' + ae / 10 % 10);
        *q++ = static_cast<char>('0' + ae % 10);
    } else {
        return stars(w);
    }
    const char* text = body;
    std::size_t n = static_cast<std::size_t>(q - body);
    if (n > static_cast<size_t>(w)) {  // drop the "0"
        if (neg) body[1] = '-';
        ++text;
        --n;
    }
    if (n > static_cast<size_t>(w)) return stars(w);
    return right(w, text, n);
}

}  // namespace

std::string I(int w, long long v) {
    check_width(w, 0, false);
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    const size_t n = static_cast<size_t>(r.ptr - buf);
    return n > static_cast<size_t>(w) ? stars(w) : right(w, buf, n);
}

std::string F(int w, int d, double v) {
    check_width(w, d, false);
    if (!std::isfinite(v)) return nonfinite(w, v);
    const bool neg = std::signbit(v);  // a negative value keeps its sign even when it rounds to 0
    const double a = std::fabs(v);

    // [-]digits.decimals, the decimal point also for d = 0 ("2."); up to 309 integer digits.
    Scratch scratch(static_cast<std::size_t>(d) + 320);
    char* buf = scratch.data();
    char* p = buf;
    if (neg) *p++ = '-';
    char* end = std::to_chars(p, scratch.end(), a, std::chars_format::fixed, d).ptr;
    if (d == 0) *end++ = '.';
    const char* text = buf;
    std::size_t n = static_cast<std::size_t>(end - buf);

    // The zero before the decimal point is optional when decimals follow it.
    const size_t lead = neg ? 1 : 0;
    if (n > static_cast<size_t>(w) && d > 0 && buf[lead] == '0' && buf[lead + 1] == '.') {
        if (neg) buf[1] = '-';
        ++text;
        --n;
    }
    if (n > static_cast<size_t>(w)) return stars(w);
    return right(w, text, n);
}

std::string E(int w, int d, double v) { return exponent_form(w, d, v, 'E'); }
std::string D(int w, int d, double v) { return exponent_form(w, d, v, 'D'); }

std::string A(int w, std::string_view s) {
    if (w < 0) throw std::invalid_argument("negative width in A edit descriptor");
    if (s.size() >= static_cast<size_t>(w)) return std::string(s.substr(0, static_cast<size_t>(w)));
    return right(w, s.data(), s.size());
}

// ---------------------------------------------------------------------------------------------
// Format texts
// ---------------------------------------------------------------------------------------------

namespace {

/// One edit descriptor or group of a parsed format.
struct Node {
    enum class Kind { literal, skip, slash, colon, I, F, E, D, A, group } kind;
    int repeat = 1;    ///< repeat count (groups, data descriptors, slashes)
    int w = 0, d = 0;  ///< field width (0 for a bare A) and decimals; blanks of nX in w
    std::string text;  ///< literal text
    std::vector<Node> children;  ///< contents of a group
    bool has_data = false;       ///< a group containing at least one data descriptor
};

/// Deepest nesting of groups a format may have.
constexpr int max_depth = 64;

/// Work a format may do beyond one step per item (edit descriptors, literals, blanks and
/// records together), and the most characters and records it may produce: a text with huge
/// repeat counts is refused instead of exhausting the memory.
constexpr std::size_t max_steps = std::size_t{1} << 22;
constexpr std::size_t max_output = std::size_t{1} << 26;

struct Program {
    std::vector<Node> top;
    int reversion = 0;     ///< index into top where reversion resumes
    bool has_data = false;
};

[[noreturn]] void bad_format(std::string_view layout, size_t pos, const char* why) {
    throw std::invalid_argument("bad FORMAT " + std::string(layout.substr(0, 200)) + " at position " +
                                std::to_string(pos + 1) + ": " + why);
}

class Parser {
public:
    explicit Parser(std::string_view layout) : s_(layout) {}

    Program parse() {
        Program prog;
        skip_blanks();
        // Strip the enclosing parentheses when the whole text is one parenthesised list.
        size_t end = s_.size();
        while (end > 0 && s_[end - 1] == ' ') --end;
        bool wrapped = false;
        if (pos_ < end && s_[pos_] == '(' && matching(pos_) == end - 1) {
            wrapped = true;
            ++pos_;
        }
        prog.top = list(wrapped ? end - 1 : end);
        if (wrapped) pos_ = end;
        skip_blanks();
        if (pos_ != s_.size()) bad_format(s_, pos_, "text after the closing parenthesis");

        prog.reversion = 0;
        for (size_t k = 0; k < prog.top.size(); ++k)
            if (prog.top[k].kind == Node::Kind::group) prog.reversion = static_cast<int>(k);
        for (const Node& n : prog.top) prog.has_data = prog.has_data || data_node(n);
        return prog;
    }

private:
    static bool data_node(const Node& n) {
        switch (n.kind) {
            case Node::Kind::I: case Node::Kind::F: case Node::Kind::E: case Node::Kind::D:
            case Node::Kind::A: return true;
            case Node::Kind::group: return n.has_data;
            default: return false;
        }
    }

    void skip_blanks() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    }

    /// Position of the parenthesis closing the one at open, skipping quoted literals.
    size_t matching(size_t open) const {
        int depth = 0;
        for (size_t k = open; k < s_.size(); ++k) {
            const char c = s_[k];
            if (c == '\'' || c == '"') {
                for (++k; k < s_.size(); ++k)
                    if (s_[k] == c) {
                        if (k + 1 < s_.size() && s_[k + 1] == c) ++k;
                        else break;
                    }
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                return k;
            }
        }
        return std::string_view::npos;
    }

    /// Unsigned integer at the current position, or -1 when there is none.
    int number() {
        skip_blanks();
        if (pos_ >= s_.size() || s_[pos_] < '0' || s_[pos_] > '9') return -1;
        long v = 0;
        while (pos_ < s_.size()) {
            if (s_[pos_] >= '0' && s_[pos_] <= '9') {
                v = v * 10 + (s_[pos_] - '0');
                if (v > 1000000) bad_format(s_, pos_, "number too large");
            } else if (s_[pos_] != ' ') {
                break;
            }
            ++pos_;
        }
        return static_cast<int>(v);
    }

    /// Items up to position end (exclusive).
    std::vector<Node> list(size_t end) {
        std::vector<Node> out;
        for (;;) {
            skip_blanks();
            if (pos_ >= end) break;
            if (s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            out.push_back(item(end));
        }
        return out;
    }

    Node item(size_t end) {
        const size_t start = pos_;
        const int r = number();
        skip_blanks();
        if (pos_ >= end) bad_format(s_, start, "repeat count without an edit descriptor");
        if (r == 0) bad_format(s_, start, "zero repeat count");
        const char c = s_[pos_];
        Node n{};
        n.repeat = r < 0 ? 1 : r;

        if (c == '(') {
            const size_t close = matching(pos_);
            if (close == std::string_view::npos || close >= end)
                bad_format(s_, pos_, "unbalanced parentheses");
            if (++depth_ > max_depth) bad_format(s_, pos_, "groups nested too deeply");
            ++pos_;
            n.kind = Node::Kind::group;
            n.children = list(close);
            pos_ = close + 1;
            --depth_;
            for (const Node& k : n.children) n.has_data = n.has_data || data_node(k);
            return n;
        }
        if (c == '\'' || c == '"') {
            if (r >= 0) bad_format(s_, start, "repeat count before a literal");
            n.kind = Node::Kind::literal;
            for (++pos_;; ++pos_) {
                if (pos_ >= end) bad_format(s_, start, "unterminated literal");
                if (s_[pos_] == c) {
                    if (pos_ + 1 < end && s_[pos_ + 1] == c) ++pos_;
                    else break;
                }
                n.text.push_back(s_[pos_]);
            }
            ++pos_;
            return n;
        }
        if (c == ')') bad_format(s_, pos_, "unbalanced parentheses");
        ++pos_;
        switch (c) {
            case '/':
                n.kind = Node::Kind::slash;
                return n;
            case ':':
                if (r >= 0) bad_format(s_, start, "repeat count before ':'");
                n.kind = Node::Kind::colon;
                return n;
            case 'X': case 'x':
                n.kind = Node::Kind::skip;
                n.w = n.repeat;  // nX: the count is the number of blanks
                n.repeat = 1;
                return n;
            case 'A': case 'a':
                n.kind = Node::Kind::A;
                n.w = number();  // -1: no width, the item's whole text
                if (n.w == 0) bad_format(s_, start, "zero width in A edit descriptor");
                n.w = std::max(n.w, 0);
                return n;
            case 'I': case 'i':
                n.kind = Node::Kind::I;
                n.w = number();
                if (n.w < 1) bad_format(s_, start, "I edit descriptor needs a positive width");
                return n;
            case 'F': case 'f': case 'E': case 'e': case 'D': case 'd': {
                const char u = static_cast<char>(c & ~0x20);
                n.kind = u == 'F' ? Node::Kind::F : u == 'E' ? Node::Kind::E : Node::Kind::D;
                n.w = number();
                skip_blanks();
                if (n.w < 1 || pos_ >= end || s_[pos_] != '.')
                    bad_format(s_, start, "real edit descriptor needs the form w.d");
                ++pos_;
                n.d = number();
                if (n.d < 0 || (n.kind != Node::Kind::F && n.d < 1))
                    bad_format(s_, start, "bad number of decimals");
                return n;
            }
            case 'P': case 'p':
                bad_format(s_, start, "scale factors are not supported");
            default:
                bad_format(s_, start, "unknown edit descriptor");
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
    int depth_ = 0;
};

/// Runs a parsed format over the items.
class Runner {
public:
    Runner(std::string_view layout, const Item* items, size_t count)
        : layout_(layout), items_(items), count_(count) {}

    std::vector<std::string> run(const Program& prog) {
        if (count_ > 0 && !prog.has_data)
            throw std::invalid_argument("FORMAT " + std::string(layout_) +
                                        " has no data edit descriptor for its items");
        bool more = execute(prog.top, 0);
        while (more && next_ < count_) {
            // Reversion: the items outlast the format; a new record starts and the format is
            // rescanned from the last top-level group (with its repeat count) onward.
            new_record();
            const size_t before = next_;
            more = execute(prog.top, static_cast<size_t>(prog.reversion));
            if (next_ == before)
                throw std::invalid_argument("FORMAT " + std::string(layout_) +
                                            ": reverted part has no data edit descriptor");
        }
        records_.push_back(std::move(cur_));
        return std::move(records_);
    }

private:
    /// Counts one step of work and its output; refuses a format that would run away.
    void spend(std::size_t characters) {
        produced_ += characters;
        if (++steps_ > max_steps + 64 * count_ || produced_ > max_output)
            throw std::invalid_argument("FORMAT " + std::string(layout_).substr(0, 200) +
                                        ": output too large (repeat counts)");
    }

    void put(const std::string& s) {
        spend(s.size() + static_cast<std::size_t>(pending_));
        if (pending_ > 0) {
            cur_.append(static_cast<size_t>(pending_), ' ');
            pending_ = 0;
        }
        cur_ += s;
    }

    void new_record() {
        spend(1);
        records_.push_back(std::move(cur_));
        cur_.clear();
        pending_ = 0;
    }

    const Item& take(Item::Kind kind, const char* descriptor) {
        const Item& it = items_[next_++];
        if (it.kind != kind)
            throw std::invalid_argument("FORMAT " + std::string(layout_) + ": item " +
                                        std::to_string(next_) + " does not suit edit descriptor " +
                                        descriptor);
        return it;
    }

    /// Executes nodes[first...]; false when output stopped at a data descriptor without item.
    bool execute(const std::vector<Node>& nodes, size_t first) {
        for (size_t k = first; k < nodes.size(); ++k) {
            const Node& n = nodes[k];
            for (int r = 0; r < n.repeat; ++r) {
                switch (n.kind) {
                    case Node::Kind::literal: put(n.text); break;
                    case Node::Kind::skip:  // blanks appear only if more follows
                        spend(0);
                        pending_ = static_cast<int>(std::min<std::size_t>(max_output, static_cast<std::size_t>(pending_) + n.w));
                        break;
                    case Node::Kind::slash: new_record(); break;
                    case Node::Kind::colon: if (next_ >= count_) return false; break;
                    case Node::Kind::group:
                        spend(0);
                        if (!execute(n.children, 0)) return false;
                        break;
                    default:
                        if (next_ >= count_) return false;
                        put(edit(n));
                }
            }
        }
        return true;
    }

    std::string edit(const Node& n) {
        switch (n.kind) {
            case Node::Kind::I: return I(n.w, take(Item::Kind::integer, "I").i);
            case Node::Kind::F: return F(n.w, n.d, take(Item::Kind::real, "F").r);
            case Node::Kind::E: return E(n.w, n.d, take(Item::Kind::real, "E").r);
            case Node::Kind::D: return D(n.w, n.d, take(Item::Kind::real, "D").r);
            default: {
                const Item& it = take(Item::Kind::text, "A");
                return n.w == 0 ? std::string(it.s) : A(n.w, it.s);
            }
        }
    }

    std::string_view layout_;
    const Item* items_;
    size_t count_;
    size_t next_ = 0;
    int pending_ = 0;  // blanks of X descriptors not yet written
    std::size_t steps_ = 0, produced_ = 0;
    std::string cur_;
    std::vector<std::string> records_;
};

struct SpecHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

/// Parsed formats by their text; listings reuse a few hundred format texts many times.
const Program& parsed(std::string_view layout) {
    static std::unordered_map<std::string, std::unique_ptr<Program>, SpecHash, std::equal_to<>> cache;
    if (auto it = cache.find(layout); it != cache.end()) return *it->second;
    auto prog = std::make_unique<Program>(Parser(layout).parse());
    if (cache.size() >= 4096) cache.clear();  // bound the cache for generated format texts
    return *cache.emplace(std::string(layout), std::move(prog)).first->second;
}

}  // namespace

std::vector<std::string> format(std::string_view layout, std::initializer_list<Item> items) {
    return Runner(layout, items.begin(), items.size()).run(parsed(layout));
}

std::vector<std::string> format(std::string_view layout, const std::vector<Item>& items) {
    return Runner(layout, items.data(), items.size()).run(parsed(layout));
}

}  // namespace zeft::fmt
