// Start-up: one program state, one progress window, the main window with the
// program's version in its caption. The program lives as long as the main
// window is open. `tavrin LEAGUE.lge` (a file manager opening a league, or
// the desktop entry) starts with that league given to the window.

#include <QApplication>
#include <QString>

#include <filesystem>

#include "base/Version.h"
#include "cli/CommandLine.h"
#include "window/FormLayout.h"
#include "run/WorkingFolder.h"
#include "window/ApplicationNames.h"
#include "window/MainWindow.h"
#include "window/ProgressWindow.h"
#include "league/ProgramState.h"
#include "pots/RandomSource.h"

namespace {

int Main() {
    tavrin::ProgramState state;
    state.workingFolder = tavrin::run::WorkingFolder();

    tavrin::ClockRandomSource random;
    tavrin::window::MainWindow window(state, random);
    QObject::connect(&window, &tavrin::window::MainWindow::endProgram, [](int code) { QCoreApplication::exit(code); });
    // Owned by the main window, so it stays above it during a run.
    state.progress = new tavrin::window::ProgressWindow(&window);

    window.setWindowTitle(QStringLiteral("Tavrin v. %1.%2.%3")
                            .arg(tavrin::kVersionMajor)
                            .arg(tavrin::kVersionMinor)
                            .arg(tavrin::kVersionPatch));
    // The desktop entry's name, so a desktop shows the window under the
    // entry's icon; and the window's icon for every window of the program.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tavrin.Tavrin"));
    QApplication::setWindowIcon(window.windowIcon());
    tavrin::window::CentreOnScreen(window);
    window.show();
    window.UseGivenLeagues(QCoreApplication::arguments().mid(1));

    const int code = QApplication::exec();
    state.progress = &state.silentProgress;
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    tavrin::window::NameApplication();
    // A command runs headless: no window, no display needed.
    if (tavrin::cli::IsCommandLine(argc, argv)) return tavrin::cli::RunCommandLine(argc, argv);
    QApplication app(argc, argv);
    return Main();
}
