// The POSIX side of the platform layer. Paths arrive as the programs build
// them for Windows; each is turned into an existing file's real spelling where
// one matches case-insensitively, so data folders copied from a Windows
// installation work unchanged.

#include "common/platform/platform.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw {

namespace {

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalFoldingAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

bool startsWithDrive(std::string_view path)
{
    return path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The byte-wise smallest entry of `folder` equal to `name` but for ASCII case.
std::optional<std::string> matchIgnoringCase(const std::string& folder, std::string_view name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = readdir(dir)) {
        std::string_view candidate(entry->d_name);
        if (equalFoldingAscii(candidate, name) && (!best || candidate < *best))
            best = std::string(candidate);
    }
    closedir(dir);
    return best;
}

// "\" becomes "/"; each component missing with its exact case is replaced by
// the case-insensitive match in its folder, if any. Once a component matches
// nothing, the rest is kept as given (nothing below it can exist).
std::string resolve(std::string_view path)
{
    std::string given(path);
    for (char& c : given) {
        if (c == '\\')
            c = '/';
    }
    std::string out;
    std::size_t pos = 0;
    if (!given.empty() && given[0] == '/') {
        // One character appended, not a literal assigned: GCC 12 at -O3
        // reports a bogus overlapping copy (-Wrestrict) inside std::string
        // for the assignment.
        out.push_back('/');
        pos = 1;
    }
    bool searching = true;
    while (pos <= given.size()) {
        std::size_t end = given.find('/', pos);
        if (end == std::string::npos)
            end = given.size();
        std::string_view component(given.data() + pos, end - pos);
        std::string candidate = out + std::string(component);
        if (searching && !component.empty() && component != "." && component != ".." && !exists(candidate)) {
            if (std::optional<std::string> match = matchIgnoringCase(out, component))
                candidate = out + *match;
            else
                searching = false;
        }
        out = std::move(candidate);
        if (end == given.size())
            break;
        out += '/';
        pos = end + 1;
    }
    return out;
}

class PosixFile final : public RandomAccessFile {
public:
    PosixFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixFile() override { ::close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::uint64_t size() const override { return size_; }

    std::optional<std::vector<std::uint8_t>> read(std::uint64_t offset, std::size_t count) override
    {
        if (offset > size_ || count > size_ - offset)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(count);
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(fd_, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return std::nullopt; // error, or the file shrank under us
            done += static_cast<std::size_t>(got);
        }
        return bytes;
    }

private:
    int fd_;
    std::uint64_t size_;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

class PosixWritableFile final : public WritableFile {
public:
    explicit PosixWritableFile(int fd) : fd_(fd) {}
    ~PosixWritableFile() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool write(std::span<const std::uint8_t> bytes) override
    {
        ok_ = ok_ && fd_ >= 0 && writeAll(fd_, bytes.data(), bytes.size());
        return ok_;
    }
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        std::size_t done = 0;
        while (ok_ && fd_ >= 0 && done < bytes.size()) {
            const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                         static_cast<off_t>(offset + done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                ok_ = false;
            else
                done += static_cast<std::size_t>(put);
        }
        return ok_ && fd_ >= 0;
    }
    bool close() override
    {
        if (fd_ < 0)
            return false;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return closed && ok_;
    }

private:
    int fd_;
    bool ok_ = true;
};

class PosixPlatform final : public Platform {
public:
    std::string nativePath(std::string_view path) override
    {
        if (startsWithDrive(path)) {
            std::string same(path);
            for (char& c : same) {
                if (c == '\\')
                    c = '/';
            }
            return same;
        }
        return resolve(path);
    }

    std::optional<std::string> findFile(std::string_view path) override
    {
        if (startsWithDrive(path) || path.empty())
            return std::nullopt;
        std::string native = resolve(path);
        while (native.size() > 1 && native.back() == '/')
            native.pop_back();
        struct stat st;
        if (stat(native.c_str(), &st) != 0)
            return std::nullopt;
        const std::size_t slash = native.rfind('/');
        return slash == std::string::npos ? native : native.substr(slash + 1);
    }

    bool copyFileNoReplace(std::string_view from, std::string_view to) override
    {
        if (startsWithDrive(from) || startsWithDrive(to))
            return false;
        const std::string source = resolve(from);
        const std::string target = resolve(to);
        if (exists(target))
            return false;
        const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return false;
        struct stat st;
        if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(in);
            return false;
        }
        // O_EXCL: an existing destination is never replaced, even one that
        // appeared since the check above.
        const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0) {
            ::close(in);
            return false;
        }
        bool ok = true;
        std::vector<std::uint8_t> buffer(1 << 16);
        for (;;) {
            const ssize_t got = ::read(in, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                ok = false;
            if (got <= 0)
                break;
            if (!writeAll(out, buffer.data(), static_cast<std::size_t>(got))) {
                ok = false;
                break;
            }
        }
        ::close(in);
        if (::close(out) != 0)
            ok = false;
        if (!ok)
            ::unlink(target.c_str()); // no half-copied file left to pass for a good one
        return ok;
    }

    bool createDirectory(std::string_view path) override
    {
        if (startsWithDrive(path) || path.empty())
            return false;
        return ::mkdir(resolve(path).c_str(), 0777) == 0;
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
        if (startsWithDrive(path) || path.empty())
            return false;
        const std::string native = resolve(path);
        const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            return false;
        const bool ok = writeAll(fd, bytes.data(), bytes.size());
        return ::close(fd) == 0 && ok;
    }

    std::unique_ptr<WritableFile> openForWriting(std::string_view path) override
    {
        if (startsWithDrive(path) || path.empty())
            return nullptr;
        const std::string native = resolve(path);
        const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            return nullptr;
        return std::make_unique<PosixWritableFile>(fd);
    }

    bool renameFile(std::string_view from, std::string_view to) override
    {
        if (startsWithDrive(from) || startsWithDrive(to) || from.empty() || to.empty())
            return false;
        return ::rename(resolve(from).c_str(), resolve(to).c_str()) == 0;
    }

    bool removeFile(std::string_view path) override
    {
        if (startsWithDrive(path) || path.empty())
            return false;
        return ::unlink(resolve(path).c_str()) == 0;
    }

    std::string programFolder() override
    {
        std::vector<char> buffer(4096);
        for (;;) {
            const ssize_t got = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (got < 0)
                return {};
            if (static_cast<std::size_t>(got) < buffer.size()) {
                std::string self(buffer.data(), static_cast<std::size_t>(got));
                const std::size_t slash = self.rfind('/');
                return slash == std::string::npos ? std::string() : self.substr(0, slash + 1);
            }
            buffer.resize(buffer.size() * 2);
        }
    }

    std::unique_ptr<RandomAccessFile> openForReading(std::string_view path) override
    {
        if (startsWithDrive(path) || path.empty())
            return nullptr;
        const std::string native = resolve(path);
        const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd, static_cast<std::uint64_t>(st.st_size));
    }

    std::optional<int> runProcess(std::string_view commandLine) override
    {
        std::vector<std::string> args = programAndArguments(commandLine);
        if (args.empty())
            return std::nullopt;

        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        // A close-on-exec pipe tells whether exec worked: it is closed
        // without data on success and carries errno on failure.
        int status[2];
        if (pipe2(status, O_CLOEXEC) != 0)
            return std::nullopt;
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid < 0) {
            ::close(status[0]);
            ::close(status[1]);
            return std::nullopt;
        }
        if (pid == 0) {
            execv(argv[0], argv.data());
            const int failure = errno;
            const ssize_t ignored = ::write(status[1], &failure, sizeof failure);
            (void)ignored;
            _exit(127);
        }
        ::close(status[1]);
        int failure = 0;
        ssize_t got;
        do {
            got = ::read(status[0], &failure, sizeof failure);
        } while (got < 0 && errno == EINTR);
        ::close(status[0]);
        int waitStatus = 0;
        while (waitpid(pid, &waitStatus, 0) < 0) {
            if (errno != EINTR)
                return std::nullopt;
        }
        if (got > 0)
            return std::nullopt;
        if (WIFEXITED(waitStatus))
            return WEXITSTATUS(waitStatus);
        if (WIFSIGNALED(waitStatus))
            return 128 + WTERMSIG(waitStatus);
        return std::nullopt;
    }

    std::string_view meshConverterName() const override { return "meshshift"; }

private:
    // The arguments of a command line with the program's native path first
    // (nothing when there is no program). An unquoted program path with blanks
    // is searched like Windows does: the shortest blank-separated prefix of
    // the line that names a file is the program, the rest its arguments.
    std::vector<std::string> programAndArguments(std::string_view line)
    {
        std::vector<std::string> args = splitCommandLine(line);
        if (args.empty())
            return args;
        const std::size_t start = line.find_first_not_of(" \t");
        if (line[start] != '"') {
            std::size_t pos = start;
            for (;;) {
                const std::size_t blank = line.find_first_of(" \t", pos);
                const std::size_t end = blank == std::string_view::npos ? line.size() : blank;
                const std::string_view prefix = line.substr(start, end - start);
                if (prefix.find('"') != std::string_view::npos)
                    break;
                if (!startsWithDrive(prefix)) {
                    std::string native = resolve(prefix);
                    if (isRegularFile(native)) {
                        // Any placeholder program name, then the rest as arguments
                        // (appended, not "p" + rest: the same GCC 12 -Wrestrict
                        // report as in resolve()).
                        std::string placeholderLine(1, 'p');
                        placeholderLine.append(line.substr(end));
                        std::vector<std::string> found = splitCommandLine(placeholderLine);
                        found[0] = std::move(native);
                        return found;
                    }
                }
                if (blank == std::string_view::npos)
                    break;
                pos = line.find_first_not_of(" \t", blank);
                if (pos == std::string_view::npos)
                    break;
            }
        }
        if (startsWithDrive(args[0]) || args[0].empty())
            return {};
        args[0] = resolve(args[0]);
        return args;
    }
};

} // namespace

std::unique_ptr<Platform> makeSystemPlatform()
{
    return std::make_unique<PosixPlatform>();
}

} // namespace lw
