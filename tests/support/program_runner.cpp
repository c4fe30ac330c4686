#include "support/program_runner.hpp"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "support/temp_dir.hpp"

#if defined(_WIN32)
#include <windows.h>
constexpr bool kWindows = true;
#else
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
constexpr bool kWindows = false;
#endif

namespace lw::test {

namespace fs = std::filesystem;

std::string RunResult::describe() const
{
    if (!started)
        return "not started: " + error;
    return (timedOut ? "killed after the time limit"
            : exited ? "exit status " + std::to_string(exitCode)
                     : "ended by signal " + std::to_string(signal)) +
           "\n--- stdout ---\n" + out + "\n--- stderr ---\n" + err;
}

fs::path programPath(const fs::path& binDir, std::string_view name)
{
    return binDir / (std::string(name) + (kWindows ? ".exe" : ""));
}

namespace {

std::string slurp(const TempDir& dir, std::string_view name)
{
    std::string text = dir.readText(name);
    for (std::size_t at = 0; kWindows && (at = text.find("\r\n", at)) != std::string::npos;)
        text.erase(at, 1); // the runtime's CR LF back to "\n"
    return text;
}

#if defined(_WIN32)

// Quotes one argument so the child's runtime splits it back unchanged.
std::string quoteArgument(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string q = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        q.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    return q.append(backslashes * 2, '\\') + '"';
}

HANDLE openInherited(const fs::path& file, bool forWriting)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileA(file.string().c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, forWriting ? CREATE_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

#endif

} // namespace

RunResult runProgram(const fs::path& program, const std::vector<std::string>& args, const RunOptions& options)
{
    RunResult result;
    // Files, not pipes: a child that writes a lot never blocks on a full pipe.
    TempDir capture("lw-run");

#if defined(_WIN32)
    std::string commandLine = quoteArgument(program.string());
    for (const std::string& a : args)
        commandLine += " " + quoteArgument(a);
    HANDLE in = nullptr, keptOpen = nullptr; // keptOpen: the writing end of an open input, held until the run ends
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!options.openInput)
        in = openInherited("NUL", false);
    else if (CreatePipe(&in, &keptOpen, &sa, 0))
        SetHandleInformation(keptOpen, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = openInherited(capture / "stdout", true);
    si.hStdError = openInherited(capture / "stderr", true);
    PROCESS_INFORMATION pi{};
    const std::string dir = options.workingDir.string();
    BOOL ok = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             dir.empty() ? nullptr : dir.c_str(), &si, &pi);
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        CloseHandle(h);
    if (!ok) {
        result.error = "CreateProcessA failed with error " + std::to_string(GetLastError()) + " for " + commandLine;
        return result;
    }
    result.started = true;
    if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(options.timeout.count())) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, INFINITE);
    } else {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result.exited = true;
        result.exitCode = static_cast<int>(code);
    }
    for (HANDLE h : {pi.hThread, pi.hProcess, keptOpen})
        if (h)
            CloseHandle(h);
#else
    std::vector<std::string> argvText = {program.string()};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv(argvText.size() + 1, nullptr);
    std::transform(argvText.begin(), argvText.end(), argv.begin(), [](std::string& a) { return a.data(); });
    // An open input is a pipe whose writing end only this process holds.
    int input[2] = {-1, -1};
    if (options.openInput && pipe2(input, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (options.openInput)
        posix_spawn_file_actions_adddup2(&files, input[0], 0);
    else
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    const std::string outName = (capture / "stdout").string(), errName = (capture / "stderr").string();
    posix_spawn_file_actions_addopen(&files, 1, outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!options.workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&files, options.workingDir.c_str());
    // Its own process group, so a timeout also ends the programs this one started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    const int failure = posix_spawn(&pid, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (options.openInput)
        close(input[0]);
    int waitStatus = 0;
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    while (failure == 0) {
        const pid_t done = waitpid(pid, &waitStatus, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (!result.timedOut && std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (options.openInput)
        close(input[1]);
    if (failure != 0) {
        result.error = "cannot start " + argvText[0] + ": " + std::strerror(failure);
        return result;
    }
    result.started = true;
    result.exited = !result.timedOut && WIFEXITED(waitStatus);
    result.exitCode = result.exited ? WEXITSTATUS(waitStatus) : -1;
    result.signal = !result.timedOut && WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
#endif
    result.out = slurp(capture, "stdout");
    result.err = slurp(capture, "stderr");
    return result;
}

} // namespace lw::test
