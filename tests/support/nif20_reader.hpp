#pragma once
// An independent reader of NIF 20.0.0.5 files for tests: reads the header and
// every block type meshshift writes to the last byte, recording each field by
// name (the layouts in nif20_reader.cpp). It shares no code with the program.

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
        if (!num.count(key))
            throw std::out_of_range("no field " + key + " in " + type);
        return num.at(key);
    }
    double f(const std::string& key, std::size_t i = 0) const { return all(key).at(i); }
    std::uint32_t u(const std::string& key, std::size_t i = 0) const { return static_cast<std::uint32_t>(f(key, i)); }
    std::vector<std::uint32_t> links(const std::string& key) const
    {
        const std::vector<double>& v = all(key);
        return {v.begin(), v.end()};
    }
    const std::string& s(const std::string& key) const
    {
        if (!text.count(key))
            throw std::out_of_range("no text " + key + " in " + type);
        return text.at(key);
    }
};

struct Nif20File {
    std::vector<Nif20Block> blocks;
    std::size_t bytesLeft = 0; // after the footer
    bool complete = false;     // the header, every block and the footer were read
    std::string error;         // why not

    // Blocks of one type in file order; the first of them (throws when there is none).
    std::vector<const Nif20Block*> ofType(const std::string& type) const;
    const Nif20Block& first(const std::string& type) const;
};

Nif20File readNif20(const std::vector<std::uint8_t>& bytes);

} // namespace lw::test
