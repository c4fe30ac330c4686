#include "support/tes4_reader.hpp"

#include <algorithm>
#include <bit>
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

std::string hex(std::size_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zx", v);
    return buf;
}

struct Walker {
    std::span<const std::uint8_t> b;
    std::string error;
    std::int64_t counted = 0;
    int maxDepth = 0;

    bool fail(std::string message)
    {
        error = error.empty() ? std::move(message) : error;
        return false;
    }

    bool readSubrecords(Tes4Record& r)
    {
        std::size_t pos = r.offset + 20;
        std::size_t end = pos + r.dataSize;
        bool pending = false;
        std::uint32_t pendingSize = 0;
        while (pos < end) {
            if (end - pos < 6)
                return fail("record " + r.tag + " at " + hex(r.offset) + ": " +
                            std::to_string(end - pos) + " stray bytes after its subrecords");
            Tes4Subrecord s;
            s.offset = pos;
            s.tag = tagAt(b, pos);
            std::size_t length = le(b, pos + 4, 2);
            if (pending) {
                if (length != 0)
                    return fail("subrecord " + s.tag + " at " + hex(pos) +
                                " after XXXX has length " + std::to_string(length) + ", not 0");
                length = pendingSize;
                pending = false;
            }
            pos += 6;
            if (end - pos < length)
                return fail("subrecord " + s.tag + " at " + hex(s.offset) + " of record " + r.tag +
                            ": length " + std::to_string(length) + " runs past the record");
            s.data.assign(b.begin() + static_cast<std::ptrdiff_t>(pos),
                          b.begin() + static_cast<std::ptrdiff_t>(pos + length));
            pos += length;
            if (s.tag == "XXXX") {
                if (length != 4)
                    return fail("XXXX at " + hex(s.offset) + " has length " + std::to_string(length));
                pendingSize = s.u32();
                pending = true;
                continue;
            }
            r.subrecords.push_back(std::move(s));
        }
        if (pending)
            return fail("record " + r.tag + " ends after an XXXX subrecord");
        return true;
    }

    bool readRecord(std::size_t pos, std::size_t limit, Tes4Record& r)
    {
        if (limit - pos < 20)
            return fail("record header at " + hex(pos) + " cut short");
        r.offset = pos;
        r.tag = tagAt(b, pos);
        r.dataSize = le(b, pos + 4, 4);
        r.flags = le(b, pos + 8, 4);
        r.formId = le(b, pos + 12, 4);
        r.lastWord = le(b, pos + 16, 4);
        if (limit - pos - 20 < r.dataSize)
            return fail("record " + r.tag + " at " + hex(pos) + ": data size " +
                        std::to_string(r.dataSize) + " runs past its group or the file");
        r.data.assign(b.begin() + static_cast<std::ptrdiff_t>(pos + 20),
                      b.begin() + static_cast<std::ptrdiff_t>(pos + 20 + r.dataSize));
        r.compressed = (r.flags & 0x00040000u) != 0;
        return r.compressed || readSubrecords(r);
    }

    // Reads entries from pos to end; returns false at the first problem.
    bool readEntries(std::size_t pos, std::size_t end, std::vector<Tes4Entry>& out, int depth)
    {
        if (depth > maxDepth)
            maxDepth = depth;
        while (pos < end) {
            if (end - pos < 20)
                return fail(std::to_string(end - pos) + " stray bytes at " + hex(pos));
            Tes4Entry e;
            if (tagAt(b, pos) == "GRUP") {
                e.isGroup = true;
                Tes4Group& g = e.group;
                g.offset = pos;
                g.size = le(b, pos + 4, 4);
                g.label = le(b, pos + 8, 4);
                g.groupType = le(b, pos + 12, 4);
                if (g.size < 20)
                    return fail("group at " + hex(pos) + " has size " + std::to_string(g.size));
                if (end - pos < g.size)
                    return fail("group " + g.labelTag() + " at " + hex(pos) + " of size " +
                                std::to_string(g.size) + " runs past its parent (" +
                                std::to_string(end - pos) + " bytes left)");
                ++counted;
                if (!readEntries(pos + 20, pos + g.size, g.children, depth + 1))
                    return false;
                pos += g.size;
            } else {
                if (!readRecord(pos, end, e.record))
                    return false;
                ++counted;
                pos += 20 + e.record.dataSize;
            }
            out.push_back(std::move(e));
        }
        return true;
    }
};

std::vector<const Tes4Record*> collect(const std::vector<Tes4Entry>& entries, std::string_view tag = {},
                                       std::vector<const Tes4Record*> out = {})
{
    for (const Tes4Entry& e : entries) {
        if (e.isGroup)
            out = collect(e.group.children, tag, std::move(out));
        else if (tag.empty() || e.record.tag == tag)
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

Tes4File finish(Walker& w, Tes4File f)
{
    f.counted = w.counted, f.maxDepth = w.maxDepth, f.error = w.error;
    return f;
}

} // namespace

std::uint32_t Tes4Subrecord::at(std::size_t pos, int n) const
{
    if (pos + static_cast<std::size_t>(n) > data.size())
        throw std::out_of_range(tag + ": " + std::to_string(n) + " bytes at " + std::to_string(pos));
    return le(data, pos, n);
}
std::uint8_t Tes4Subrecord::u8(std::size_t pos) const { return static_cast<std::uint8_t>(at(pos, 1)); }
std::uint16_t Tes4Subrecord::u16(std::size_t pos) const { return static_cast<std::uint16_t>(at(pos, 2)); }
std::uint32_t Tes4Subrecord::u32(std::size_t pos) const { return at(pos, 4); }
float Tes4Subrecord::f32(std::size_t pos) const { return std::bit_cast<float>(at(pos, 4)); }
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
    return static_cast<std::size_t>(
        std::count_if(subrecords.begin(), subrecords.end(), [t](const Tes4Subrecord& s) { return s.tag == t; }));
}
std::string Tes4Record::layout() const
{
    std::string s;
    for (const Tes4Subrecord& sub : subrecords)
        s += (s.empty() ? "" : " ") + sub.tag;
    return s;
}

std::string Tes4Group::labelTag() const { return std::string(reinterpret_cast<const char*>(&label), 4); }
std::vector<const Tes4Record*> Tes4Group::records() const
{
    std::vector<const Tes4Record*> out;
    for (const Tes4Entry& e : children)
        if (!e.isGroup)
            out.push_back(&e.record);
    return out;
}
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
std::vector<const Tes4Record*> Tes4File::allRecords() const { return collect(entries); }
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
    Walker w{bytes, {}, 0, 0};
    Tes4File f;
    if (bytes.size() < 20 || tagAt(bytes, 0) != "TES4") {
        f.error = "no TES4 file header record at offset 0";
        return f;
    }
    if (!w.readRecord(0, bytes.size(), f.header))
        return finish(w, std::move(f));
    f.hasHeader = true;
    const Tes4Subrecord* hedr = f.header.field("HEDR");
    if (hedr == nullptr || hedr->size() != 12 || hedr->offset != 20) {
        w.fail("file header without a 12-byte HEDR first");
        return finish(w, std::move(f));
    }
    f.headerCount = hedr->u32(4);
    std::size_t bodyStart = 20 + f.header.dataSize;
    w.readEntries(bodyStart, bytes.size(), f.entries, 0);
    if (w.error.empty() && static_cast<std::int64_t>(f.headerCount) != w.counted)
        w.fail("record count field holds " + std::to_string(f.headerCount) + " but " +
               std::to_string(w.counted) + " records and groups follow the header");
    return finish(w, std::move(f));
}

Tes4File readTes4Body(std::span<const std::uint8_t> bytes)
{
    Walker w{bytes, {}, 0, 0};
    Tes4File f;
    w.readEntries(0, bytes.size(), f.entries, 0);
    return finish(w, std::move(f));
}

} // namespace lw::test
