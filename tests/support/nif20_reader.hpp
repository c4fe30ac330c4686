#pragma once
// An independent reader of NIF 20.0.0.5 files for tests: parses the header and
// every block type meshshift writes, recording each field by name (the names
// in nif20_reader.cpp), so a test can check what was written field by field.
// It shares no code with the program's writer or template reader.

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace lw::test {

struct Nif20Block {
    std::string type;
    std::size_t offset = 0; // of its first byte in the file
    std::size_t size = 0;
    std::map<std::string, std::vector<double>> num;
    std::map<std::string, std::string> text;

    bool has(const std::string& key) const { return num.count(key) || text.count(key); }
    const std::vector<double>& all(const std::string& key) const
    {
        auto it = num.find(key);
        if (it == num.end())
            throw std::out_of_range("no field " + key + " in " + type);
        return it->second;
    }
    double f(const std::string& key, std::size_t i = 0) const { return all(key).at(i); }
    std::uint32_t u(const std::string& key, std::size_t i = 0) const { return static_cast<std::uint32_t>(f(key, i)); }
    std::vector<std::uint32_t> links(const std::string& key) const
    {
        std::vector<std::uint32_t> out;
        for (double v : all(key))
            out.push_back(static_cast<std::uint32_t>(v));
        return out;
    }
    const std::string& s(const std::string& key) const
    {
        auto it = text.find(key);
        if (it == text.end())
            throw std::out_of_range("no text " + key + " in " + type);
        return it->second;
    }
};

struct Nif20File {
    std::string headerLine;
    std::uint32_t version = 0;
    std::uint8_t endian = 0;
    std::uint32_t userVersion = 0;
    std::uint32_t numBlocks = 0;
    std::uint32_t userVersion2 = 0;
    std::string creator, exportInfo1, exportInfo2; // without their zero byte
    std::vector<std::uint8_t> headerTextLengths;   // the three length bytes
    std::vector<std::string> blockTypes;
    std::vector<std::uint16_t> typeIndices;
    std::uint32_t unknown = 0;
    std::vector<Nif20Block> blocks;
    std::vector<std::uint32_t> roots;
    std::size_t bytesLeft = 0;   // after the footer
    bool complete = false;       // every block and the footer were read
    std::string error;           // why not

    // Blocks of one type, in file order.
    std::vector<const Nif20Block*> ofType(const std::string& type) const;
    // The first block of a type (throws when there is none).
    const Nif20Block& first(const std::string& type) const;
};

Nif20File readNif20(const std::vector<std::uint8_t>& bytes);

} // namespace lw::test
