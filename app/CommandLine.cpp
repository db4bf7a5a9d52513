#include "app/CommandLine.h"

namespace tavrin::app {

bool IsCommandLine(int, char**) { return false; }

int RunCommandLine(int, char**) { return 2; }

}  // namespace tavrin::app
