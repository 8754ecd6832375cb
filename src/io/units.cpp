// Numbered sequential units over C streams. Records of formatted units are lines; records of
// unformatted units are framed by a leading and a trailing 8-byte length (in bytes).
//
// Sequential semantics: a write after an open, a rewind or a read makes the written record
// the last one of the file (the rest is cut off), as on a tape-like sequential file.

#include "io/units.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace zeft::io {

namespace {

/// One connected unit. A unit whose open failed stays in the table without a stream, so that
/// its later records are dropped quietly instead of repeating the failure message.
struct Unit {
    std::FILE* fp = nullptr;
    std::string name;
    bool writable = true;
    bool warned = false;  ///< a write failure has been reported
    bool lost = false;    ///< a record could not be written
    enum class Last { position, read, write } last = Last::position;
};

std::map<int, Unit>& units() {
    static std::map<int, Unit> table;
    return table;
}

/// A line on standard output (list-directed style: one leading blank).
void say(const std::string& text) {
    std::fputc(' ', stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool exists(const std::string& name) {
    struct stat st;
    return ::stat(name.c_str(), &st) == 0;
}

std::string default_name(int n) { return "fort." + std::to_string(n); }

/// Opens the stream of a unit; on failure prints why and returns a unit without stream.
Unit connect(int n, const std::string& name, OpenStatus status) {
    Unit u;
    u.name = name;
    if (name.empty() || name.find('\0') != std::string::npos) {
        say("UNIT " + std::to_string(n) + ": INVALID FILE NAME \"" + name + "\"");
        return u;
    }
    errno = 0;
    if (status == OpenStatus::unknown) {
        u.fp = std::fopen(name.c_str(), "r+b");
        if (!u.fp && errno == ENOENT) {
            u.fp = std::fopen(name.c_str(), "w+b");
        } else if (!u.fp && (errno == EACCES || errno == EROFS) && exists(name)) {
            u.fp = std::fopen(name.c_str(), "rb");  // an input file we may read but not write
            u.writable = false;
        }
    } else {
        u.fp = std::fopen(name.c_str(), "w+b");
    }
    if (!u.fp) {
        say("UNIT " + std::to_string(n) + ": CANNOT OPEN FILE \"" + name + "\" (" +
            std::strerror(errno) + ")");
        return u;
    }
    std::setvbuf(u.fp, nullptr, _IOFBF, 1 << 16);
    return u;
}

/// The unit for a transfer, connecting an unconnected unit to fort.n first. For reading, an
/// unconnected unit without an existing fort.n yields nullptr (end of file).
Unit* unit_for(int n, bool reading) {
    auto& table = units();
    if (auto it = table.find(n); it != table.end()) return it->second.fp ? &it->second : nullptr;
    if (n < 0) {
        say("UNIT " + std::to_string(n) + ": INVALID UNIT NUMBER");
        table.emplace(n, Unit{});  // report once
        return nullptr;
    }
    const std::string name = default_name(n);
    if (reading && !exists(name)) return nullptr;
    Unit& u = table.emplace(n, connect(n, name, OpenStatus::unknown)).first->second;
    return u.fp ? &u : nullptr;
}

/// Prepares a stream for writing: switches direction and cuts the file at the current
/// position when the previous operation was not a write.
bool begin_write(Unit& u) {
    if (!u.writable) {
        u.lost = true;
        if (!u.warned) say("FILE \"" + u.name + "\" IS READ-ONLY; RECORDS ARE NOT WRITTEN");
        u.warned = true;
        return false;
    }
    if (u.last != Unit::Last::write) {
        std::fseek(u.fp, 0, SEEK_CUR);
        const off_t here = ::ftello(u.fp);
        struct stat st;
        const bool regular = ::fstat(::fileno(u.fp), &st) == 0 && S_ISREG(st.st_mode);
        if (regular && here >= 0 && ::ftruncate(::fileno(u.fp), here) != 0 && !u.warned) {
            say("FILE \"" + u.name + "\": CANNOT TRUNCATE (" + std::strerror(errno) + ")");
            u.warned = true;
        }
        u.last = Unit::Last::write;
    }
    return true;
}

void end_write(Unit& u) {
    if (!std::ferror(u.fp)) return;
    u.lost = true;
    if (!u.warned) {
        say("FILE \"" + u.name + "\": WRITE ERROR (" + std::strerror(errno) + ")");
        u.warned = true;
    }
}

void begin_read(Unit& u) {
    if (u.last == Unit::Last::write) std::fseek(u.fp, 0, SEEK_CUR);
    u.last = Unit::Last::read;
}

}  // namespace

bool open(int n, const std::string& name, OpenStatus status, bool formatted) {
    (void)formatted;  // both kinds are byte streams; the record framing is chosen per transfer
    auto& table = units();
    if (n < 0) {
        say("UNIT " + std::to_string(n) + ": INVALID UNIT NUMBER");
        return false;
    }
    if (auto it = table.find(n); it != table.end()) {
        if (it->second.fp && it->second.name == name) return true;  // same file: keep position
        close(n);
    }
    Unit& u = table.emplace(n, connect(n, name, status)).first->second;
    return u.fp != nullptr;
}

bool close(int n, bool remove) {
    auto& table = units();
    auto it = table.find(n);
    if (it == table.end()) return true;
    Unit u = std::move(it->second);
    table.erase(it);
    if (!u.fp) return false;
    bool ok = !u.lost && !std::ferror(u.fp);
    if (std::fclose(u.fp) != 0) {
        if (!u.warned) say("FILE \"" + u.name + "\": ERROR ON CLOSE (" + std::strerror(errno) + ")");
        ok = false;
    }
    if (remove) std::remove(u.name.c_str());
    return ok;
}

void close_all() {
    while (!units().empty()) close(units().begin()->first);
}

bool is_open(int n) {
    auto it = units().find(n);
    return it != units().end() && it->second.fp != nullptr;
}

void rewind(int n) {
    if (n == stdout_unit && !units().count(n)) return;
    Unit* u = unit_for(n, /*reading=*/true);  // no file is created for an unused unit
    if (!u) return;
    std::fflush(u->fp);
    std::rewind(u->fp);
    u->last = Unit::Last::position;
}

void flush_all() {
    for (auto& [n, u] : units())
        if (u.fp) std::fflush(u.fp);
    std::fflush(stdout);
}

void write_record(int n, std::string_view record) {
    if (n == stdout_unit && !units().count(n)) {
        std::fwrite(record.data(), 1, record.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);  // keep the order with other writers of the same descriptor
        return;
    }
    Unit* u = unit_for(n, /*reading=*/false);
    if (!u || !begin_write(*u)) return;
    std::fwrite(record.data(), 1, record.size(), u->fp);
    std::fputc('\n', u->fp);
    end_write(*u);
}

void writef(int n, std::string_view layout, std::initializer_list<fmt::Item> items) {
    for (const std::string& r : fmt::format(layout, items)) write_record(n, r);
}

void writef(int n, std::string_view layout, const std::vector<fmt::Item>& items) {
    for (const std::string& r : fmt::format(layout, items)) write_record(n, r);
}

std::optional<std::string> read_record(int n) {
    if (n == stdout_unit && !units().count(n)) return std::nullopt;
    Unit* u = unit_for(n, /*reading=*/true);
    if (!u) return std::nullopt;
    begin_read(*u);
    std::string line;
    int c;
    while ((c = getc_unlocked(u->fp)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (c == EOF) {
        std::clearerr(u->fp);
        if (line.empty()) return std::nullopt;  // a last line without terminator is a record
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void write_doubles(int n, const double* v, long long count) {
    Unit* u = unit_for(n, /*reading=*/false);
    if (!u || !begin_write(*u)) return;
    const std::int64_t bytes = static_cast<std::int64_t>(count > 0 ? count : 0) * 8;
    std::fwrite(&bytes, sizeof bytes, 1, u->fp);
    if (bytes > 0) std::fwrite(v, 8, static_cast<size_t>(bytes / 8), u->fp);
    std::fwrite(&bytes, sizeof bytes, 1, u->fp);
    end_write(*u);
}

bool read_doubles(int n, double* v, long long count) {
    Unit* u = unit_for(n, /*reading=*/true);
    if (!u) return false;
    begin_read(*u);
    std::int64_t bytes = 0, trailer = -1;
    if (std::fread(&bytes, sizeof bytes, 1, u->fp) != 1 || bytes < 0 || bytes % 8 != 0) {
        std::clearerr(u->fp);
        return false;
    }
    const long long held = bytes / 8;
    const long long take = count < held ? (count > 0 ? count : 0) : held;
    bool ok = take == 0 || std::fread(v, 8, static_cast<size_t>(take), u->fp) ==
                               static_cast<size_t>(take);
    if (ok && held > take) ok = std::fseek(u->fp, static_cast<long>((held - take) * 8), SEEK_CUR) == 0;
    ok = ok && std::fread(&trailer, sizeof trailer, 1, u->fp) == 1 && trailer == bytes;
    if (!ok) std::clearerr(u->fp);
    return ok && held >= count;
}

}  // namespace zeft::io
