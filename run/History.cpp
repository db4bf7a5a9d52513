#include "run/History.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "db/Error.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBefore = " before ";

// "2026-12-05T21-48-50.2" sorts as (the time, 2); without a counter, 1.
std::pair<std::string, int> RunOrder(const std::string& run) {
    const std::size_t dot = run.find('.');
    if (dot == std::string::npos) return {run, 1};
    return {run.substr(0, dot), std::atoi(run.c_str() + dot + 1)};
}

std::string Utf8Name(const fs::path& p) {
    const std::u8string u8 = p.filename().u8string();
    return {reinterpret_cast<const char*>(u8.data()), u8.size()};
}

}  // namespace

History::History(const fs::path& league) {
    std::u16string base = league.u16string();
    base.resize(base.size() >= 3 ? base.size() - 3 : 0);
    folder_ = fs::path(base + u"history");
}

void History::BeginRun(std::string_view operation) {
    operation_ = operation;
    const std::string now =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH-mm-ss")).toStdString();
    // After every run of this second still kept, so that the order of the
    // names stays the order of the runs.
    int last = 0;
    for (const Entry& e : Entries())
        if (const auto [time, n] = RunOrder(e.run); time == now) last = std::max(last, n);
    stamp_ = last == 0 ? now : now + "." + std::to_string(last + 1);
}

fs::path History::KeepAs(std::string_view extension) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (ec) throw Error(kErrFileAccess, "Cannot create the history folder " + PathText(folder_) + ": " + ec.message());
    const std::string name = stamp_ + std::string(kBefore) + operation_ + "." + std::string(extension);
    return folder_ / fs::path(std::u8string(name.begin(), name.end()));
}

std::vector<History::Entry> History::Entries() const {
    std::vector<Entry> entries;
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(folder_, ec)) {
        const std::string name = Utf8Name(item.path());
        const std::size_t before = name.find(kBefore);
        const std::size_t dot = name.rfind('.');
        if (before == std::string::npos || dot == std::string::npos || dot < before) continue;
        entries.push_back({item.path(), name.substr(0, before),
                           name.substr(before + kBefore.size(), dot - before - kBefore.size())});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::pair(RunOrder(a.run), a.file) < std::pair(RunOrder(b.run), b.file);
    });
    return entries;
}

void History::Prune(int runs) const {
    runs = std::max(runs, 1);  // the run that just kept its files stays
    const auto entries = Entries();
    std::vector<std::string> order;
    for (const Entry& e : entries)
        if (order.empty() || order.back() != e.run) order.push_back(e.run);
    if (static_cast<int>(order.size()) <= runs) return;
    const std::string& oldestKept = order[order.size() - static_cast<std::size_t>(runs)];
    std::error_code ec;
    for (const Entry& e : entries)
        if (RunOrder(e.run) < RunOrder(oldestKept)) fs::remove(e.file, ec);
}

std::size_t History::LongestEntryName() {
    // "2026-12-05T21-48-50.99 before Randomize.pot"
    return std::string("2026-12-05T21-48-50.99").size() + kBefore.size() + std::string("Randomize.pot").size();
}

}  // namespace tavrin::run
