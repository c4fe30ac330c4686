#pragma once
// Everything the programs ask of the operating system. Paths are given as the
// programs build them ("\" separators, game-style case-insensitive names); the
// POSIX implementation translates "\" to "/" and matches each path component
// that does not exist with its exact case case-insensitively against the
// folder's entries (deterministically: the byte-wise smallest matching name), because game
// data folders are case-insensitive on the games' own platform.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

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

    // Starts a program given by a full command line (program path first, then
    // its arguments; double quotes group an argument that holds blanks), in the
    // same console, and waits for it without a time limit. Its exit status, or
    // nothing when it could not be started.
    virtual std::optional<int> runProcess(std::string_view commandLine) = 0;

    // The name the mesh converter has in the program folder on this platform.
    virtual std::string_view meshConverterName() const = 0;
};

// The implementation for the platform the program was built for.
std::unique_ptr<Platform> makeSystemPlatform();

// Splits a command line into arguments the way the Windows runtime does for
// the simple cases the programs produce: blanks separate, double quotes group.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

} // namespace lw
