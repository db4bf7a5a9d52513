#include "bench/Floors.h"

#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/Platform.h"
#include "db/Database.h"
#include "league/PlayersTable.h"
#include "db/Sqlite.h"
#include "league/WorkingDatabase.h"
#include "league/Cp1252.h"
#include "league/RecordLayout.h"
#include "league/Substitution.h"

namespace tavrin::bench {

namespace fs = std::filesystem;

namespace {

// A floor's connection, under the working database's own settings and in one
// transaction, committed when it goes.
class FloorDb {
public:
    explicit FloorDb(const fs::path& path, bool write = true)
        : connection_(path, write ? db::Connection::Open::ReadWrite : db::Connection::Open::ReadOnly), write_(write) {
        if (write) {
            db::ApplySettings(connection_, db::Database::Mode::Scratch);
            connection_.Exec("BEGIN");
        }
    }
    ~FloorDb() {
        if (write_) connection_.Exec("COMMIT");
    }
    db::Connection& operator*() { return connection_; }

private:
    db::Connection connection_;
    bool write_;
};

}  // namespace

// Reading and writing the same bytes: a plain copy, flushed to the disk.
void CopyFileFloor(const fs::path& from, const fs::path& to) {
    std::FILE* in = OpenFile(from, false);
    std::FILE* out = OpenFile(to, true);
    if (!in || !out) throw std::runtime_error("cannot copy " + from.string() + " to " + to.string());
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
        if (got == 0) break;
        if (std::fwrite(buffer.data(), 1, got, out) != got) throw std::runtime_error("cannot write " + to.string());
    }
    SyncFile(out);
    std::fclose(in);
    std::fclose(out);
}

// The UTF-8 text of every code page 1252 byte, worked out before any timing.
std::array<std::string, 256> Utf8OfBytes() {
    std::array<std::string, 256> out;
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        out[static_cast<std::size_t>(b)] = cp1252::BytesToUtf8(std::string_view(&c, 1));
    }
    return out;
}

// The player file's rows inserted with one prepared statement in one
// transaction into a fresh Players table at dbPath (created before timing).
double InsertFloor(const fs::path& pyrPath, const fs::path& dbPath, const std::array<std::string, 256>& utf8) {
    {
        ProgramState floor;  // a working database of its own, made as the import makes it
        floor.workingFolder = dbPath.parent_path();
        CreateWorkingDatabase(floor)->Close();
        fs::rename(floor.WorkingDatabasePath(), dbPath);
    }
    return TimeMs([&] {
        FloorDb database(dbPath);
        std::string sql = "INSERT INTO Players (";
        std::string params;
        for (std::size_t i = 0; i < kPlayerFieldsL02.size(); ++i) {
            sql += (i ? ", " : "") + std::string(Name(kPlayerFieldsL02[i].column));
            params += i ? ", ?" : "?";
        }
        sql += ") VALUES (" + params + ")";
        db::Statement insert(*database, sql);

        std::FILE* in = OpenFile(pyrPath, false);
        if (!in) throw std::runtime_error("cannot read " + pyrPath.string());
        HeaderRecL02 header{};
        if (std::fread(header.data(), 1, header.size(), in) != header.size()) throw std::runtime_error("short file");
        CodeTables tables;
        BuildTables(tables, header[kHeaderStartOffset], header[kHeaderStepOffset]);

        std::vector<std::uint8_t> chunk(kChunkRecords * kRecordLenL02);
        PlayerRecL02 plain{};
        std::array<std::string, 2> names;
        for (;;) {
            const std::size_t n = std::fread(chunk.data(), kRecordLenL02, kChunkRecords, in);
            if (n == 0) break;
            for (std::size_t r = 0; r < n; ++r) {
                DecodeRecord(std::span(chunk.data() + r * kRecordLenL02, kRecordLenL02), plain, tables);
                int name = 0;
                for (std::size_t i = 0; i < kPlayerFieldsL02.size(); ++i) {
                    const FieldLayout& f = kPlayerFieldsL02[i];
                    const int pos = static_cast<int>(i) + 1;
                    if (f.stored == Stored::Name) {
                        std::string& text = names[static_cast<std::size_t>(name++)];
                        text.clear();
                        for (std::size_t c = 0; c < kNameLen; ++c) text += utf8[plain[f.offset + c]];
                        insert.Bind(pos, std::string_view(text));
                    } else {
                        insert.Bind(pos, std::int64_t{plain[f.offset]});
                    }
                }
                insert.Step();
                insert.Reset();
            }
        }
        std::fclose(in);
    });
}


// One UPDATE setting the eight potentials, `value` giving each one's new value
// from its attribute's index, in one transaction on the floor's database.
double UpdateFloor(const fs::path& dbPath, const std::function<std::string(std::size_t)>& value,
                   std::string_view where) {
    std::string sql = "UPDATE Players SET ";
    for (std::size_t a = 0; a < 8; ++a) sql += (a ? ", " : "") + std::string(Name(kPotColumns[a])) + " = " + value(a);
    sql += std::string(where);
    return TimeMs([&] {
        FloorDb database(dbPath);
        (*database).Exec(sql);
    });
}

// The save's floor: one sequential scan of the 27 columns the save reads (the
// players with Position below 15, each value read once), the records encoded
// with the league's tables, and written all or nothing: a new file beside the
// target, flushed to the disk and renamed over it.
double SaveFloor(const fs::path& dbPath, const fs::path& target, const ImportedLeague& league) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < kPlayerFieldsL02.size(); ++i)
        sql += (i ? ", " : "") + std::string(Name(kPlayerFieldsL02[i].column));
    sql += " FROM Players WHERE Position < 15 ORDER BY rowid";
    return TimeMs([&] {
        FloorDb database(dbPath, false);
        db::Statement rows(*database, sql);
        fs::path temp = target;
        temp += ".floor-new";
        std::FILE* out = OpenFile(temp, true);
        if (!out) throw std::runtime_error("cannot write " + temp.string());
        std::fwrite(league.header.data(), 1, league.header.size(), out);
        std::vector<std::uint8_t> chunk;
        chunk.reserve(kChunkRecords * kRecordLenL02);
        PlayerRecL02 plain{}, stored{};
        while (rows.Step()) {
            for (std::size_t c = 0; c < kPlayerFieldsL02.size(); ++c) {
                const FieldLayout& f = kPlayerFieldsL02[c];
                if (f.stored == Stored::Name)
                    cp1252::Utf8ToBytes(rows.Text(static_cast<int>(c)), std::span(plain).subspan(f.offset, kNameLen));
                else
                    plain[f.offset] = static_cast<std::uint8_t>(rows.Int(static_cast<int>(c)));
            }
            EncodeRecord(plain, stored, league.tables);
            chunk.insert(chunk.end(), stored.begin(), stored.end());
            if (chunk.size() == kChunkRecords * kRecordLenL02) {
                std::fwrite(chunk.data(), 1, chunk.size(), out);
                chunk.clear();
            }
        }
        std::fwrite(chunk.data(), 1, chunk.size(), out);
        SyncFile(out);
        std::fclose(out);
        fs::rename(temp, target);
    });
}

std::int64_t CountRows(const fs::path& dbPath, std::string_view where) {
    FloorDb database(dbPath, false);
    db::Statement stmt(*database, "SELECT count(*) FROM Players" + std::string(where));
    stmt.Step();
    return stmt.Int(0);
}

double CommitFloor(const fs::path& dir, const fs::path& pyr, const fs::path& pot) {
    const fs::path history = dir / "floor.history";
    fs::remove_all(history);
    fs::create_directory(history);
    std::vector<fs::path> fresh;
    for (const fs::path& p : {pyr, pot}) {
        fs::path next = p;
        next += ".new";
        fs::copy_file(p, next, fs::copy_options::overwrite_existing);
        fresh.push_back(next);
    }
    const platform::Folder folder = platform::Folder::Open(dir);
    const double ms = TimeMs([&] {
        const platform::Folder kept = platform::Folder::Open(history);
        for (const fs::path& p : {pyr, pot})
            if (folder.Link(p.filename(), kept, p.filename()) != platform::Folder::LinkResult::Linked)
                throw std::runtime_error("cannot link " + p.string());
        std::optional<platform::File> record = kept.CreateNew("run.run");
        const std::string text = "{\"number\": 1}\n";
        record->Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        record->Sync();
        record->Close();
        kept.Sync();
        for (std::size_t i = 0; i < fresh.size(); ++i) folder.Rename(fresh[i].filename(), folder, (i ? pot : pyr).filename());
        folder.Sync();
    });
    fs::remove_all(history);
    return ms;
}

}  // namespace tavrin::bench
