#include "common/platform/platform.hpp"

#include <algorithm>

namespace lw {

namespace {

class MemoryFile final : public RandomAccessFile {
public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t size() const override { return bytes_.size(); }

    std::optional<std::vector<std::uint8_t>> read(std::uint64_t offset, std::size_t count) override
    {
        if (offset > bytes_.size() || count > bytes_.size() - offset)
            return std::nullopt;
        const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(offset);
        return std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(count));
    }

private:
    std::vector<std::uint8_t> bytes_;
};

class CollectingFile final : public WritableFile {
public:
    CollectingFile(Platform& platform, std::string path) : platform_(platform), path_(std::move(path)) {}

    bool write(std::span<const std::uint8_t> bytes) override
    {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return true;
    }
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset)
            return false;
        std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
        return true;
    }
    bool close() override { return platform_.writeFile(path_, bytes_); }

private:
    Platform& platform_;
    std::string path_;
    std::vector<std::uint8_t> bytes_;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::unique_ptr<RandomAccessFile> makeMemoryFile(std::vector<std::uint8_t> bytes)
{
    return std::make_unique<MemoryFile>(std::move(bytes));
}

std::unique_ptr<RandomAccessFile> Platform::openForReading(std::string_view path)
{
    std::optional<std::vector<std::uint8_t>> bytes = readFile(path);
    if (!bytes)
        return nullptr;
    return makeMemoryFile(std::move(*bytes));
}

std::unique_ptr<WritableFile> Platform::openForWriting(std::string_view path)
{
    // Whether the file can be written shows when it is written, on close().
    return std::make_unique<CollectingFile>(*this, std::string(path));
}

// Defaults for test doubles that do not need these.
bool Platform::renameFile(std::string_view, std::string_view)
{
    return false;
}

bool Platform::removeFile(std::string_view)
{
    return false;
}

std::string Platform::programFolder()
{
    return {};
}

std::vector<std::string> splitCommandLine(std::string_view line)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && isBlank(line[i]))
        ++i;
    if (i == n)
        return args;

    // The program: quotes only group, backslashes are part of the path.
    std::string program;
    bool inQuotes = false;
    for (; i < n && (inQuotes || !isBlank(line[i])); ++i) {
        if (line[i] == '"')
            inQuotes = !inQuotes;
        else
            program += line[i];
    }
    args.push_back(std::move(program));

    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i == n)
            break;
        std::string arg;
        inQuotes = false;
        while (i < n) {
            std::size_t backslashes = 0;
            while (i < n && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            bool literal = true;
            if (i < n && line[i] == '"') {
                if (backslashes % 2 == 0) {
                    if (inQuotes && i + 1 < n && line[i + 1] == '"') {
                        ++i; // "" inside quotes: one literal quote
                    } else {
                        literal = false;
                        inQuotes = !inQuotes;
                    }
                }
                backslashes /= 2;
            }
            arg.append(backslashes, '\\');
            if (i == n || (!inQuotes && isBlank(line[i])))
                break;
            if (literal)
                arg += line[i];
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace lw
