#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tavrin::run {

// One player whose potentials a run changes (or, in a dry run, would), as a
// user reads it.
struct PlayerChange {
    std::int64_t slot{};  // his record, counting from 1 after the header
    int pidA{}, pidB{};
    std::string firstName, lastName;  // UTF-8, without the NUL padding
    int years{};
    std::array<int, 8> before{}, after{};  // potentials, SP AC AG ST HA EN IN DI
};

}  // namespace tavrin::run
