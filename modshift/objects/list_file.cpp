#include "modshift/objects/list_file.hpp"

#include "common/io/byte_cursor.hpp"
#include "common/platform/platform.hpp"

namespace lw::modshift {

namespace {

// Line ends are any byte below 32 when read as a signed byte, so control
// characters and every byte 0x80-0xFF end a line.
bool endsLine(std::uint8_t byte)
{
    return static_cast<std::int8_t>(byte) < 32;
}

int hexDigit(std::uint8_t byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    return -1;
}

// Peeks at one byte at `at`; 0 past the end, like the zero byte that ends the text.
std::uint8_t peek(const ByteCursor& text, std::size_t at)
{
    ByteCursor probe(text.whole());
    if (!probe.seek(at))
        return 0;
    std::uint8_t b = probe.u8();
    return probe.ok() ? b : 0;
}

} // namespace

void ListTable::clear()
{
    entries_.clear();
    index_.clear();
}

bool ListTable::load(Platform& platform, const std::string& path)
{
    clear();
    auto bytes = platform.readFile(path);
    if (!bytes)
        return false;
    return parse(*bytes);
}

bool ListTable::parse(std::span<const std::uint8_t> bytes)
{
    clear();
    ByteCursor text(bytes);
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n) {
        const std::size_t start = p;
        while (p < n && peek(text, p) != '=')
            ++p;
        if (p >= n)
            break; // no "=" before the end: the last piece is dropped
        ByteCursor name(text.whole());
        name.seek(start);
        std::string identifier(name.chars(p - start));
        ++p; // past the "="

        // The value must begin with "0" or have "x" second; else the list is malformed.
        if (peek(text, p) != '0' && peek(text, p + 1) != 'x') {
            clear();
            return false;
        }
        std::size_t v = p;
        if (peek(text, v) == '0' && (peek(text, v + 1) == 'x' || peek(text, v + 1) == 'X') &&
            hexDigit(peek(text, v + 2)) >= 0)
            v += 2;
        std::uint64_t value = 0;
        for (int d; v < n && (d = hexDigit(peek(text, v))) >= 0; ++v) {
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFu)
                value = 0xFFFFFFFFu; // out of range saturates, as the C runtime reads it
        }

        // To the start of the next line.
        while (p < n && !endsLine(peek(text, p)))
            ++p;
        while (p < n && endsLine(peek(text, p)))
            ++p;

        if (value != 0)
            entries_.push_back(Entry{std::move(identifier), static_cast<std::uint32_t>(value)});
    }
    for (const Entry& e : entries_)
        index_.try_emplace(e.identifier, e.value); // the first line with a name wins
    return true;
}

std::uint32_t ListTable::lookup(std::string_view identifier) const
{
    auto it = index_.find(std::string(identifier));
    return it == index_.end() ? 0 : it->second;
}

} // namespace lw::modshift
