#pragma once

// A player whose potentials a run changed, as both front ends list him: the
// command line's --verbose and the history window.

#include <array>
#include <string>

#include "run/PlayerChange.h"

namespace tavrin::run {

// The line above such a list, naming its columns.
inline constexpr const char* kChangesHeading =
    "Slot, identity, names, years: potentials SP AC AG ST HA EN IN DI before -> after";

// "#12 200/13 John Smith, 3 yrs: 70 65 80 75 60 90 55 72 -> 0 0 0 0 0 0 0 0"
inline std::string ChangeLine(const run::PlayerChange& c) {
    const auto numbers = [](const std::array<int, 8>& values) {
        std::string out;
        for (const int v : values) out += (out.empty() ? "" : " ") + std::to_string(v);
        return out;
    };
    return "#" + std::to_string(c.slot) + " " + std::to_string(c.pidA) + "/" + std::to_string(c.pidB) + " " +
           c.firstName + " " + c.lastName + ", " + std::to_string(c.years) + " yrs: " + numbers(c.before) + " -> " +
           numbers(c.after);
}

}  // namespace tavrin::run
