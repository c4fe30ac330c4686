#pragma once
// Everything the programs ask of the operating system. Paths are given as the
// programs build them ("\" separators, game-style case-insensitive names); the
// POSIX implementation translates "\" to "/" and matches each path component
// that does not exist with its exact case case-insensitively against the
// folder's entries (deterministically: the byte-wise smallest matching name), because game
// data folders are case-insensitive on the games' own platform. Case is folded for
// the ASCII letters only. A path that starts with a drive letter ("C:") names
// nothing on POSIX: every operation on it fails as for a missing file, so a
// configuration written for Windows shows up as missing files instead of
// writing into a folder called "C:" below the current one.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// A file open for reading pieces of it at any position (an archive stays open
// while entries are taken out of it).
class RandomAccessFile {
public:
    virtual ~RandomAccessFile() = default;
    virtual std::uint64_t size() const = 0;
    // Exactly `count` bytes from `offset`, or nothing when they cannot all be read.
    virtual std::optional<std::vector<std::uint8_t>> read(std::uint64_t offset, std::size_t count) = 0;
};

// A file being written front to back, with rewrites of bytes already
// written (sizes patched once they are known). Nothing is promised on disk
// before close() returns true.
class WritableFile {
public:
    virtual ~WritableFile() = default;
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;                        // appends
    virtual bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0; // inside the file
    virtual bool close() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // The path as the operating system spells it (see above). Components that
    // do not exist yet are kept as given, so the result can name a new file.
    virtual std::string nativePath(std::string_view path) = 0;

    // Existence test of one path: the found file's own name (last component,
    // as stored on disk) or nothing.
    virtual std::optional<std::string> findFile(std::string_view path) = 0;

    // Copies a file; never replaces an existing destination. True when copied.
    virtual bool copyFileNoReplace(std::string_view from, std::string_view to) = 0;

    // Creates one folder (its parent must exist). The result is only advisory:
    // an existing folder is no error for the callers.
    virtual bool createDirectory(std::string_view path) = 0;

    // Whole-file reading and writing (binary). readFile gives nothing when the
    // file cannot be opened or read; writeFile replaces an existing file.
    virtual std::optional<std::vector<std::uint8_t>> readFile(std::string_view path) = 0;
    virtual bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) = 0;

    // Renames a file, replacing an existing destination (how a finished file
    // takes its place in one step). True when renamed.
    virtual bool renameFile(std::string_view from, std::string_view to);
    // Removes one file. True when removed.
    virtual bool removeFile(std::string_view path);

    // The folder of the running program file (links resolved) with its
    // trailing separator, for a program started through the search path;
    // empty when it cannot be found out.
    virtual std::string programFolder();

    // Creates (or replaces) a file for writing; nothing when it cannot be
    // created. The default collects the bytes and hands them to writeFile on
    // close(), which then reports whether the file could be written (enough
    // for test doubles); the system platforms write as they go.
    virtual std::unique_ptr<WritableFile> openForWriting(std::string_view path);

    // Opens a file for reading pieces of it; nothing when it cannot be opened.
    // The default holds the whole file in memory (enough for test doubles); the
    // system platforms read from the open file.
    virtual std::unique_ptr<RandomAccessFile> openForReading(std::string_view path);

    // Starts a program given by a full command line (program path first, then
    // its arguments; double quotes group an argument that holds blanks), in the
    // same console, and waits for it without a time limit. Its exit status, or
    // nothing when it could not be started. On POSIX a program path that holds
    // blanks and is not quoted is found the way Windows finds it: the shortest
    // blank-separated prefix of the command line that names an existing file;
    // a program ended by a signal reports 128 plus the signal number.
    virtual std::optional<int> runProcess(std::string_view commandLine) = 0;

    // The name the mesh converter has in the program folder on this platform.
    virtual std::string_view meshConverterName() const = 0;
};

// The implementation for the platform the program was built for.
std::unique_ptr<Platform> makeSystemPlatform();

// Splits a command line into arguments the way the Windows runtime does: blanks
// and tabs separate; double quotes group (a quote may open or close in the
// middle of an argument, "" inside quotes stands for one quote); backslashes
// are literal unless they precede a quote: 2n backslashes and a quote give n
// backslashes and a grouping quote, 2n+1 give n backslashes and a literal
// quote. The first argument (the program) only ends at a blank or, when it
// opens with a quote, at the next quote; backslashes there are always literal.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// An in-memory RandomAccessFile (used by the default openForReading).
std::unique_ptr<RandomAccessFile> makeMemoryFile(std::vector<std::uint8_t> bytes);

} // namespace lw
