#pragma once
// Read access to one Morrowind BSA archive (version 0x100): its directory is
// read once; entries are found by path (ASCII case-insensitive, "\" and "/"
// distinct) and copied into a file or into memory.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class Console;
class Platform;

class BsaArchive {
public:
    // meshshift prints "press enter..." before waiting after an archive error;
    // modshift waits without a prompt.
    BsaArchive(Platform& platform, Console& console, bool promptBeforeWait);
    ~BsaArchive();
    BsaArchive(const BsaArchive&) = delete;
    BsaArchive& operator=(const BsaArchive&) = delete;

    int open(const std::string& path); // 0 or -1 (closed on failure)
    void close();
    bool isOpen() const;
    std::size_t entryCount() const;

    // Lower-cases `entryPath` in place (as the callers rely on), then copies the
    // entry into `destination`, replacing it. 0 or -1.
    int extract(std::string& entryPath, const std::string& destination);
    // Lower-cases `entryPath` in place, then returns the entry's bytes.
    std::optional<std::vector<std::uint8_t>> read(std::string& entryPath);

private:
    struct Impl;
    Impl* impl_;
};

} // namespace lw
