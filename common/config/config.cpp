#include "common/config/config.hpp"

#include "common/console/console.hpp"
#include "common/io/byte_cursor.hpp"
#include "common/platform/platform.hpp"

namespace lw {

namespace {

constexpr std::size_t kMaxConfigSize = 2048;

// Values are positional: each starts after the next "=" and runs to the first
// byte that is a control character or above 0x7F. The text ends at its size or
// at a zero byte inside it, whichever comes first.
enum class ValueEnd { Line, Text };

bool nextValue(ByteCursor& cursor, std::string& value, ValueEnd& ending)
{
    for (;;) {
        if (cursor.atEnd())
            return false;
        const std::uint8_t c = cursor.u8();
        if (c == 0)
            return false;
        if (c == '=')
            break;
    }
    const std::size_t start = cursor.position();
    std::size_t length = 0;
    ending = ValueEnd::Text;
    while (!cursor.atEnd()) {
        const std::uint8_t c = cursor.u8();
        if (c < 0x20 || c >= 0x80) {
            ending = c == 0 ? ValueEnd::Text : ValueEnd::Line;
            break;
        }
        ++length;
    }
    const Bytes bytes = cursor.whole().subspan(start, length);
    value.assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

int readConfig(Platform& platform, Console& console, const std::string& path, Config& out)
{
    out = Config{};
    std::unique_ptr<RandomAccessFile> file = platform.openForReading(path);
    if (!file) {
        console.print("ini file %s does not exist!\n", path.c_str());
        return -1;
    }
    if (file->size() > kMaxConfigSize) {
        console.print("meshshift.ini too big!\n");
        return -1;
    }
    std::optional<std::vector<std::uint8_t>> text = file->read(0, static_cast<std::size_t>(file->size()));
    file.reset();
    if (!text) {
        console.print("ini file %s does not exist!\n", path.c_str());
        return -1;
    }

    ByteCursor cursor{Bytes(*text)};
    std::string* const values[] = {&out.sourceData, &out.archiveName, &out.targetData, &out.assetSubfolder};
    for (std::size_t i = 0; i < 4; ++i) {
        std::string value;
        ValueEnd ending{};
        if (!nextValue(cursor, value, ending))
            return -1;
        // The first three values must end with their line; the last may end the file.
        if (i < 3 && ending == ValueEnd::Text)
            return -1;
        *values[i] = std::move(value);
    }
    return 0;
}

} // namespace lw
