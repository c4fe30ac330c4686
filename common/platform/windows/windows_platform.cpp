// The Windows side of the platform layer: the file system is case-insensitive
// already, so paths go to the system as the programs build them.

#include "common/platform/platform.hpp"

#include <cstdio>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lw {

namespace {

class StdioFile final : public RandomAccessFile {
public:
    StdioFile(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}
    ~StdioFile() override { std::fclose(file_); }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;

    std::uint64_t size() const override { return size_; }

    std::optional<std::vector<std::uint8_t>> read(std::uint64_t offset, std::size_t count) override
    {
        if (offset > size_ || count > size_ - offset)
            return std::nullopt;
        if (_fseeki64(file_, static_cast<long long>(offset), SEEK_SET) != 0)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(count);
        if (count != 0 && std::fread(bytes.data(), 1, count, file_) != count)
            return std::nullopt; // a read error, or the file shrank under us
        return bytes;
    }

private:
    std::FILE* file_;
    std::uint64_t size_;
};


// Appends with fwrite; rewrites seek there and back (64-bit offsets).
class WindowsWritableFile final : public WritableFile {
public:
    explicit WindowsWritableFile(std::FILE* file) : file_(file) {}
    ~WindowsWritableFile() override
    {
        if (file_)
            std::fclose(file_);
    }

    bool write(std::span<const std::uint8_t> bytes) override
    {
        ok_ = ok_ && file_ && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size());
        return ok_;
    }
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        if (!ok_ || !file_)
            return false;
        const long long end = _ftelli64(file_);
        ok_ = end >= 0 && _fseeki64(file_, static_cast<long long>(offset), SEEK_SET) == 0 &&
              (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) &&
              _fseeki64(file_, end, SEEK_SET) == 0;
        return ok_;
    }
    bool close() override
    {
        if (!file_)
            return false;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return closed && ok_;
    }

private:
    std::FILE* file_;
    bool ok_ = true;
};

class WindowsPlatform final : public Platform {
public:
    // Taken once and handed to every child, so that it runs in this console.
    WindowsPlatform() { GetStartupInfoA(&startup_); }

    std::string nativePath(std::string_view path) override { return std::string(path); }

    std::optional<std::string> findFile(std::string_view path) override
    {
        // An exact path only: wildcards would make the test match other files.
        if (path.empty() || path.find_first_of("*?") != std::string_view::npos)
            return std::nullopt;
        const std::string text(path);
        WIN32_FIND_DATAA found;
        HANDLE handle = FindFirstFileA(text.c_str(), &found);
        if (handle == INVALID_HANDLE_VALUE)
            return std::nullopt;
        FindClose(handle);
        return std::string(found.cFileName);
    }

    bool copyFileNoReplace(std::string_view from, std::string_view to) override
    {
        const std::string source(from);
        const std::string target(to);
        return CopyFileA(source.c_str(), target.c_str(), TRUE) != 0;
    }

    bool createDirectory(std::string_view path) override
    {
        const std::string text(path);
        return CreateDirectoryA(text.c_str(), nullptr) != 0;
    }

    std::optional<std::vector<std::uint8_t>> readFile(std::string_view path) override
    {
        std::unique_ptr<RandomAccessFile> file = openForReading(path);
        if (!file)
            return std::nullopt;
        return file->read(0, static_cast<std::size_t>(file->size()));
    }

    bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) override
    {
        const std::string text(path);
        std::FILE* file = std::fopen(text.c_str(), "wb");
        if (!file)
            return false;
        const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        return std::fclose(file) == 0 && written;
    }

    std::unique_ptr<WritableFile> openForWriting(std::string_view path) override
    {
        const std::string text(path);
        std::FILE* file = std::fopen(text.c_str(), "wb");
        if (!file)
            return nullptr;
        return std::make_unique<WindowsWritableFile>(file);
    }

    bool renameFile(std::string_view from, std::string_view to) override
    {
        const std::string source(from);
        const std::string target(to);
        return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }

    bool removeFile(std::string_view path) override
    {
        const std::string text(path);
        return DeleteFileA(text.c_str()) != 0;
    }

    std::string programFolder() override
    {
        std::vector<char> buffer(MAX_PATH);
        for (;;) {
            const DWORD got = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (got == 0)
                return {};
            if (got < buffer.size()) {
                std::string self(buffer.data(), got);
                const std::size_t cut = self.find_last_of("\\/");
                return cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
            }
            buffer.resize(buffer.size() * 2); // the name was cut short
        }
    }

    std::unique_ptr<RandomAccessFile> openForReading(std::string_view path) override
    {
        const std::string text(path);
        std::FILE* file = std::fopen(text.c_str(), "rb");
        if (!file)
            return nullptr;
        long long size = -1;
        if (_fseeki64(file, 0, SEEK_END) == 0)
            size = _ftelli64(file);
        if (size < 0) {
            std::fclose(file);
            return nullptr;
        }
        return std::make_unique<StdioFile>(file, static_cast<std::uint64_t>(size));
    }

    std::optional<int> runProcess(std::string_view commandLine) override
    {
        // CreateProcessA may write into the command line, so it gets its own copy.
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        std::fflush(nullptr);
        PROCESS_INFORMATION process{};
        STARTUPINFOA startup = startup_;
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return std::nullopt;
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        const BOOL known = GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (!known)
            return std::nullopt;
        // A program that ends with -1 reports 0xFFFFFFFF: keep it -1.
        return static_cast<int>(code);
    }

    std::string_view meshConverterName() const override { return "meshshift.exe"; }

private:
    STARTUPINFOA startup_{};
};

} // namespace

std::unique_ptr<Platform> makeSystemPlatform()
{
    return std::make_unique<WindowsPlatform>();
}

} // namespace lw
