// Units: numbered sequential files of the analysis (8 namelist input, 9 listing, 25 work file,
// 26 mode-shape file) and standard output (unit 6). A unit that nothing connected reads or
// writes the file fort.N in the working folder, the usual runtime default.
//
// Files are opened relative to the working folder (the current one, or a directory handed to
// set_folder), never through a symbolic link planted in the place of a file the run writes,
// and always on descriptors above 2, so that a closed standard stream is never taken over.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/format.hpp"

namespace zeft::io {

constexpr int stdout_unit = 6;  ///< standard output (C stdout, flushed after each record)

/// Status of an open: replace an existing file (create or rewrite from its start), keep an
/// existing one (create when missing) positioned at its start, or scratch: a work file the run
/// creates itself under the name and deletes at its close; when the name is taken, the
/// records go to an unnamed temporary file instead and the existing file stays untouched.
enum class OpenStatus { replace, unknown, scratch };

/// Working folder of later opens by relative name: the directory at path, or the process's
/// current folder for an empty path. Units already open keep their files. Returns false (errno
/// set) when the directory cannot be opened; the folder is then unchanged.
bool set_folder(const std::string& path);

/// Receiver of the standard-output records (unit 6), each with its line terminator. Empty:
/// the records go to the C stream stdout.
using OutputSink = std::function<void(std::string_view)>;
void set_output_sink(OutputSink sink);

/// Connects unit n to the named file (formatted or unformatted). An open of a unit already
/// connected to the same name keeps the connection and its position; to another name it
/// closes the old file first. Returns false (and prints a message on standard output) when
/// the file cannot be opened.
bool open(int n, const std::string& name, OpenStatus status = OpenStatus::replace,
          bool formatted = true);

/// Closes unit n; with remove = true a scratch file that the unit created is deleted (no
/// other file ever is). Closing an unconnected unit is a no-op. Returns false when the unit lost records: an open that failed, a write that failed
/// (a full disk, a file size limit) or a close that could not write out its buffer.
bool close(int n, bool remove = false);

/// Closes every unit, deleting the scratch files the units created (after an interrupted run).
void close_all();

/// True when unit n is connected.
bool is_open(int n);

/// Repositions unit n at its start (connecting it to fort.n first if unconnected and that
/// file exists; an unused unit creates no file).
void rewind(int n);

/// Flushes every connected unit (and standard output).
void flush_all();

/// Writes one record (a line; the terminator is added). Unit 6 is standard output; an
/// unconnected unit is connected to fort.n first.
void write_record(int n, std::string_view record);

/// Writes the records produced by a FORMAT text and its items.
void writef(int n, std::string_view layout, std::initializer_list<fmt::Item> items = {});
void writef(int n, std::string_view layout, const std::vector<fmt::Item>& items);

/// Writes a list-directed text record: one blank, then the text.
inline void write_list(int n, std::string_view text) { write_record(n, fmt::list(text)); }

/// Reads the next record of a formatted unit; nullopt at end of file.
std::optional<std::string> read_record(int n);

/// Unformatted sequential records of doubles (the work file).
void write_doubles(int n, const double* v, long long count);
/// Reads the next unformatted record into v (count values); false at end of file or when the
/// record is shorter than count.
bool read_doubles(int n, double* v, long long count);

}  // namespace zeft::io
