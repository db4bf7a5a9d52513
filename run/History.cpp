#include "run/History.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "base/Error.h"
#include "base/Text.h"
#include "league/Clock.h"
#include "league/ProgramState.h"
#include "league/PlayerFile.h"
#include "pots/SavedPotentials.h"
#include "run/Operations.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

using platform::kNewSuffix;

using Json = nlohmann::json;

std::string Utf8(const fs::path& p) { return Utf8Of(p); }
fs::path FromUtf8(const std::string& text) { return PathOfUtf8(text); }

// A name of Tavrin's in the history folder, taken apart.
struct EntryName {
    int number{};
    bool kept = false;      // a replaced file ("before"), else a record
    bool partial = false;   // a copy still being made (".tavrin-new")
    std::string extension;  // "pyr", "pot", "run"
};

std::optional<EntryName> Parse(const fs::path& name) {
    static const std::regex kForm(
        R"(^(\d{4,9}) \d{4}-\d\d-\d\dT\d\d-\d\d-\d\dZ (before )?(Hide|Randomize|Restore|Undo)\.(pyr|pot|run)(\.tavrin-new)?$)");
    std::smatch m;
    const std::string text = Utf8(name);
    if (!std::regex_match(text, m, kForm)) return std::nullopt;
    EntryName entry{std::stoi(m[1].str()), m[2].matched, m[5].matched, m[4].str()};
    // A kept file is a league's file; a record is no kept file.
    if (entry.kept == (entry.extension == "run")) return std::nullopt;
    return entry;
}

std::string Stamp(int number, const std::string& isoUtc) {
    // The number has at least four digits, zeros in front: "0007".
    std::string number4 = std::to_string(number);
    if (number4.size() < 4) number4.insert(0, 4 - number4.size(), '0');
    // "2026-12-06T05:00:00Z" as a name may hold it on every system.
    std::string time = isoUtc;
    std::replace(time.begin(), time.end(), ':', '-');
    return number4 + " " + time;
}

void PutFile(Json& o, const std::string& key, const fs::path& name, const FileFingerprint& held) {
    if (name.empty()) return;
    o[key] = Utf8(name);
    o[key + "Size"] = held.size;
    o[key + "Fingerprint"] = held.text;
}

// The record as the history keeps it: JSON, its keys in alphabetical order,
// indented by four spaces.
std::string RecordOf(const HistoryRun& run) {
    Json o = Json::object();
    o["number"] = run.number;
    o["operation"] = run.operation;
    o["time"] = run.time;
    o["players"] = run.players;
    o["changed"] = run.changed;
    o["summary"] = run.summary;
    if (run.undid) o["undid"] = run.undid;
    PutFile(o, "keptPyr", run.keptPyr, run.keptPyrHeld);
    PutFile(o, "keptPot", run.keptPot, run.keptPotHeld);
    if (run.potWasMissing) o["potWasMissing"] = true;
    if (!run.leftPot.empty()) o["leftPotFingerprint"] = run.leftPot;
    o["savedFingerprint"] = run.savedFingerprint;
    PutFile(o, "restoredPot", run.restoredPot, run.restoredPotHeld);
    if (run.removedPot) o["removedPot"] = true;
    // A text that is not UTF-8 (it never is) is written with its bad bytes
    // replaced, not refused.
    return o.dump(4, ' ', false, Json::error_handler_t::replace) + "\n";
}

// A value of the record, or its type's empty value where it holds another.
template <typename T>
T Get(const Json& o, const char* key) {
    const auto it = o.find(key);
    if (it == o.end()) return T{};
    if constexpr (std::is_same_v<T, std::string>) return it->is_string() ? it->get<std::string>() : T{};
    else if constexpr (std::is_same_v<T, bool>) return it->is_boolean() && it->get<bool>();
    else return it->is_number_integer() ? it->get<T>() : T{};
}

// A kept file the record names: a kept file of the history, of the run
// `number` (or, where that is 0, of an earlier run), with the extension
// `extension`, and what it held. A record that names one otherwise, or
// without what it held, is not to be trusted to bring it back.
void GetFile(const Json& o, const std::string& key, std::string_view extension, int number, fs::path& name,
             FileFingerprint& held, std::string& problem) {
    if (!o.contains(key)) return;
    const fs::path kept = FromUtf8(Get<std::string>(o, key.c_str()));
    const auto entry = Parse(kept);
    const bool valid = entry && entry->kept && !entry->partial && entry->extension == extension &&
                       (number ? entry->number == number : entry->number < Get<int>(o, "number"));
    if (!valid) {
        problem = "names " + Utf8(kept) + ", which is no ." + std::string(extension) + " file it kept";
        return;
    }
    const auto size = o.find(key + "Size");
    const auto fingerprint = o.find(key + "Fingerprint");
    if (size == o.end() || !size->is_number_unsigned() || fingerprint == o.end() || !fingerprint->is_string()) {
        problem = "keeps no fingerprint of " + Utf8(kept) + " (an earlier Tavrin wrote it)";
        return;
    }
    name = kept;
    held = {size->get<std::uint64_t>(), fingerprint->get<std::string>()};
}

std::optional<HistoryRun> RunOf(std::string_view json, int number) {
    const Json o = Json::parse(json, nullptr, /*allow_exceptions=*/false);
    if (!o.is_object()) return std::nullopt;
    HistoryRun run;
    run.number = Get<int>(o, "number");
    if (run.number != number) return std::nullopt;
    run.operation = Get<std::string>(o, "operation");
    run.time = Get<std::string>(o, "time");
    run.players = Get<std::int64_t>(o, "players");
    run.changed = Get<std::int64_t>(o, "changed");
    run.summary = Get<std::string>(o, "summary");
    run.undid = Get<int>(o, "undid");
    GetFile(o, "keptPyr", "pyr", number, run.keptPyr, run.keptPyrHeld, run.problem);
    GetFile(o, "keptPot", "pot", number, run.keptPot, run.keptPotHeld, run.problem);
    GetFile(o, "restoredPot", "pot", 0, run.restoredPot, run.restoredPotHeld, run.problem);
    run.potWasMissing = Get<bool>(o, "potWasMissing");
    run.leftPot = Get<std::string>(o, "leftPotFingerprint");
    run.removedPot = Get<bool>(o, "removedPot");
    run.savedFingerprint = Get<std::string>(o, "savedFingerprint");
    if (run.potWasMissing + !run.keptPot.empty() + !run.leftPot.empty() != 1 && run.problem.empty())
        run.problem = "does not say what became of the .pot";
    return run;
}

// Every slot's identity and potentials, read from a player file.
struct SlotPotentials {
    int pidA{}, pidB{};
    Potentials pots{};
};

}  // namespace

History::History(const fs::path& league) : folder_(BesideLeague(league, u"history")) {}

std::vector<HistoryRun> History::Runs() const {
    std::vector<HistoryRun> runs;
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(folder_, ec))) return runs;
    const platform::Folder folder = platform::Folder::Open(folder_);
    for (const fs::path& name : folder.Names()) {
        const auto entry = Parse(name);
        if (!entry || entry->kept || entry->partial) continue;
        try {
            platform::File file = folder.OpenToRead(name);
            std::string json(std::min<std::uint64_t>(file.Info().size, 1 << 20), '\0');
            json.resize(file.Read(std::span(reinterpret_cast<std::uint8_t*>(json.data()), json.size())));
            if (auto run = RunOf(json, entry->number)) runs.push_back(std::move(*run));
        } catch (const Error&) {
            // A record that cannot be read is no run of the history.
        }
    }
    std::ranges::sort(runs, {}, &HistoryRun::number);
    return runs;
}

std::vector<PlayerChange> History::ChangesOf(const HistoryRun& run, const fs::path& pyr, bool& exact) const {
    exact = false;
    if (run.keptPyr.empty()) return {};  // nothing to compare with
    // The player file after the run: kept by the next run that replaced it,
    // else the league's own.
    fs::path after = pyr;
    for (const HistoryRun& later : Runs())
        if (later.number > run.number && !later.keptPyr.empty()) {
            after = folder_ / later.keptPyr;
            break;
        }
    std::vector<SlotPotentials> before;
    ReadPlayerFile(folder_ / run.keptPyr, RecordKind::L02, [&](std::int64_t, std::span<const std::uint8_t> plain) {
        before.push_back({plain[OffsetOf(Col::PID_a)], plain[OffsetOf(Col::PID_b)], PotentialsOf(plain)});
    });
    std::vector<PlayerChange> changes;
    const ImportedLeague read = ReadPlayerFile(after, RecordKind::L02, [&](std::int64_t slot, std::span<const std::uint8_t> plain) {
        const Potentials now = PotentialsOf(plain);
        const auto i = static_cast<std::size_t>(slot - 1);
        if (i < before.size() && before[i].pots == now && before[i].pidA == plain[OffsetOf(Col::PID_a)] &&
            before[i].pidB == plain[OffsetOf(Col::PID_b)])
            return;
        PlayerChange& c = changes.emplace_back();
        c.slot = slot;
        c.pidA = plain[OffsetOf(Col::PID_a)];
        c.pidB = plain[OffsetOf(Col::PID_b)];
        c.firstName = NameText(plain, Col::FirstName);
        c.lastName = NameText(plain, Col::LastName);
        c.years = plain[OffsetOf(Col::Years)];
        for (std::size_t a = 0; a < 8; ++a) {
            c.before[a] = i < before.size() ? before[i].pots[a] : 0;
            c.after[a] = now[a];
        }
    });
    exact = read.fingerprint == run.savedFingerprint;
    return changes;
}


HistoryWriter::HistoryWriter(const platform::Folder& league, const fs::path& name) : folder_(league.MakeFolder(name)) {}

void HistoryWriter::Name(HistoryRun& run) const {
    int last = 0;
    for (const fs::path& name : folder_.Names())
        if (const auto entry = Parse(name)) last = std::max(last, entry->number);
    run.number = last + 1;
    run.time = NowUtc();
    const std::string stamp = Stamp(run.number, run.time);
    run.keptPyr = FromUtf8(stamp + " before " + run.operation + ".pyr");
    run.keptPot = FromUtf8(stamp + " before " + run.operation + ".pot");
}

bool HistoryWriter::Keep(const platform::Folder& league, const fs::path& name, const fs::path& kept) {
    switch (league.Link(name, folder_, kept)) {
        case platform::Folder::LinkResult::Linked: return true;
        case platform::Folder::LinkResult::NameTaken: return false;
        case platform::Folder::LinkResult::NotSupported: break;
    }
    // A copy, complete and on the disk before it takes its name.
    fs::path partial = kept;
    partial += std::string(kNewSuffix);
    auto copy = folder_.CreateNew(partial);
    if (!copy) return false;
    try {
        platform::File from = league.OpenToRead(name);
        copy->AppendCopyOf(from);
        copy->Sync();
        copy->Close();
        if (folder_.Info(kept).Exists()) {
            folder_.Remove(partial);
            return false;
        }
        folder_.Rename(partial, folder_, kept);
    } catch (...) {
        folder_.Remove(partial);
        throw;
    }
    return true;
}

bool HistoryWriter::Write(const HistoryRun& run) {
    const fs::path name = FromUtf8(Stamp(run.number, run.time) + " " + run.operation + ".run");
    auto file = folder_.CreateNew(name);
    if (!file) return false;
    const std::string json = RecordOf(run);
    file->Write(std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
    file->Sync();
    file->Close();
    return true;
}

void HistoryWriter::Forget(const HistoryRun& run, bool record) {
    if (record) folder_.Remove(FromUtf8(Stamp(run.number, run.time) + " " + run.operation + ".run"));
    for (const fs::path& name : {run.keptPyr, run.keptPot})
        if (!name.empty()) folder_.Remove(name);
}

void HistoryWriter::Prune(int runs) const {
    runs = std::max(runs, 1);  // the run that just wrote itself down stays
    std::vector<std::pair<fs::path, EntryName>> entries;
    std::set<int> recorded;
    for (const fs::path& name : folder_.Names())
        if (const auto entry = Parse(name)) {
            entries.emplace_back(name, *entry);
            if (!entry->kept && !entry->partial) recorded.insert(entry->number);
        }
    if (static_cast<int>(recorded.size()) <= runs) return;
    const int oldestKept = *std::prev(recorded.end(), runs);
    for (const auto& [name, entry] : entries)
        if (entry.number < oldestKept) folder_.Remove(name);
}

void HistoryWriter::RemoveLeftOvers(const platform::Folder& folder) {
    for (const fs::path& name : folder.Names())
        if (const auto entry = Parse(name); entry && entry->partial) folder.Remove(name);
}

}  // namespace tavrin::run
