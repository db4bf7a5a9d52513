#include "pots/SavedPotentials.h"

#include <array>
#include <fstream>
#include <string_view>

#include "db/Database.h"
#include "league/PlayersTable.h"
#include "league/RecordLayout.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace saved {

const std::vector<std::string>& RunColumns() {
    static const std::vector<std::string> columns{"Operation", "SavedAt", "ReadFingerprint", "Fingerprint", "Recorded"};
    return columns;
}

const std::vector<std::string>& RecordColumns() {
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> names{"Slot", "PID_a", "PID_b"};
        for (const std::string_view code : kAttributeCodes) names.push_back("Written_" + std::string(code));
        for (const std::string_view code : kAttributeCodes) names.push_back("Read_" + std::string(code));
        return names;
    }();
    return columns;
}

void Pack(const Entry& e, std::span<std::uint8_t, kEntryBytes> out) {
    std::size_t at = 0;
    const auto put = [&](std::uint64_t value, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) out[at++] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(e.slot, 4);
    put(e.pidA, 1);
    put(e.pidB, 1);
    put(e.names, 8);
    for (const Potentials* pots : {&e.written, &e.read, &e.truth})
        for (const std::uint8_t p : *pots) out[at++] = p;
}

Entry Unpack(std::span<const std::uint8_t, kEntryBytes> in) {
    std::size_t at = 0;
    const auto get = [&](std::size_t bytes) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) value |= std::uint64_t{in[at++]} << (8 * i);
        return value;
    };
    Entry e;
    e.slot = static_cast<std::uint32_t>(get(4));
    e.pidA = static_cast<std::uint8_t>(get(1));
    e.pidB = static_cast<std::uint8_t>(get(1));
    e.names = get(8);
    for (Potentials* pots : {&e.written, &e.read, &e.truth})
        for (std::uint8_t& p : *pots) p = in[at++];
    return e;
}

}  // namespace saved

Potentials PotentialsOf(std::span<const std::uint8_t> plain) {
    Potentials pots{};
    for (std::size_t a = 0; a < pots.size(); ++a) pots[a] = plain[OffsetOf(kPotColumns[a])];
    return pots;
}

void SetPotentials(std::span<std::uint8_t> plain, const Potentials& pots) {
    for (std::size_t a = 0; a < pots.size(); ++a) plain[OffsetOf(kPotColumns[a])] = pots[a];
}

std::optional<std::string> ProblemWithSavedPotentials(const fs::path& pot) {
    std::error_code ec;
    const auto status = fs::symlink_status(pot, ec);
    if (!fs::exists(status)) return "the file does not exist";
    if (fs::is_symlink(status)) return "it is a symbolic link";
    if (!fs::is_regular_file(status)) return "it is not a regular file";
    // A file that is no SQLite database at all is told so plainly: SQLite's
    // own reason, under our layers' "Cannot open", would repeat the name
    // three times. Its first 16 bytes say what it is; an empty file is an
    // empty database to SQLite.
    {
        std::ifstream in(pot, std::ios::binary);
        if (!in) return "Tavrin cannot read it";
        std::array<char, 16> head{};
        in.read(head.data(), head.size());
        constexpr std::string_view kSqliteMagic("SQLite format 3\0", 16);
        if (in.gcount() != 0 && std::string_view(head.data(), static_cast<std::size_t>(in.gcount())) != kSqliteMagic)
            return "it is not a saved-potentials file";
    }
    try {
        auto database = db::Database::OpenDatabase(pot, db::Database::Mode::ReadOnly);
        return ProblemWithSavedPotentials(*database);
    } catch (const Error& e) {
        return std::string("it cannot be read as a saved-potentials database (") + e.what() + ")";
    }
}

std::optional<std::string> ProblemWithSavedPotentials(db::Database& database) {
    if (!database.HasTable("Players")) return "it has no Players table";
    const PlayersColumns columns(database.TableFields("Players"));
    std::string missing;
    for (const Col c : std::array{Col::PID_a, Col::PID_b})
        if (!columns.Has(c)) missing += (missing.empty() ? "" : ", ") + std::string(Name(c));
    for (const Col c : kPotColumns)
        if (!columns.Has(c)) missing += (missing.empty() ? "" : ", ") + std::string(Name(c));
    if (!missing.empty()) return "its Players table has no column " + missing;
    return std::nullopt;
}

}  // namespace tavrin
