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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeft::io {

namespace {

/// Longest formatted record read; a longer one (a file that is not text, such as a device
/// that never ends a line) ends the reading of the unit.
constexpr std::size_t max_record = std::size_t{1} << 20;

/// Identity of a file or folder: device and inode.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

/// One connected unit. A unit whose open failed stays in the table without a stream, so that
/// its later records are dropped quietly instead of repeating the failure message.
struct Unit {
    std::FILE* fp = nullptr;
    std::string name;
    FileId folder;         ///< the folder the name was opened in
    int dir = -1;          ///< handle of that folder while the unit may delete its file
    bool created = false;  ///< a scratch file this unit created under its name
    bool writable = true;
    bool warned = false;   ///< a write failure has been reported
    bool lost = false;     ///< a record could not be written
    bool ended = false;    ///< an over-long record ended the reading
    enum class Last { position, read, write } last = Last::position;
};

std::map<int, Unit>& units() {
    static std::map<int, Unit> table;
    return table;
}

/// Working folder: a directory handle, or AT_FDCWD for the process's current folder.
int folder_fd = AT_FDCWD;

OutputSink& output_sink() {
    static OutputSink sink;
    return sink;
}

/// One standard-output record (terminator included) to the sink or to stdout.
void emit(std::string_view line) {
    if (OutputSink& sink = output_sink()) {
        sink(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);  // keep the order with other writers of the same descriptor
}

/// A line on standard output (list-directed style: one leading blank).
void say(const std::string& text) { emit(" " + text + "\n"); }

/// The descriptor moved above the standard ones (0, 1, 2): a file opened while one of them is
/// closed must not receive what is meant for that stream. -1 (errno set) on failure.
int above_standard(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int e = errno;
    ::close(fd);
    errno = e;
    return moved;
}

/// Opens name relative to the working folder without following a final symbolic link.
int open_here(const std::string& name, int flags) {
    return above_standard(::openat(folder_fd, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
}

FileId id_of(int fd) {
    struct stat st;
    if (fd == AT_FDCWD ? ::stat(".", &st) != 0 : ::fstat(fd, &st) != 0) return {};
    return {st.st_dev, st.st_ino};
}

bool exists(const std::string& name) {
    struct stat st;
    return ::fstatat(folder_fd, name.c_str(), &st, 0) == 0;
}

std::string default_name(int n) { return "fort." + std::to_string(n); }

/// Why an opened descriptor may not serve as a unit (empty: it may). Regular files and
/// character devices (a terminal, /dev/null) may; a pipe or socket could block the run.
std::string unusable(int fd, OpenStatus status) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return std::strerror(errno);
    if (S_ISCHR(st.st_mode)) return {};
    if (!S_ISREG(st.st_mode)) return "NOT A REGULAR FILE";
    // Rewriting a file with a second name would change it under that name too.
    if (status == OpenStatus::replace && st.st_nlink > 1) return "THE FILE HAS OTHER LINKS; IT IS NOT OVERWRITTEN";
    return {};
}

/// An unnamed temporary file, in the working folder when the file system allows it.
int unnamed_file() {
    int fd = -1;
#ifdef O_TMPFILE
    fd = above_standard(::openat(folder_fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd >= 0) return fd;
#endif
    std::FILE* tmp = std::tmpfile();
    if (!tmp) return -1;
    fd = ::fcntl(::fileno(tmp), F_DUPFD_CLOEXEC, 3);
    std::fclose(tmp);  // the duplicate keeps the already unlinked file
    return fd;
}

/// The descriptor for an open with the given status; -1 with the reason in why.
int open_descriptor(Unit& u, OpenStatus status, std::string& why) {
    const std::string& name = u.name;
    int fd = -1;
    errno = 0;
    if (status == OpenStatus::scratch) {
        fd = open_here(name, O_RDWR | O_CREAT | O_EXCL);
        u.created = fd >= 0;
        if (fd < 0 && (errno == EEXIST || errno == ELOOP)) {
            say("FILE \"" + name + "\" EXISTS ALREADY AND IS LEFT ALONE; THE WORK RECORDS GO TO AN UNNAMED TEMPORARY FILE");
            fd = unnamed_file();
        }
    } else if (status == OpenStatus::unknown) {
        // An existing file is kept, so a link the caller made (fort.9 to a listing of its own
        // name, an input file elsewhere) is followed.
        const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        fd = above_standard(::openat(folder_fd, name.c_str(), O_RDWR | O_CREAT | flags, 0666));
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EISDIR) && exists(name)) {
            fd = above_standard(::openat(folder_fd, name.c_str(), O_RDONLY | flags));  // read, not write
            u.writable = false;
        }
    } else {
        fd = open_here(name, O_RDWR | O_CREAT);
    }
    if (fd < 0) {
        why = errno == ELOOP ? "IT IS A SYMBOLIC LINK; THE RUN DOES NOT WRITE THROUGH IT" : std::strerror(errno);
        return -1;
    }
    why = unusable(fd, status);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // it only kept a pipe's open from blocking
    if (why.empty() && status == OpenStatus::replace) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) why = std::strerror(errno);
    }
    if (!why.empty()) {
        if (u.created) ::unlinkat(folder_fd, name.c_str(), 0);
        u.created = false;
        ::close(fd);
        return -1;
    }
    return fd;
}

/// Opens the stream of a unit; on failure prints why and returns a unit without stream.
Unit connect(int n, const std::string& name, OpenStatus status) {
    Unit u;
    u.name = name;
    u.folder = id_of(folder_fd);
    if (name.empty() || name.find('\0') != std::string::npos) {
        say("UNIT " + std::to_string(n) + ": INVALID FILE NAME \"" + name + "\"");
        return u;
    }
    std::string why;
    const int fd = open_descriptor(u, status, why);
    if (fd >= 0) {
        u.fp = ::fdopen(fd, u.writable ? "r+b" : "rb");
        if (!u.fp) {
            why = std::strerror(errno);
            ::close(fd);
        }
    }
    if (!u.fp) {
        say("UNIT " + std::to_string(n) + ": CANNOT OPEN FILE \"" + name + "\" (" + why + ")");
        return u;
    }
    if (u.created) u.dir = folder_fd == AT_FDCWD ? AT_FDCWD : ::fcntl(folder_fd, F_DUPFD_CLOEXEC, 3);
    std::setvbuf(u.fp, nullptr, _IOFBF, 1 << 16);
    return u;
}

/// Deletes the scratch file of a unit, provided the name still refers to the file the unit
/// created (fd: its open descriptor).
void remove_scratch(const Unit& u, int fd) {
    struct stat mine, named;
    if (u.dir == -1) return;
    if (::fstat(fd, &mine) == 0 && ::fstatat(u.dir, u.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
        ::unlinkat(u.dir, u.name.c_str(), 0);
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
        const Unit& u = it->second;
        if (u.fp && u.name == name && u.folder == id_of(folder_fd)) return true;  // same file: keep position
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
    if (remove && u.created) remove_scratch(u, ::fileno(u.fp));
    if (std::fclose(u.fp) != 0) {
        if (!u.warned) say("FILE \"" + u.name + "\": ERROR ON CLOSE (" + std::strerror(errno) + ")");
        ok = false;
    }
    if (u.dir >= 0) ::close(u.dir);
    return ok;
}

void close_all() {
    std::vector<int> open_units;
    for (const auto& [n, u] : units()) open_units.push_back(n);
    for (int n : open_units) close(n, /*remove=*/true);
}

bool set_folder(const std::string& path) {
    int fd = AT_FDCWD;
    if (!path.empty()) {
#ifdef O_PATH
        fd = above_standard(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
#else
        fd = above_standard(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#endif
        if (fd < 0) return false;
    }
    if (folder_fd != AT_FDCWD) ::close(folder_fd);
    folder_fd = fd;
    return true;
}

void set_output_sink(OutputSink sink) { output_sink() = std::move(sink); }

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
    u->ended = false;
}

void flush_all() {
    for (auto& [n, u] : units())
        if (u.fp) std::fflush(u.fp);
    std::fflush(stdout);
}

void write_record(int n, std::string_view record) {
    if (n == stdout_unit && !units().count(n)) {
        std::string line;
        line.reserve(record.size() + 1);
        line.append(record).push_back('\n');
        emit(line);
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
    if (!u || u->ended) return std::nullopt;
    begin_read(*u);
    std::string line;
    int c;
    while ((c = getc_unlocked(u->fp)) != EOF && c != '\n') {
        if (line.size() == max_record) {
            say("FILE \"" + u->name + "\": A RECORD LONGER THAN " + std::to_string(max_record) +
                " CHARACTERS ENDS THE READING");
            u->ended = true;
            return std::nullopt;
        }
        line.push_back(static_cast<char>(c));
    }
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
