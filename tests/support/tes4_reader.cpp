#include "support/tes4_reader.hpp"

#include <algorithm>
#include <stdexcept>

namespace lw::test {

namespace {

std::uint32_t le(std::span<const std::uint8_t> b, std::size_t at, int n)
{
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

std::string tagAt(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

std::vector<std::uint8_t> slice(std::span<const std::uint8_t> b, std::size_t at, std::size_t n)
{
    return {b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

// Walks records and groups; the first problem found stops the walk.
struct Walker {
    std::span<const std::uint8_t> b;
    Tes4File& f;

    bool fail(const std::string& message)
    {
        f.error = message;
        return false;
    }

    bool readRecord(std::size_t pos, std::size_t limit, Tes4Record& r)
    {
        const std::string at = " at " + std::to_string(pos);
        if (limit - pos < 20)
            return fail("record header" + at + " cut short");
        r.offset = pos;
        r.tag = tagAt(b, pos);
        r.dataSize = le(b, pos + 4, 4);
        r.flags = le(b, pos + 8, 4);
        r.formId = le(b, pos + 12, 4);
        r.lastWord = le(b, pos + 16, 4);
        if (limit - pos - 20 < r.dataSize)
            return fail("record " + r.tag + at + " runs past its group or the file");
        r.data = slice(b, pos + 20, r.dataSize);
        r.compressed = (r.flags & 0x00040000u) != 0;
        // Subrecords; an XXXX subrecord gives the length of the next one, whose own length is 0.
        std::optional<std::uint32_t> pending;
        for (pos += 20; !r.compressed && pos < r.offset + 20 + r.dataSize;) {
            const std::size_t left = r.offset + 20 + r.dataSize - pos;
            if (left < 6)
                return fail("record " + r.tag + at + ": " + std::to_string(left) + " stray bytes after its subrecords");
            Tes4Subrecord s{tagAt(b, pos), pos, {}};
            const std::size_t length = pending ? *pending : le(b, pos + 4, 2);
            if (pending && le(b, pos + 4, 2) != 0)
                return fail("subrecord " + s.tag + " at " + std::to_string(pos) + " after XXXX has a length");
            if (left - 6 < length)
                return fail("subrecord " + s.tag + " at " + std::to_string(pos) + " runs past record " + r.tag);
            s.data = slice(b, pos + 6, length);
            pos += 6 + length;
            pending.reset();
            if (s.tag != "XXXX")
                r.subrecords.push_back(std::move(s));
            else if (length != 4)
                return fail("XXXX at " + std::to_string(s.offset) + " has length " + std::to_string(length));
            else
                pending = s.u32();
        }
        return !pending || fail("record " + r.tag + at + " ends after an XXXX subrecord");
    }

    bool readEntries(std::size_t pos, std::size_t end, std::vector<Tes4Entry>& out, int depth)
    {
        f.maxDepth = std::max(f.maxDepth, depth);
        while (pos < end) {
            if (end - pos < 20)
                return fail(std::to_string(end - pos) + " stray bytes at " + std::to_string(pos));
            Tes4Entry& e = out.emplace_back();
            ++f.counted;
            e.isGroup = tagAt(b, pos) == "GRUP";
            if (!e.isGroup) {
                if (!readRecord(pos, end, e.record))
                    return false;
                pos += 20 + e.record.dataSize;
                continue;
            }
            Tes4Group& g = e.group;
            g.offset = pos;
            g.size = le(b, pos + 4, 4);
            g.label = le(b, pos + 8, 4);
            g.groupType = le(b, pos + 12, 4);
            if (g.size < 20 || end - pos < g.size)
                return fail("group " + g.labelTag() + " at " + std::to_string(pos) + " does not fit its parent");
            if (!readEntries(pos + 20, pos + g.size, g.children, depth + 1))
                return false;
            pos += g.size;
        }
        return true;
    }
};

std::vector<const Tes4Record*> collect(const std::vector<Tes4Entry>& entries, std::string_view tag = {},
                                       bool deep = true, std::vector<const Tes4Record*> out = {})
{
    for (const Tes4Entry& e : entries) {
        if (e.isGroup && deep)
            out = collect(e.group.children, tag, deep, std::move(out));
        else if (!e.isGroup && (tag.empty() || e.record.tag == tag))
            out.push_back(&e.record);
    }
    return out;
}

std::vector<const Tes4Group*> groupsOf(const std::vector<Tes4Entry>& entries)
{
    std::vector<const Tes4Group*> out;
    for (const Tes4Entry& e : entries)
        if (e.isGroup)
            out.push_back(&e.group);
    return out;
}

} // namespace

std::uint32_t Tes4Subrecord::at(std::size_t pos, int n) const
{
    if (pos + static_cast<std::size_t>(n) > data.size())
        throw std::out_of_range(tag + ": " + std::to_string(n) + " bytes at " + std::to_string(pos));
    return le(data, pos, n);
}
std::string Tes4Subrecord::text() const
{
    const auto* chars = reinterpret_cast<const char*>(data.data());
    return std::string(chars, std::find(chars, chars + data.size(), '\0'));
}
bool Tes4Subrecord::isZeroTerminatedText() const { return !data.empty() && text().size() + 1 == data.size(); }

const Tes4Subrecord* Tes4Record::field(std::string_view t, std::size_t nth) const
{
    for (const Tes4Subrecord& s : subrecords)
        if (s.tag == t && nth-- == 0)
            return &s;
    return nullptr;
}
std::size_t Tes4Record::count(std::string_view t) const
{
    return static_cast<std::size_t>(std::ranges::count(subrecords, t, &Tes4Subrecord::tag));
}
std::string Tes4Record::layout() const
{
    std::string s;
    for (const Tes4Subrecord& sub : subrecords)
        s += (s.empty() ? "" : " ") + sub.tag;
    return s;
}

std::string Tes4Group::labelTag() const { return std::string(reinterpret_cast<const char*>(&label), 4); }
std::vector<const Tes4Record*> Tes4Group::records() const { return collect(children, {}, false); }
std::vector<const Tes4Group*> Tes4Group::groups() const { return groupsOf(children); }
std::vector<const Tes4Record*> Tes4Group::allRecords() const { return collect(children); }

const Tes4Group* Tes4File::topGroup(std::string_view labelTag) const
{
    for (const Tes4Group* g : topGroups())
        if (g->labelTag() == labelTag)
            return g;
    return nullptr;
}
std::vector<const Tes4Group*> Tes4File::topGroups() const { return groupsOf(entries); }
std::vector<const Tes4Record*> Tes4File::allRecords(std::string_view tag) const { return collect(entries, tag); }
const Tes4Record* Tes4File::byFormId(std::uint32_t formId) const
{
    for (const Tes4Record* r : allRecords())
        if (r->formId == formId)
            return r;
    return nullptr;
}

Tes4File readTes4(std::span<const std::uint8_t> bytes)
{
    Tes4File f;
    Walker w{bytes, f};
    if (bytes.size() < 20 || tagAt(bytes, 0) != "TES4") {
        w.fail("no TES4 file header record at offset 0");
    } else if ((f.hasHeader = w.readRecord(0, bytes.size(), f.header))) {
        const Tes4Subrecord* hedr = f.header.field("HEDR");
        if (!hedr || hedr->size() != 12 || hedr->offset != 20)
            w.fail("file header without a 12-byte HEDR first");
        else if (w.readEntries(20 + f.header.dataSize, bytes.size(), f.entries, 0) && hedr->u32(4) != f.counted)
            w.fail("record count field holds " + std::to_string(hedr->u32(4)) + " but " +
                   std::to_string(f.counted) + " records and groups follow the header");
    }
    return f;
}

Tes4File readTes4Body(std::span<const std::uint8_t> bytes)
{
    Tes4File f;
    Walker{bytes, f}.readEntries(0, bytes.size(), f.entries, 0);
    return f;
}

} // namespace lw::test
