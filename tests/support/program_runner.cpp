#include "support/program_runner.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "support/temp_dir.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
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
#if defined(_WIN32)
    return binDir / (std::string(name) + ".exe");
#else
    return binDir / std::string(name);
#endif
}

namespace {

std::string slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
#if defined(_WIN32)
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
        text.erase(at, 1); // the runtime's CR LF back to "\n"
#endif
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
        if (c == '"')
            q.append(backslashes * 2 + 1, '\\');
        else
            q.append(backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, '\\');
    q += '"';
    return q;
}

HANDLE openInherited(const fs::path& file, bool forWriting)
{
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    return CreateFileA(file.string().c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

#endif

} // namespace

RunResult runProgram(const fs::path& program, const std::vector<std::string>& args, const RunOptions& options)
{
    RunResult result;
    // Output goes to files rather than pipes: no reader thread, and a child
    // that writes a lot can never block on a full pipe.
    TempDir capture("lw-run");
    const fs::path outFile = capture / "stdout";
    const fs::path errFile = capture / "stderr";
    const fs::path inFile = options.input ? capture.writeFile("stdin", *options.input) : fs::path();

#if defined(_WIN32)
    std::string commandLine = quoteArgument(program.string());
    for (const std::string& a : args)
        commandLine += " " + quoteArgument(a);

    HANDLE in = options.input ? openInherited(inFile, false) : openInherited("NUL", false);
    HANDLE keptOpen = nullptr; // the writing end of an open input, held until the run ends
    if (options.openInput) {
        CloseHandle(in);
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        CreatePipe(&in, &keptOpen, &sa, 0);
        SetHandleInformation(keptOpen, HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE out = openInherited(outFile, true);
    HANDLE err = openInherited(errFile, true);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    std::string dir = options.workingDir.empty() ? std::string() : options.workingDir.string();
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    BOOL ok = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             dir.empty() ? nullptr : dir.c_str(), &si, &pi);
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    if (!ok) {
        result.error = "CreateProcessA failed with error " + std::to_string(GetLastError()) + " for " + commandLine;
        return result;
    }
    result.started = true;
    const DWORD limit = static_cast<DWORD>(options.timeout.count());
    if (WaitForSingleObject(pi.hProcess, limit) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, INFINITE);
    } else {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result.exited = true;
        result.exitCode = static_cast<int>(code);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (keptOpen)
        CloseHandle(keptOpen);
#else
    // Everything the child needs is prepared before fork: between fork and
    // exec only async-signal-safe calls are allowed.
    const std::string programText = program.string();
    std::vector<std::string> argvText;
    argvText.push_back(programText);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string dir = options.workingDir.string();
    const std::string inName = options.input ? inFile.string() : std::string("/dev/null");
    const std::string outName = outFile.string();
    const std::string errName = errFile.string();

    // A close-on-exec pipe tells the parent whether exec worked; another one,
    // whose writing end only the parent holds, is an open input.
    int status[2];
    int input[2] = {-1, -1};
    if (pipe2(status, O_CLOEXEC) != 0 || (options.openInput && pipe2(input, O_CLOEXEC) != 0)) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(status[0]);
        close(status[1]);
        result.error = std::string("fork: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        // Own process group, so a timeout also ends the programs this one started.
        setpgid(0, 0);
        int failure = 0;
        const int inFd = options.openInput ? input[0] : open(inName.c_str(), O_RDONLY);
        const int outFd = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (inFd < 0 || outFd < 0 || errFd < 0 || dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0)
            failure = errno;
        else if (!dir.empty() && chdir(dir.c_str()) != 0)
            failure = errno;
        else {
            execv(argv[0], argv.data());
            failure = errno;
        }
        ssize_t ignored = write(status[1], &failure, sizeof failure);
        (void)ignored;
        _exit(127);
    }
    close(status[1]);
    if (options.openInput)
        close(input[0]);
    int childError = 0;
    ssize_t got;
    do {
        got = read(status[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    close(status[0]);

    int waitStatus = 0;
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    for (;;) {
        const pid_t done = waitpid(pid, &waitStatus, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (options.openInput)
        close(input[1]);
    if (got > 0) {
        result.error = "cannot start " + programText + ": " + std::strerror(childError);
        return result;
    }
    result.started = true;
    if (!result.timedOut) {
        if (WIFEXITED(waitStatus)) {
            result.exited = true;
            result.exitCode = WEXITSTATUS(waitStatus);
        } else if (WIFSIGNALED(waitStatus)) {
            result.signal = WTERMSIG(waitStatus);
        }
    }
#endif
    result.out = slurp(outFile);
    result.err = slurp(errFile);
    return result;
}

} // namespace lw::test
