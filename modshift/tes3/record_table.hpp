#pragma once
// A converted-record table: per record type, in the order of the type's
// records, the record node, its EditorID (or none) and the form identifier the
// TES4 world knows it by. Later converters look records up by converted
// identifier; the first matching entry wins, and entries without EditorID or
// with form identifier 0 never match. A hash index keeps that O(1).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lw::modshift {

struct TableEntry {
    std::int32_t node = -1;
    std::string_view editorId; // empty: none (refused record)
    std::uint32_t formId = 0;
};

class RecordTable {
public:
    explicit RecordTable(std::size_t capacity) : capacity_(capacity) {}

    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const TableEntry& operator[](std::size_t i) const { return entries_[i]; }
    const std::vector<TableEntry>& entries() const { return entries_; }

    void clear();
    // Appends an entry for `node` with no EditorID and form identifier 0.
    std::size_t add(std::int32_t node);
    void setEditorId(std::size_t i, std::string_view editorId);
    void setFormId(std::size_t i, std::uint32_t formId);

    // `converted` is a converted identifier (without the EditorID's "0").
    std::optional<std::size_t> findIndex(std::string_view converted) const;
    std::uint32_t find(std::string_view converted) const
    {
        auto i = findIndex(converted);
        return i ? entries_[*i].formId : 0;
    }

private:
    void indexEntry(std::size_t i);
    void rebuildIndex();

    std::size_t capacity_;
    std::vector<TableEntry> entries_;
    std::unordered_map<std::string_view, std::size_t> index_;
};

// The tables other converters look records up in.
struct Tables {
    RecordTable statics{5000};
    RecordTable books{1000};
    RecordTable weapons{1000};
    RecordTable misc{1000};
    RecordTable lights{1000};
    RecordTable doors{500};
    RecordTable containers{2000};
    RecordTable flora{2000};
    RecordTable activators{2000};
    RecordTable sounds{1000};
    RecordTable armours{1000};
    RecordTable npcs{5000};
    RecordTable creatures{500};
    RecordTable leveledCreatures{500};

    void clearAll();
};

} // namespace lw::modshift
