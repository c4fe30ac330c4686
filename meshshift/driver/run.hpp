#pragma once
// The run of meshshift: options, configuration, template, archive, finding the
// source mesh, output path and folders, reading, collision, writing.

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {
class Console;
class Platform;
} // namespace lw

namespace lw::meshshift {

struct MeshJob;

// A whole number as the options take it: leading blanks and a sign, then digits
// up to the first other character; no digits give 0. Values beyond the 32-bit
// range stop at its ends.
std::int32_t parseWholeNumber(std::string_view text);

// Fills job.options, job.programFolder and job.meshName from the arguments
// (argv[0] is the program's own path); --no-wait turns the console's waits
// off. 0, or -1 after a message.
int parseArguments(MeshJob& job, int argc, const char* const* argv);

// The whole run; returns the process exit status (0 when the mesh was written).
int runMeshshift(Console& console, Platform& platform, int argc, const char* const* argv);

} // namespace lw::meshshift
