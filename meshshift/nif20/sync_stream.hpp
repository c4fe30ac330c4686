#pragma once
// The two streams that drive the `sync` member of a block record: SyncReader
// fills a record from a version-20 image (the template), SyncWriter writes a
// record in the same layout, renumbering links on the way. Both keep the first
// problem they meet and ignore everything after it, so a caller checks ok()
// once per block.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/io/byte_cursor.hpp"
#include "common/io/byte_writer.hpp"
#include "meshshift/nif20/block_model.hpp"

namespace lw::meshshift {

class SyncReader {
public:
    // Links must name one of `blockCount` blocks or be none.
    SyncReader(ByteCursor& cursor, std::size_t blockCount) : in_(cursor), blockCount_(blockCount) {}

    static constexpr bool reading = true;
    bool ok() const { return error_.empty() && in_.ok(); }
    // What went wrong first ("" while ok).
    std::string error() const { return !error_.empty() ? error_ : in_.ok() ? std::string{} : "file ends inside a block"; }

    void u8(std::uint8_t& v) { v = in_.u8(); }
    void flag8(std::uint8_t& v) { v = in_.u8(); }
    void u16(std::uint16_t& v) { v = in_.u16(); }
    void u32(std::uint32_t& v) { v = in_.u32(); }
    void f32(float& v) { v = in_.f32(); }
    template <std::size_t N> void u8s(std::array<std::uint8_t, N>& a) { for (auto& v : a) u8(v); }
    template <std::size_t N> void u16s(std::array<std::uint16_t, N>& a) { for (auto& v : a) u16(v); }
    template <std::size_t N> void u32s(std::array<std::uint32_t, N>& a) { for (auto& v : a) u32(v); }
    template <std::size_t N> void f32s(std::array<float, N>& a) { for (auto& v : a) f32(v); }

    void text(std::string_view& s)
    {
        std::uint32_t n = in_.u32();
        if (!in_.has(n)) {
            fail("text longer than the file");
            s = {};
            return;
        }
        s = in_.chars(n);
    }

    void link(Link& l)
    {
        l = in_.u32();
        if (l != kNoLink && l >= blockCount_) {
            fail("link to block " + std::to_string(l) + " of " + std::to_string(blockCount_));
            l = kNoLink;
        }
    }
    void links32(std::vector<Link>& v, std::size_t max)
    {
        std::uint32_t n = in_.u32();
        if (n > max) {
            fail("list of " + std::to_string(n) + " links (at most " + std::to_string(max) + ")");
            v.clear();
            return;
        }
        readLinks(v, n);
    }
    void linkArray16(std::vector<Link>& v) { readLinks(v, in_.u16()); }

    template <class T>
    void resize(std::vector<T>& v, std::size_t n, std::size_t minBytesEach)
    {
        v.clear();
        if (!ok())
            return;
        if (minBytesEach > 0 && n > in_.remaining() / minBytesEach) {
            fail("count " + std::to_string(n) + " larger than the file");
            return;
        }
        v.resize(n);
    }
    template <class T> void count32(std::vector<T>& v, std::size_t minBytesEach) { resize(v, in_.u32(), minBytesEach); }
    template <class T> void count16(std::vector<T>& v, std::size_t minBytesEach) { resize(v, in_.u16(), minBytesEach); }

    void floats(std::vector<float>& v, std::size_t n)
    {
        resize(v, n, 4);
        for (auto& x : v) x = in_.f32();
    }
    void shorts(std::vector<std::uint16_t>& v, std::size_t n)
    {
        resize(v, n, 2);
        for (auto& x : v) x = in_.u16();
    }
    void bytes(std::vector<std::uint8_t>& v, std::size_t n)
    {
        ByteView b = in_.bytes(n);
        v.assign(b.begin(), b.end());
    }

    // Counts entries of a limited kind over the whole template.
    void pool(Pool kind, std::size_t n)
    {
        auto& used = pools_[static_cast<std::size_t>(kind)];
        used += n;
        if (used > kMaxPoolEntries)
            fail("more than " + std::to_string(kMaxPoolEntries) + " keys or entries of one kind");
    }

    void fail(std::string why)
    {
        if (error_.empty())
            error_ = std::move(why);
        in_.fail();
    }

private:
    void readLinks(std::vector<Link>& v, std::size_t n)
    {
        resize(v, n, 4);
        for (auto& l : v) link(l);
    }

    ByteCursor& in_;
    std::size_t blockCount_;
    std::array<std::size_t, 6> pools_{};
    std::string error_;
};

class SyncWriter {
public:
    SyncWriter(ByteWriter& out, const OutputNumbering& numbering) : out_(out), numbering_(numbering) {}

    static constexpr bool reading = false;
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    void u8(std::uint8_t& v) { out_.u8(v); }
    void flag8(std::uint8_t& v) { out_.u8(v ? 1 : 0); }
    void u16(std::uint16_t& v) { out_.u16(v); }
    void u32(std::uint32_t& v) { out_.u32(v); }
    void f32(float& v) { out_.f32(v); }
    template <std::size_t N> void u8s(std::array<std::uint8_t, N>& a) { for (auto& v : a) u8(v); }
    template <std::size_t N> void u16s(std::array<std::uint16_t, N>& a) { for (auto& v : a) u16(v); }
    template <std::size_t N> void u32s(std::array<std::uint32_t, N>& a) { for (auto& v : a) u32(v); }
    template <std::size_t N> void f32s(std::array<float, N>& a) { for (auto& v : a) f32(v); }

    void text(std::string_view& s)
    {
        out_.u32(static_cast<std::uint32_t>(s.size()));
        out_.chars(s);
    }

    // A single link: its output number, none when its block is not written.
    void link(Link& l) { out_.u32(numbering_.renumber(l)); }
    // A list: only the links whose blocks are written, with their count.
    void links32(std::vector<Link>& v, std::size_t)
    {
        std::vector<Link> kept;
        for (Link l : v)
            if (Link n = numbering_.renumber(l); n != kNoLink)
                kept.push_back(n);
        out_.u32(static_cast<std::uint32_t>(kept.size()));
        for (Link l : kept)
            out_.u32(l);
    }
    // A fixed array: every slot stays, a link to a block not written becomes none.
    void linkArray16(std::vector<Link>& v)
    {
        if (v.size() > 0xFFFF)
            return fail("more than 65535 links");
        out_.u16(static_cast<std::uint16_t>(v.size()));
        for (auto& l : v)
            link(l);
    }

    template <class T>
    void resize(std::vector<T>& v, std::size_t n, std::size_t)
    {
        if (v.size() != n)
            fail("holds " + std::to_string(v.size()) + " entries where its count says " + std::to_string(n));
    }
    template <class T> void count32(std::vector<T>& v, std::size_t) { out_.u32(static_cast<std::uint32_t>(v.size())); }
    template <class T>
    void count16(std::vector<T>& v, std::size_t)
    {
        if (v.size() > 0xFFFF)
            return fail("more than 65535 entries");
        out_.u16(static_cast<std::uint16_t>(v.size()));
    }

    void floats(std::vector<float>& v, std::size_t n)
    {
        resize(v, n, 4);
        if (ok())
            for (float x : v) out_.f32(x);
    }
    void shorts(std::vector<std::uint16_t>& v, std::size_t n)
    {
        resize(v, n, 2);
        if (ok())
            for (auto x : v) out_.u16(x);
    }
    void bytes(std::vector<std::uint8_t>& v, std::size_t n)
    {
        resize(v, n, 1);
        if (ok())
            out_.bytes(v);
    }

    void pool(Pool, std::size_t) {}

    void fail(std::string why)
    {
        if (error_.empty())
            error_ = std::move(why);
    }

private:
    ByteWriter& out_;
    const OutputNumbering& numbering_;
    std::string error_;
};

} // namespace lw::meshshift
