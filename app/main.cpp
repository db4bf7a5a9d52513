// Start-up. A command (`tavrin hide ...`), help, the version or a mistyped
// line runs the command line, which never touches Qt and needs no display.
// Otherwise: one program state, one progress window, the main window with
// the program's version in its caption, living as long as the main window
// is open. `tavrin LEAGUE.lge` (a file manager opening a league, or the
// desktop entry) starts with that league given to the window.
//
// A build without the window (TAVRIN_BUILD_APP=OFF) makes the command line
// alone.

#include <string>
#include <vector>

#include "cli/CommandLine.h"

#if !defined(TAVRIN_COMMAND_LINE_ONLY)
#include <QApplication>
#include <QString>

#include "base/Version.h"
#include "cli/ConsoleOutput.h"
#include "league/ProgramState.h"
#include "pots/RandomSource.h"
#include "run/WorkingFolder.h"
#include "window/ApplicationNames.h"
#include "window/FormLayout.h"
#include "window/MainWindow.h"
#include "window/ProgressWindow.h"
#include "window/Translations.h"

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
#endif

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = tavrin::cli::ArgumentsOf(argc, argv);
#if !defined(TAVRIN_COMMAND_LINE_ONLY)
    if (tavrin::cli::AsksForTheWindow(arguments)) {
        // Without a display Qt would abort; a line says why instead.
        if (const auto why = tavrin::cli::WhyTheWindowCannotOpen(arguments)) {
            tavrin::cli::Message(*why);
            return tavrin::cli::kExitUsage;
        }
        tavrin::window::NameApplication();
        QApplication app(argc, argv);
        tavrin::window::InstallTranslations();
        return Main();
    }
    return tavrin::cli::RunCommandLine(arguments, true);
#else
    return tavrin::cli::RunCommandLine(arguments, false);
#endif
}
