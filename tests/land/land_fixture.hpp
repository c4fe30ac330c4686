#pragma once
// Shared pieces of the landscape, path grid and region tests: a run context
// over a TES3 plugin built in memory, the system zlib as the oracle for the
// compressed landscape records (loaded at run time, so that the programs
// themselves never link it), and a small subrecord splitter that shares
// nothing with the writer.

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "modshift/driver/conversion.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::test::land {

struct Context {
    explicit Context(std::string keys = std::string(16, '\n'))
        : console(Console::capturing(std::move(keys))), platform(makeSystemPlatform()), c(*platform, console)
    {
        c.out.reset();
    }

    void load(Tes3Builder& b)
    {
        c.plugin = b.bytes();
        ASSERT_EQ(modshift::parseRecordTree(c.plugin, c.tree, console), 0) << console.captured();
    }

    // The first subrecord with this tag of the given record, or -1.
    std::int32_t child(std::int32_t record, const char (&tag)[5]) const
    {
        for (std::int32_t n : c.tree.children(record))
            if (c.tree.node(n).tag == modshift::makeTag(tag))
                return n;
        return -1;
    }
    std::int32_t record(const char (&tag)[5], std::size_t nth = 0) const
    {
        const auto& all = c.tree.find(modshift::makeTag(tag));
        return nth < all.size() ? all[nth] : -1;
    }

    void addSound(std::string_view id, std::uint32_t formId)
    {
        names.push_back("0" + std::string(id));
        std::size_t i = c.tables.sounds.add(-1);
        c.tables.sounds.setEditorId(i, names.back());
        c.tables.sounds.setFormId(i, formId);
    }

    Tes4File output() const { return readTes4Body(c.out.bytes()); }
    const std::string& text() const { return console.captured(); }

    Console console;
    std::unique_ptr<Platform> platform;
    modshift::Conversion c;
    std::deque<std::string> names;
};

inline std::size_t countOf(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The system zlib, loaded once per test program.
class SystemZlib {
public:
    static const SystemZlib& get()
    {
        static const SystemZlib lib;
        return lib;
    }
    bool loaded() const { return uncompress_ != nullptr; }
    // Inflates a zlib stream whose inflated size is known; nullopt when zlib
    // refuses it (bad header, bad checksum, wrong size).
    std::optional<std::vector<std::uint8_t>> inflate(std::span<const std::uint8_t> stream, std::size_t size) const
    {
        std::vector<std::uint8_t> out(size + 1);
        unsigned long outSize = static_cast<unsigned long>(out.size());
        int rc = uncompress_(out.data(), &outSize, stream.data(), static_cast<unsigned long>(stream.size()));
        if (rc != 0)
            return std::nullopt;
        out.resize(outSize);
        return out;
    }

private:
    using Uncompress = int (*)(unsigned char*, unsigned long*, const unsigned char*, unsigned long);
    SystemZlib()
    {
#if defined(_WIN32)
        HMODULE handle = LoadLibraryA("zlib1.dll");
        if (handle != nullptr)
            uncompress_ = reinterpret_cast<Uncompress>(reinterpret_cast<void*>(GetProcAddress(handle, "uncompress")));
#else
        void* handle = dlopen("libz.so.1", RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr)
            uncompress_ = reinterpret_cast<Uncompress>(dlsym(handle, "uncompress"));
#endif
    }
    Uncompress uncompress_ = nullptr;
};

struct Sub {
    std::string tag;
    std::vector<std::uint8_t> data;

    std::uint8_t u8(std::size_t at) const { return data.at(at); }
    std::uint16_t u16(std::size_t at) const
    {
        return static_cast<std::uint16_t>(data.at(at) | data.at(at + 1) << 8);
    }
    std::uint32_t u32(std::size_t at) const { return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16; }
    float f32(std::size_t at) const
    {
        std::uint32_t v = u32(at);
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    std::int8_t i8(std::size_t at) const { return static_cast<std::int8_t>(data.at(at)); }
};

// Splits tag/u16 length/data subrecords; fails the test on a short tail.
inline std::vector<Sub> splitSubrecords(const std::vector<std::uint8_t>& bytes)
{
    std::vector<Sub> out;
    std::size_t at = 0;
    while (at < bytes.size()) {
        EXPECT_LE(at + 6, bytes.size());
        if (at + 6 > bytes.size())
            break;
        Sub s;
        s.tag.assign(reinterpret_cast<const char*>(bytes.data() + at), 4);
        std::size_t length = bytes[at + 4] | static_cast<std::size_t>(bytes[at + 5]) << 8;
        EXPECT_LE(at + 6 + length, bytes.size()) << s.tag;
        if (at + 6 + length > bytes.size())
            break;
        s.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 6),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + 6 + length));
        out.push_back(std::move(s));
        at += 6 + length;
    }
    return out;
}

inline std::string layoutOf(const std::vector<Sub>& subs)
{
    std::string s;
    for (const Sub& x : subs)
        s += (s.empty() ? "" : " ") + x.tag;
    return s;
}

inline const Sub* findSub(const std::vector<Sub>& subs, std::string_view tag, std::size_t nth = 0)
{
    for (const Sub& s : subs)
        if (s.tag == tag && nth-- == 0)
            return &s;
    return nullptr;
}

} // namespace lw::test::land
