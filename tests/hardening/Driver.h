#pragma once

// Runs the run driver (run_driver.cpp) in a process of its own: to its end,
// or killed a time after it printed a mark, with variables of its own in its
// environment.

#include <QProcess>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>

namespace tavrin::test {

struct DriverArgs {
    std::string operation;  // hide, randomize, restore
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

inline DriverRun RunDriver(const DriverArgs& a) {
    QProcess p;
    p.setProgram(QStringLiteral(TAVRIN_RUN_DRIVER));
    p.setArguments({QString::fromStdString(a.operation), QString::fromStdU16String(a.league.u16string()),
                    QString::fromStdU16String(a.workingFolder.u16string())});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [k, v] : a.environment) env.insert(QString::fromStdString(k), QString::fromStdString(v));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start();

    // Its output line by line as it comes: "@412 Saving", then the outcome.
    DriverRun run;
    std::map<std::string, int> seen;
    bool killing = false;
    while (p.waitForReadyRead(-1) || p.bytesAvailable() > 0) {
        while (p.canReadLine() || (p.state() != QProcess::Running && p.bytesAvailable() > 0)) {
            std::string line = p.readLine().toStdString();
            run.output += line;
            if (line.ends_with('\n')) line.pop_back();
            const std::size_t space = line.find(' ');
            const std::string key = line.substr(0, space), rest = space == std::string::npos ? "" : line.substr(space + 1);
            if (key.starts_with("@")) {
                const int n = ++seen[rest];
                const std::string mark = n == 1 ? rest : rest + " " + std::to_string(n);
                run.marks[mark] = std::stol(key.substr(1));
                killing = killing || (a.killAfter && a.killAfter->first == mark);
            }
            if (key == "outcome") run.outcome = rest;
            if (key == "step") run.step = rest;
            if (key == "message") run.message = rest;
            else if (!run.message.empty()) run.message += "\n" + line;  // it may run over lines
        }
        if (killing && p.state() == QProcess::Running) {
            std::this_thread::sleep_for(a.killAfter->second);
            p.kill();
            run.killed = true;
            break;
        }
    }
    p.waitForFinished(-1);
    run.killed = run.killed && p.exitStatus() == QProcess::CrashExit;
    return run;
}

}  // namespace tavrin::test
