#include "lorereport/report/plugin_reader.hpp"

#include <cstring>
#include <zlib.h>

#include "common/io/byte_cursor.hpp"

namespace lw::report {

namespace {

constexpr std::uint32_t kCompressed = 0x00040000;
constexpr int kMaxGroupDepth = 16;
// A compressed record never needs more than this when inflated; a larger
// claim is a damaged or hostile plugin.
constexpr std::uint32_t kMaxInflated = 64u << 20;

std::string hex(std::size_t v)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%zX", v);
    return text;
}

bool inflateData(std::span<const std::uint8_t> in, std::uint32_t size, std::vector<std::uint8_t>& out)
{
    if (size > kMaxInflated)
        return false;
    out.assign(size, 0);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    bool ok = rc == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return ok;
}

bool readFields(std::span<const std::uint8_t> data, std::vector<Field>& fields)
{
    ByteCursor c(data);
    std::optional<std::uint32_t> longSize;
    while (!c.atEnd()) {
        std::string_view tag = c.chars(4);
        std::uint32_t length = c.u16();
        if (!c.ok())
            return false;
        if (longSize) {
            length = *longSize;
            longSize.reset();
        }
        Bytes body = c.bytes(length);
        if (!c.ok())
            return false;
        if (tag == "XXXX") {
            if (body.size() != 4)
                return false;
            ByteCursor s(body);
            longSize = s.u32();
            continue;
        }
        fields.push_back(Field{std::string(tag), std::vector<std::uint8_t>(body.begin(), body.end())});
    }
    return !longSize;
}

struct Reader {
    std::span<const std::uint8_t> bytes;
    Plugin plugin;
    std::string error;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> open;

    bool fail(std::size_t at, const std::string& what)
    {
        error = what + " at offset " + hex(at);
        return false;
    }

    bool record(ByteCursor& c, Record& r)
    {
        r.offset = c.position();
        r.tag = std::string(c.chars(4));
        std::uint32_t size = c.u32();
        r.flags = c.u32();
        r.formId = c.u32();
        c.u32();
        if (!c.ok())
            return fail(r.offset, "truncated record header");
        Bytes data = c.bytes(size);
        if (!c.ok())
            return fail(r.offset, "record " + r.tag + " runs past the end of its group or file");
        r.groups = open;
        if (r.flags & kCompressed) {
            ByteCursor z(data);
            std::uint32_t inflatedSize = z.u32();
            std::vector<std::uint8_t> inflated;
            if (!z.ok() || !inflateData(data.subspan(4), inflatedSize, inflated))
                return fail(r.offset, "compressed record " + r.tag + " does not inflate to its stated size");
            if (!readFields(inflated, r.fields))
                return fail(r.offset, "subrecords of compressed record " + r.tag + " do not fill its data");
        } else if (!readFields(data, r.fields)) {
            return fail(r.offset, "subrecords of record " + r.tag + " do not fill its data");
        }
        return true;
    }

    // Reads the entries in `c` (a whole group's contents or the file after
    // the header).
    bool entries(ByteCursor& c, int depth)
    {
        while (!c.atEnd()) {
            std::size_t at = c.position();
            if (c.remaining() < 20)
                return fail(at, "truncated header");
            ByteCursor peek = c;
            if (peek.chars(4) == "GRUP") {
                if (depth >= kMaxGroupDepth)
                    return fail(at, "groups nested too deeply");
                std::uint32_t size = peek.u32();
                std::uint32_t label = peek.u32();
                std::uint32_t type = peek.u32();
                if (size < 20 || size > c.remaining())
                    return fail(at, "group size " + std::to_string(size) + " does not fit its parent");
                c.skip(20);
                ByteCursor inner = c.sub(size - 20);
                ++plugin.groupCount;
                if (depth == 0)
                    ++plugin.topGroupCount;
                open.emplace_back(label, type);
                bool ok = entries(inner, depth + 1);
                open.pop_back();
                if (!ok)
                    return false;
            } else {
                Record r;
                if (!record(c, r))
                    return false;
                plugin.records.push_back(std::move(r));
            }
        }
        return true;
    }
};

} // namespace

std::optional<std::uint32_t> Field::u32(std::size_t at) const
{
    if (at + 4 > data.size())
        return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | data[at + static_cast<std::size_t>(i)];
    return v;
}

std::optional<float> Field::f32(std::size_t at) const
{
    auto bits = u32(at);
    if (!bits)
        return std::nullopt;
    float f;
    std::memcpy(&f, &*bits, 4);
    return f;
}

std::string Field::text() const
{
    std::size_t n = 0;
    while (n < data.size() && data[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(data.data()), n);
}

const Field* Record::field(std::string_view wanted, std::size_t nth) const
{
    for (const Field& f : fields)
        if (f.tag == wanted && nth-- == 0)
            return &f;
    return nullptr;
}

bool Record::insideTopGroup(std::string_view groupTag) const
{
    if (groups.empty() || groups.front().second != 0 || groupTag.size() != 4)
        return false;
    const std::uint32_t label = groups.front().first;
    for (std::size_t i = 0; i < 4; ++i)
        if (static_cast<char>((label >> (8 * i)) & 0xFF) != groupTag[i])
            return false;
    return true;
}

std::optional<Plugin> readPlugin(std::span<const std::uint8_t> bytes, std::string& error)
{
    Reader reader;
    reader.bytes = bytes;
    reader.plugin.bytes = bytes.size();
    ByteCursor c(bytes);
    if (bytes.size() < 20 || c.chars(4) != "TES4") {
        error = "not a TES4 plugin (no TES4 header record)";
        return std::nullopt;
    }
    c.seek(0);
    if (!reader.record(c, reader.plugin.header) || !reader.entries(c, 0)) {
        error = reader.error;
        return std::nullopt;
    }
    return std::move(reader.plugin);
}

} // namespace lw::report
