#include "modshift/objects/book_text.hpp"

#include <vector>

#include "common/io/byte_cursor.hpp"

namespace lw::modshift {

namespace {

// The source bytes, read once; positions past the end read as zero.
class Source {
public:
    explicit Source(std::span<const std::uint8_t> text)
    {
        ByteCursor cursor(text);
        while (!cursor.atEnd())
            bytes_.push_back(cursor.u8());
    }
    std::size_t size() const { return bytes_.size(); }
    std::uint8_t operator[](std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
    // "<FONT" starts at i.
    bool fontTagAt(std::size_t i) const
    {
        return (*this)[i] == '<' && (*this)[i + 1] == 'F' && (*this)[i + 2] == 'O' &&
               (*this)[i + 3] == 'N' && (*this)[i + 4] == 'T';
    }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace

std::size_t cleanBookText(std::span<std::uint8_t> text)
{
    const Source in(text);
    const std::size_t n = in.size();
    std::size_t o = 0;
    bool skipping = in.fontTagAt(0); // a FONT tag at the very start goes too
    for (std::size_t i = 0; i < n; ++i) {
        text[o] = in[i];
        if (!skipping)
            ++o;
        if (i + 1 < n && in[i + 1] == '<') {
            if (in.fontTagAt(i + 1))
                skipping = true;
        } else if (in[i] == '>') {
            skipping = false;
        }
    }
    return o;
}

} // namespace lw::modshift
