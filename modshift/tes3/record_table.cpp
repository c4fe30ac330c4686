#include "modshift/tes3/record_table.hpp"

namespace lw::modshift {

namespace {
bool eligible(const TableEntry& e)
{
    return !e.editorId.empty() && e.formId != 0;
}
std::string_view key(const TableEntry& e)
{
    return e.editorId.substr(1); // without the EditorID's leading "0"
}
} // namespace

void RecordTable::clear()
{
    entries_.clear();
    index_.clear();
}

std::size_t RecordTable::add(std::int32_t node)
{
    entries_.push_back(TableEntry{node, {}, 0});
    return entries_.size() - 1;
}

void RecordTable::setEditorId(std::size_t i, std::string_view editorId)
{
    bool was = eligible(entries_[i]);
    entries_[i].editorId = editorId;
    if (was)
        rebuildIndex();
    else
        indexEntry(i);
}

void RecordTable::setFormId(std::size_t i, std::uint32_t formId)
{
    bool was = eligible(entries_[i]);
    entries_[i].formId = formId;
    if (was && !eligible(entries_[i]))
        rebuildIndex();
    else
        indexEntry(i);
}

void RecordTable::indexEntry(std::size_t i)
{
    const TableEntry& e = entries_[i];
    if (!eligible(e))
        return;
    auto [it, inserted] = index_.try_emplace(key(e), i);
    if (!inserted && i < it->second)
        it->second = i;
}

void RecordTable::rebuildIndex()
{
    index_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i)
        indexEntry(i);
}

std::optional<std::size_t> RecordTable::findIndex(std::string_view converted) const
{
    auto it = index_.find(converted);
    if (it == index_.end())
        return std::nullopt;
    return it->second;
}

void Tables::clearAll()
{
    for (RecordTable* t : {&statics, &books, &weapons, &misc, &lights, &doors, &containers, &flora,
                           &activators, &sounds, &armours, &npcs, &creatures, &leveledCreatures})
        t->clear();
}

} // namespace lw::modshift
