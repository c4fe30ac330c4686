#pragma once
// The blocks of the template mesh "bhktemp.nif", read whole into memory. The
// collision step appends chosen template records to the block table (the same
// record, not a copy) and changes their values in place.

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "meshshift/nif20/block_model.hpp"

namespace lw::meshshift {

struct TemplateBlock {
    std::uint16_t typeIndex = 0;
    BlockRecord* record = nullptr;
};

struct TemplateTable {
    std::vector<std::uint8_t> image;     // the whole file; names point into it
    std::vector<std::string_view> typeNames; // in file order
    std::vector<TemplateBlock> blocks;   // template block i
    std::deque<BlockRecord> records;     // stable addresses

    std::size_t size() const { return blocks.size(); }

    std::string_view typeName(std::size_t block) const
    {
        if (block >= blocks.size() || blocks[block].typeIndex >= typeNames.size())
            return {};
        return typeNames[blocks[block].typeIndex];
    }

    // Record of template block `block` as T, or null.
    template <class T>
    T* as(std::size_t block) const
    {
        if (block >= blocks.size() || !blocks[block].record)
            return nullptr;
        return std::get_if<T>(blocks[block].record);
    }

    // The first template block whose type name equals `name` exactly, or -1.
    int find(std::string_view name) const
    {
        if (name.empty())
            return -1;
        for (std::size_t i = 0; i < blocks.size(); ++i)
            if (typeName(i) == name)
                return static_cast<int>(i);
        return -1;
    }

    void clear()
    {
        image.clear();
        typeNames.clear();
        blocks.clear();
        records.clear();
    }
};

} // namespace lw::meshshift
