#pragma once

// Runs the run driver (run_driver.cpp) in a process of its own: to its end,
// or killed a time after it printed a mark, with variables of its own in its
// environment.

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tavrin::test {

struct DriverArgs {
    std::string operation;  // hide, randomize, restore, undo
    std::filesystem::path league, workingFolder;
    std::map<std::string, std::string> environment;
    // Killed this long after the driver printed this mark ("Saving", or
    // "unload 2" for the second "unload").
    std::optional<std::pair<std::string, std::chrono::milliseconds>> killAfter;
};

struct DriverRun {
    bool killed = false;
    std::map<std::string, long> marks;  // the driver's own times of its marks
    std::string outcome, step, message, output;
};

// The driver started, its standard output and error read through one pipe,
// and killed outright when asked.
class DriverProcess {
public:
    explicit DriverProcess(const DriverArgs& a) {
#if defined(_WIN32)
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE write = nullptr;
        CreatePipe(&read_, &write, &inherit, 0);
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        std::wstring command = L"\"" + std::filesystem::path(TAVRIN_RUN_DRIVER).wstring() + L"\" " +
                               std::filesystem::path(a.operation).wstring() + L" \"" + a.league.wstring() + L"\" \"" +
                               a.workingFolder.wstring() + L"\"";
        for (const auto& [k, v] : a.environment)
            SetEnvironmentVariableW(std::filesystem::path(k).wstring().c_str(), std::filesystem::path(v).wstring().c_str());
        STARTUPINFOW start{};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdOutput = start.hStdError = write;
        // Wine, loaded, now and then fails to start a process: tried again,
        // and said in the output where it never starts.
        bool started = false;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
            started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                                     &process_);
        }
        if (!started) buffer_ = "cannot start the run driver: error " + std::to_string(GetLastError()) + "\n";
        CloseHandle(write);
        for (const auto& [k, v] : a.environment) SetEnvironmentVariableW(std::filesystem::path(k).wstring().c_str(), nullptr);
#else
        int pipe[2];
        if (::pipe(pipe) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipe[1], 1);
            ::dup2(pipe[1], 2);
            ::close(pipe[0]);
            ::close(pipe[1]);
            for (const auto& [k, v] : a.environment) ::setenv(k.c_str(), v.c_str(), 1);
            ::execl(TAVRIN_RUN_DRIVER, TAVRIN_RUN_DRIVER, a.operation.c_str(), a.league.c_str(), a.workingFolder.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipe[1]);
        read_ = pipe[0];
#endif
    }
    ~DriverProcess() {
        Wait();
#if defined(_WIN32)
        CloseHandle(read_);
#else
        ::close(read_);
#endif
    }

    // The next line it printed, without its end; nothing at its end.
    std::optional<std::string> Line() {
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            char chunk[4096];
#if defined(_WIN32)
            DWORD n = 0;
            if (!ReadFile(read_, chunk, sizeof chunk, &n, nullptr) || n == 0) break;
#else
            const ssize_t n = ::read(read_, chunk, sizeof chunk);
            if (n <= 0) break;
#endif
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
        if (buffer_.empty()) return std::nullopt;
        return std::exchange(buffer_, {});
    }

    // Kills it outright; whether that ended it (it had not ended already).
    bool Kill() {
#if defined(_WIN32)
        const bool running = WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
        TerminateProcess(process_.hProcess, 9);
        return running;
#else
        ::kill(pid_, SIGKILL);
        return WasKilled();
#endif
    }

private:
    bool WasKilled() {
#if defined(_WIN32)
        return false;
#else
        Wait();
        return WIFSIGNALED(status_) && WTERMSIG(status_) == SIGKILL;
#endif
    }
    void Wait() {
#if defined(_WIN32)
        if (process_.hProcess) {
            WaitForSingleObject(process_.hProcess, INFINITE);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
            process_.hProcess = nullptr;
        }
#else
        if (pid_ > 0 && !waited_) {
            ::waitpid(pid_, &status_, 0);
            waited_ = true;
        }
#endif
    }

#if defined(_WIN32)
    HANDLE read_ = nullptr;
    PROCESS_INFORMATION process_{};
#else
    int read_ = -1;
    pid_t pid_ = -1;
    int status_ = 0;
    bool waited_ = false;
#endif
    std::string buffer_;
};

inline DriverRun RunDriver(const DriverArgs& a) {
    DriverProcess p(a);
    // Its output line by line as it comes: "@412 Saving", then the outcome.
    DriverRun run;
    std::map<std::string, int> seen;
    while (const auto got = p.Line()) {
        std::string line = *got;
        run.output += line + "\n";
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space), rest = space == std::string::npos ? "" : line.substr(space + 1);
        bool kill = false;
        if (key.starts_with("@")) {
            const int n = ++seen[rest];
            const std::string mark = n == 1 ? rest : rest + " " + std::to_string(n);
            run.marks[mark] = std::stol(key.substr(1));
            kill = a.killAfter && a.killAfter->first == mark;
        }
        if (key == "outcome") run.outcome = rest;
        if (key == "step") run.step = rest;
        if (key == "message") run.message = rest;
        else if (!run.message.empty()) run.message += "\n" + line;  // it may run over lines
        if (kill) {
            std::this_thread::sleep_for(a.killAfter->second);
            run.killed = p.Kill();
            break;
        }
    }
    return run;
}

}  // namespace tavrin::test
