#include "common/console/console.hpp"

#include <cstdarg>
#include <vector>

namespace lw {

Console Console::capturing(std::string keys)
{
    Console c;
    c.capturing_ = true;
    c.keys_ = std::move(keys);
    return c;
}

void Console::print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        std::vector<char> text(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        write(std::string_view(text.data(), static_cast<std::size_t>(n)));
    }
    va_end(args);
}

void Console::write(std::string_view text)
{
    if (capturing_) {
        captured_.append(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int Console::waitKey()
{
    if (skipWaits_ || (!capturing_ && std::feof(stdin)))
        return EOF;
    ++waits_;
    if (capturing_)
        return nextKey_ < keys_.size() ? static_cast<unsigned char>(keys_[nextKey_++]) : EOF;
    return std::getchar();
}

} // namespace lw
