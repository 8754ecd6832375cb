// Namelist input: finds "&group" (or "$group") in the records of a unit and assigns the
// "name = value, ..." items of the group until "/", "&end" or "$end".
//
// Values follow the list-directed input forms: r*value repeats a value r times, r* and an
// empty place between two commas are null values that leave their element unchanged, a
// record end acts as a blank, and "!" starts a comment that runs to the end of the record.

#include "io/namelist.hpp"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "io/units.hpp"

namespace zeft::io {

namespace {

constexpr int end_of_input = -1;

bool letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool digit(int c) { return c >= '0' && c <= '9'; }
bool name_char(int c) { return letter(c) || digit(c) || c == '_'; }
bool blank(int c) { return c == ' ' || c == '\t' || c == '\n'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (lower(a[k]) != lower(b[k])) return false;
    return true;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    return out;
}

/// Thrown inside the reader to abandon a malformed group; carries the message.
struct Malformed {
    std::string text;
};

/// Characters of a unit's records; the end of a record reads as '\n'.
class Source {
public:
    explicit Source(int unit) : unit_(unit) {}

    bool next_record() {
        std::optional<std::string> r = read_record(unit_);
        if (!r) {
            eof_ = true;
            rec_.clear();
            pos_ = 0;
            return false;
        }
        rec_ = std::move(*r);
        pos_ = 0;
        return true;
    }

    int peek() const {
        if (eof_) return end_of_input;
        return pos_ < rec_.size() ? static_cast<unsigned char>(rec_[pos_]) : '\n';
    }

    /// Character at offset k within the current record, '\n' beyond its end.
    int at(size_t k) const {
        return pos_ + k < rec_.size() ? static_cast<unsigned char>(rec_[pos_ + k]) : '\n';
    }

    void advance() {
        if (eof_) return;
        if (pos_ < rec_.size()) ++pos_;
        else next_record();
    }

    void skip_rest_of_record() { pos_ = rec_.size(); }

    /// Blanks, record ends and comments.
    void skip_blanks() {
        for (;;) {
            const int c = peek();
            if (c == '!') skip_rest_of_record();
            if (!blank(peek())) return;
            advance();
        }
    }

    /// Characters of a name starting at the current position (possibly empty).
    std::string name() {
        std::string s;
        while (name_char(peek()) && pos_ < rec_.size()) {
            s.push_back(rec_[pos_]);
            ++pos_;
        }
        return s;
    }

    /// Up to the next separator (blank, comma, slash, record end, comment), for messages
    /// and value conversion.
    std::string token() {
        std::string s;
        while (pos_ < rec_.size()) {
            const char c = rec_[pos_];
            if (c == ' ' || c == '\t' || c == ',' || c == '/' || c == '!') break;
            s.push_back(c);
            ++pos_;
        }
        return s;
    }

    /// The rest of the current record from the current position, shortened, for messages.
    std::string context() const {
        if (eof_) return "END OF INPUT";
        std::string s = rec_.substr(std::min(pos_, rec_.size()), 24);
        return s.empty() ? "END OF RECORD" : "\"" + s + "\"";
    }

    /// True when a name followed by "=" or by "(...) =" starts here (the next item).
    bool item_ahead() const {
        if (!letter(at(0))) return false;
        size_t k = 0;
        while (name_char(at(k))) ++k;
        while (at(k) == ' ' || at(k) == '\t') ++k;
        if (at(k) == '(') {
            while (at(k) != ')' && at(k) != '\n') ++k;
            if (at(k) != ')') return false;
            ++k;
            while (at(k) == ' ' || at(k) == '\t') ++k;
        }
        return at(k) == '=';
    }

private:
    int unit_;
    std::string rec_;
    size_t pos_ = 0;
    bool eof_ = false;
};

/// Reads one group's items from the source positioned after "&group".
class GroupReader {
public:
    GroupReader(Source& src, std::string_view group, std::span<const NamelistItem> items)
        : src_(src), group_(upper(group)), items_(items) {}

    void read() {
        for (;;) {
            skip_separators();
            const int c = src_.peek();
            if (c == end_of_input) fail("END OF INPUT BEFORE THE CLOSING \"/\" OF THE GROUP");
            if (c == '/') return;
            if (c == '&' || c == '$') {
                src_.advance();
                const std::string s = src_.name();
                if (s.empty() || same_name(s, "end")) return;
                fail("UNEXPECTED \"" + std::string(1, static_cast<char>(c)) + s + "\"");
            }
            const std::string name = src_.name();
            if (name.empty()) fail("ITEM NAME EXPECTED AT " + src_.context());
            assign(name);
        }
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        std::string m = "NAMELIST GROUP &" + group_;
        if (!item_.empty()) m += ", ITEM " + item_;
        throw Malformed{m + ": " + why};
    }

    void skip_separators() {
        for (;;) {
            src_.skip_blanks();
            if (src_.peek() != ',') return;
            src_.advance();
        }
    }

    /// Unsigned integer inside an index, or -1 when none stands here.
    long index_number() {
        while (src_.peek() == ' ') src_.advance();
        if (!digit(src_.peek())) return -1;
        long v = 0;
        while (digit(src_.peek())) {
            v = std::min(v * 10 + (src_.peek() - '0'), static_cast<long>(INT_MAX));
            src_.advance();
        }
        while (src_.peek() == ' ') src_.advance();
        return v;
    }

    void assign(const std::string& name) {
        item_ = upper(name);
        const NamelistItem* it = nullptr;
        for (const NamelistItem& k : items_)
            if (same_name(k.name, name)) it = &k;
        if (!it) {
            item_.clear();
            fail("UNKNOWN ITEM \"" + name + "\"");
        }

        // Optional subscript, one-based: name(i) takes values from element i on, the
        // section name(i:j) at most the elements i ... j.
        long first = 1, last = it->count;
        while (src_.peek() == ' ' || src_.peek() == '\t') src_.advance();
        if (src_.peek() == '(') {
            src_.advance();
            const long i = index_number();
            bool section = false;
            if (src_.peek() == ':') {
                src_.advance();
                section = true;
                const long j = index_number();
                if (j >= 0) last = j;
            }
            if (src_.peek() != ')' || (i < 0 && !section))
                fail("MALFORMED SUBSCRIPT AT " + src_.context());
            src_.advance();
            if (i >= 0) first = i;
            if (first < 1 || first > it->count || last > it->count || first > last)
                fail("SUBSCRIPT OUTSIDE 1 TO " + std::to_string(it->count));
        }
        src_.skip_blanks();
        if (src_.peek() != '=') fail("\"=\" EXPECTED AT " + src_.context());
        src_.advance();
        values(*it, first - 1, last - 1);
        item_.clear();
    }

    /// The value list of one item, assigning elements elem ... last (zero-based).
    void values(const NamelistItem& it, long elem, long last) {
        bool after_value = false;  // a comma after a value only separates
        for (;;) {
            src_.skip_blanks();
            const int c = src_.peek();
            if (c == end_of_input || c == '/' || c == '&' || c == '$') return;
            if (c == ',') {
                src_.advance();
                if (!after_value) elem = place(it, elem, last, 1, nullptr);  // null value
                after_value = false;
                continue;
            }
            if (src_.item_ahead()) return;

            // Optional repeat count r* (r* alone: r null values).
            long repeat = 1;
            bool null = false;
            {
                size_t k = 0;
                while (digit(src_.at(k))) ++k;
                if (k > 0 && src_.at(k) == '*') {
                    repeat = 0;
                    for (size_t m = 0; m < k; ++m) {
                        repeat = std::min(repeat * 10 + (src_.peek() - '0'), static_cast<long>(INT_MAX));
                        src_.advance();
                    }
                    src_.advance();  // '*'
                    if (repeat == 0) fail("ZERO REPEAT COUNT");
                    const int d = src_.peek();
                    null = d == ' ' || d == '\t' || d == '\n' || d == ',' || d == '/' ||
                           d == '!' || d == end_of_input;
                }
            }
            if (null) {
                elem = place(it, elem, last, repeat, nullptr);
            } else {
                const Value v = value(it);
                elem = place(it, elem, last, repeat, &v);
            }
            after_value = true;
        }
    }

    struct Value {
        long i = 0;
        float r = 0.0f;
        std::string s;
    };

    /// Converts the value at the current position for the item's type.
    Value value(const NamelistItem& it) {
        Value v;
        if (it.type == NamelistItem::Type::text) {
            v.s = quoted();
            return v;
        }
        const std::string t = src_.token();
        if (t.empty()) fail("VALUE EXPECTED AT " + src_.context());
        switch (it.type) {
            case NamelistItem::Type::logical: {
                const size_t k = t[0] == '.' ? 1 : 0;
                const char c = k < t.size() ? lower(t[k]) : '\0';
                if (c != 't' && c != 'f') fail("INVALID LOGICAL VALUE \"" + t + "\"");
                v.i = c == 't';
                return v;
            }
            case NamelistItem::Type::integer: {
                size_t k = (t[0] == '+' || t[0] == '-') ? 1 : 0;
                if (k == t.size()) fail("INVALID INTEGER VALUE \"" + t + "\"");
                for (; k < t.size(); ++k)
                    if (!digit(t[k])) fail("INVALID INTEGER VALUE \"" + t + "\"");
                errno = 0;
                const long long n = std::strtoll(t.c_str(), nullptr, 10);
                if (errno == ERANGE || n > INT_MAX || n < INT_MIN)
                    fail("INTEGER VALUE OUT OF RANGE \"" + t + "\"");
                v.i = static_cast<long>(n);
                return v;
            }
            default:
                v.r = real(t);
                return v;
        }
    }

    /// A real constant: [sign] digits [. digits] [E|D|Q [sign] digits], or Inf, Infinity, NaN.
    float real(const std::string& t) {
        std::string s = t;
        size_t k = (s[0] == '+' || s[0] == '-') ? 1 : 0;
        const std::string word = upper(std::string_view(s).substr(k));
        if (word == "INF" || word == "INFINITY" || word == "NAN") {
            const float r = word == "NAN" ? std::nanf("") : HUGE_VALF;
            return s[0] == '-' ? -r : r;
        }
        size_t mantissa = 0;
        while (k < s.size() && digit(s[k])) ++k, ++mantissa;
        if (k < s.size() && s[k] == '.') {
            ++k;
            while (k < s.size() && digit(s[k])) ++k, ++mantissa;
        }
        bool ok = mantissa > 0;
        if (ok && k < s.size()) {
            const char e = lower(s[k]);
            if (e == 'e' || e == 'd' || e == 'q') {
                s[k++] = 'e';
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                const size_t start = k;
                while (k < s.size() && digit(s[k])) ++k;
                ok = k > start;
            }
            ok = ok && k == s.size();
        }
        if (!ok) fail("INVALID REAL VALUE \"" + t + "\"");
        errno = 0;
        const float r = std::strtof(s.c_str(), nullptr);  // correctly rounded to single precision
        if (std::isinf(r)) fail("REAL VALUE OUT OF RANGE \"" + t + "\"");
        return r;
    }

    /// A quoted text ('...' or "...", a doubled quote stands for one); it may continue over
    /// record ends, which contribute no character.
    std::string quoted() {
        const int q = src_.peek();
        if (q != '\'' && q != '"') fail("QUOTED TEXT EXPECTED AT " + src_.context());
        std::string s;
        src_.advance();
        for (;;) {
            const int c = src_.peek();
            if (c == end_of_input) fail("TEXT WITHOUT CLOSING QUOTE");
            src_.advance();
            if (c == '\n') continue;
            if (c == q) {
                if (src_.peek() != q) break;
                src_.advance();
            }
            s.push_back(static_cast<char>(c));
        }
        const int d = src_.peek();
        if (!(blank(d) || d == ',' || d == '/' || d == '!' || d == end_of_input))
            fail("UNEXPECTED TEXT AFTER THE CLOSING QUOTE AT " + src_.context());
        return s;
    }

    /// Stores repeat copies of the value (or skips repeat elements for a null value) from
    /// element elem on; returns the next element.
    long place(const NamelistItem& it, long elem, long last, long repeat, const Value* v) {
        if (elem + repeat - 1 > last)
            fail("TOO MANY VALUES, THE LAST ELEMENT IS " + std::to_string(last + 1));
        if (v) {
            for (long e = elem; e < elem + repeat; ++e) {
                switch (it.type) {
                    case NamelistItem::Type::integer:
                    case NamelistItem::Type::logical:
                        static_cast<int*>(it.data)[e] = static_cast<int>(v->i);
                        break;
                    case NamelistItem::Type::real:
                        static_cast<float*>(it.data)[e] = v->r;
                        break;
                    case NamelistItem::Type::text: {
                        char* dst = static_cast<char*>(it.data) + e * it.textlen;
                        const size_t n = std::min(v->s.size(), static_cast<size_t>(it.textlen));
                        std::memcpy(dst, v->s.data(), n);
                        std::memset(dst + n, ' ', static_cast<size_t>(it.textlen) - n);
                        break;
                    }
                }
            }
        }
        return elem + repeat;
    }

    Source& src_;
    std::string group_;
    std::span<const NamelistItem> items_;
    std::string item_;  // item being assigned, for messages
};

/// Skips forward to "&group" or "$group" (followed by a separator); false at end of input.
bool find_group(Source& src, std::string_view group) {
    if (!src.next_record()) return false;
    for (;;) {
        const int c = src.peek();
        if (c == end_of_input) return false;
        if (c == '!') {
            src.skip_rest_of_record();
            src.advance();
            continue;
        }
        src.advance();
        if (c != '&' && c != '$') continue;
        if (!same_name(src.name(), group)) continue;
        const int d = src.peek();
        if (blank(d) || d == ',' || d == '/' || d == '!' || d == end_of_input) return true;
    }
}

}  // namespace

NamelistStatus read_namelist(int n, std::string_view group, std::span<const NamelistItem> items,
                             std::string* message) {
    Source src(n);
    if (!find_group(src, group)) {
        if (message) *message = "NAMELIST GROUP &" + upper(group) + " NOT FOUND";
        return NamelistStatus::not_found;
    }
    try {
        GroupReader(src, group, items).read();
    } catch (const Malformed& e) {
        if (message) *message = e.text;
        return NamelistStatus::syntax_error;
    }
    if (message) message->clear();
    return NamelistStatus::ok;
}

}  // namespace zeft::io
