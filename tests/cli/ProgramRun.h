#pragma once

// Runs a program to its end, as a script would: its arguments as UTF-8 text,
// in a working folder of the test's choosing, with some variables taken out
// of its environment; its standard output and error caught in files (no
// pipes to drain while it runs), its exit status returned.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tavrin::test {

struct ProgramRun {
    int exit = -1;  // a program killed by a signal: 128 and the signal's number, as a shell says
    std::string out, err;
};

inline std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#if defined(_WIN32)
// One argument as CommandLineToArgvW reads it back: in quotes, with the
// backslashes before a quote (and before the closing one) doubled.
inline std::wstring Quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}
#endif

inline ProgramRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder, const std::filesystem::path& outputs,
                             const std::vector<std::string>& unset) {
    const std::filesystem::path out = outputs / "stdout.txt", err = outputs / "stderr.txt";
    ProgramRun run;
#if defined(_WIN32)
    (void)unset;  // what the tests take out (a display) means nothing to Windows
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&](const std::filesystem::path& p) {
        return CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE outFile = create(out), errFile = create(err);
    std::wstring command = Quoted(program.wstring());
    for (const std::string& a : arguments) command += L" " + Quoted(PathOfUtf8(a).wstring());
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nullptr;
    start.hStdOutput = outFile;
    start.hStdError = errFile;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &start,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.exit = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(outFile);
    CloseHandle(errFile);
#else
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** v = environ; *v; ++v) {
        const std::string_view variable = *v;
        bool kept = true;
        for (const std::string& name : unset) kept = kept && !variable.starts_with(name + "=");
        if (kept) envp.push_back(*v);
    }
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 ||
            ::chdir(folder.c_str()) != 0)
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
        run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
#endif
    run.out = FileText(out);
    run.err = FileText(err);
    return run;
}

}  // namespace tavrin::test
