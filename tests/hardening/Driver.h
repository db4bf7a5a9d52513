#pragma once

// Runs the run driver (run_driver.cpp) in a process of its own: to the end,
// or killed after a delay, with variables of its own in its environment.

#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::test {

struct DriverRun {
    bool killed = false;
    int exitCode = -1;
    std::chrono::milliseconds wall{};        // from its start to its exit
    std::map<std::string, long> marks;       // the driver's own times of its marks ("Saving" -> 412)
    std::string outcome, step, message;
    std::string output;                      // everything it printed
};

struct DriverArgs {
    std::string operation;  // hide, randomize, restore
    std::filesystem::path league, workingFolder;
    std::map<std::string, std::string> environment;
    // Killed this long after the driver printed this mark ("Saving", or
    // "unload 2" for the second time it printed "unload").
    std::optional<std::pair<std::string, std::chrono::milliseconds>> killAfter;
};

// The marks' names: the second of a name gets " 2", the third " 3".
inline std::string NumberedMark(std::map<std::string, int>& seen, const std::string& name) {
    const int n = ++seen[name];
    return n == 1 ? name : name + " " + std::to_string(n);
}

inline DriverRun RunDriver(const DriverArgs& a) {
    QProcess p;
    p.setProgram(QStringLiteral(TAVRIN_RUN_DRIVER));
    p.setArguments({QString::fromStdString(a.operation), QString::fromStdU16String(a.league.u16string()),
                    QString::fromStdU16String(a.workingFolder.u16string())});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [k, v] : a.environment) env.insert(QString::fromStdString(k), QString::fromStdString(v));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);

    DriverRun run;
    const auto started = std::chrono::steady_clock::now();
    p.start();
    if (!p.waitForStarted(30000)) {
        run.output = "the driver did not start: " + p.errorString().toStdString();
        return run;
    }
    if (a.killAfter) {
        // Its output, line by line as it comes, until the mark.
        std::map<std::string, int> seen;
        bool found = false;
        while (!found && p.state() == QProcess::Running) {
            if (!p.canReadLine() && !p.waitForReadyRead(100)) continue;
            while (!found && p.canReadLine()) {
                const std::string line = p.readLine().toStdString();
                run.output += line;
                const std::size_t space = line.find(' ');
                if (line.starts_with("@") && space != std::string::npos)
                    found = NumberedMark(seen, line.substr(space + 1, line.size() - space - 2)) == a.killAfter->first;
            }
        }
        if (found) std::this_thread::sleep_for(a.killAfter->second);
        if (p.state() == QProcess::Running) {
            p.kill();
            run.killed = true;
        }
    }
    p.waitForFinished(-1);
    run.wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    run.killed = run.killed && p.exitStatus() == QProcess::CrashExit;
    run.exitCode = run.killed ? -1 : p.exitCode();
    run.output += p.readAll().toStdString();

    std::map<std::string, int> seen;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const auto field = [&](std::string_view key, std::string& into) {
            if (line.starts_with(key)) into = line.substr(key.size());
        };
        if (line.starts_with("@")) {
            const std::size_t space = line.find(' ');
            run.marks[NumberedMark(seen, line.substr(space + 1))] = std::stol(line.substr(1, space - 1));
        }
        field("outcome ", run.outcome);
        field("step ", run.step);
    }
    // The message is the rest of the output: it may run over several lines.
    if (const std::size_t at = run.output.find("\nmessage "); at != std::string::npos) {
        run.message = run.output.substr(at + 9);
        while (!run.message.empty() && run.message.back() == '\n') run.message.pop_back();
    }
    return run;
}

}  // namespace tavrin::test
