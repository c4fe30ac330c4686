#pragma once
// The programs' console: every message goes through print(), every wait for a
// key through waitKey(). The standard console writes to stdout and reads stdin;
// a captured console keeps the text and answers waits from a script, for tests.

#include <cstdio>
#include <string>
#include <string_view>

namespace lw {

class Console {
public:
    // Writes to standard output, reads keys from standard input.
    Console() = default;
    // Keeps everything printed in captured(); waits read from `keys` (then EOF).
    static Console capturing(std::string keys = {});

#if defined(__MINGW32__)
    // MinGW's plain "printf" check is the Microsoft runtime's, which lacks
    // %zu and %lld; the programs are built with the standard-conforming one.
    __attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void print(const char* format, ...);
    void write(std::string_view text);
    // Reads one character; returns EOF when there is none. Counted in waits().
    // Returns EOF at once, without waiting or counting, after skipWaits() or
    // when standard input is at its end (nothing more can come from it).
    int waitKey();
    // From now on no wait reads a key: for runs nobody sits at. The prompts
    // still print.
    void skipWaits() { skipWaits_ = true; }

    const std::string& captured() const { return captured_; }
    void clearCaptured() { captured_.clear(); }
    int waits() const { return waits_; }
    bool isCapturing() const { return capturing_; }

private:
    bool capturing_ = false;
    bool skipWaits_ = false;
    std::string captured_;
    std::string keys_;
    std::size_t nextKey_ = 0;
    int waits_ = 0;
};

} // namespace lw
