#pragma once
// The whole run of modshift: start-up, loading, parsing and the save driver.

#include <cstddef>
#include <span>
#include <string>

namespace lw {
class Console;
class Platform;
} // namespace lw

namespace lw::modshift {

struct Conversion;

// args[0] is the program's own path; the others are options (--no-wait,
// --no-masters, --help, --version) and the plugin (the first other argument;
// further ones are ignored). Every conversion path ends with the "press
// enter..." prompt and one key (none with --no-wait). The exit status: 0 when
// the plugin was written, 1 when it could not be, 2 for a wrong command line.
int runModshift(std::span<const std::string> args, Platform& platform, Console& console);

class OutputSink;

// Calls every converter in order into the output and patches the record count
// (seeding the random numbers and resetting the counters first). Without a
// sink the whole output stays in c.out; with one it is handed to the sink in
// blocks of about `blockSize` bytes as it is written, and completely at the
// end. False when the sink refused a write.
bool runConverters(Conversion& c, OutputSink* sink = nullptr, std::size_t blockSize = 0);

// runConverters, then the output is written to the output path, followed by
// the closing messages. 0, or -1 when the output file could not be written.
int saveDriver(Conversion& c);

// The converters in the order the save driver calls them.
struct SaveStep {
    const char* name;
    int (*run)(Conversion&);
};
std::span<const SaveStep> saveSteps();

} // namespace lw::modshift
