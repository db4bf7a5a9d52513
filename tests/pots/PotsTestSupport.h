#pragma once

// Shared helpers of the potential-operation tests: a working database filled
// row by row, read back as plain values, a random source that yields chosen
// draws, and a progress stand-in that records what it is told.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Progress.h"
#include "RandomSource.h"

namespace tavrin::test {

// One Players row as the operations see it. Ratings in the order SP, AC, AG,
// ST, HA, EN, IN, DI.
struct PlayerRow {
    int pidA = 0, pidB = 0, years = 0;
    std::array<int, 8> pot{}, act{};
    std::string firstName = "First";
    bool operator==(const PlayerRow&) const = default;
};

// Creates a database with the Players table at path and adds the rows.
void MakePlayersDatabase(const std::filesystem::path& path, const std::vector<PlayerRow>& rows);
std::vector<PlayerRow> ReadPlayerRows(const std::filesystem::path& path);

// Yields the given draws in turn, over and over, and counts them.
class FixedRandom final : public RandomSource {
public:
    explicit FixedRandom(std::vector<float> draws) : draws_(std::move(draws)) {}
    float Next() override { return draws_[count++ % draws_.size()]; }
    std::size_t count = 0;

private:
    std::vector<float> draws_;
};

class RecordingProgress final : public Progress {
public:
    void Show() override { ++shows; }
    void UpdateBar(std::string_view sText, double iIncrement) override {
        texts.emplace_back(sText);
        increments.push_back(iIncrement);
    }
    void Unload() override { ++unloads; }
    int shows = 0, unloads = 0;
    std::vector<std::string> texts;
    std::vector<double> increments;
};

}  // namespace tavrin::test
