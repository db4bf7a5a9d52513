// The recordset: a walk over the rows of a query that can change them. It holds no SQLite cursor open between its moves: it reads a batch of
// rows ("rowid > last" in rowid order) into memory and walks the batch, so an
// edit between two moves never sends SQLite looking for its place again, and
// a batch costs one seek.

#include <bit>
#include <limits>
#include <map>

#include "db/EngineDetail.h"
#include "db/Error.h"
#include "db/mDbEngine.h"

namespace tavrin::db {

using detail::Cell;
using detail::QuoteIdent;

namespace {
constexpr std::size_t kBatchRows = 256;
}

struct Recordset::Impl {
    Connection& connection;
    std::string table;
    std::vector<Condition> where;
    std::vector<FieldDef> fields;    // every column of the table
    std::vector<int> slotOf;         // field index -> its place among the fetched columns, or -1
    std::vector<std::string> fetched;

    // The batch: rows of `fetched.size()` cells each.
    std::unique_ptr<Statement> batchQuery;
    std::vector<std::int64_t> rowids;
    std::vector<Cell> cells;
    std::size_t at = 0;
    bool more = false;  // rows may follow the batch

    std::int64_t position = -1;  // 0-based index of the current row
    std::int64_t visited = 0;    // rows reached so far
    std::optional<std::int64_t> count;

    bool editing = false;
    std::vector<Value> pending;         // an edit's values, per field
    std::uint64_t changed = 0;          // which fields those are
    std::map<std::uint64_t, std::unique_ptr<Statement>> updates;
    Statement* lastUpdate = nullptr;    // the one for the last edit's fields
    std::uint64_t lastChanged = 0;

    Impl(Connection& c, const Query& query, std::vector<FieldDef> tableFields)
        : connection(c), table(query.table), where(query.where), fields(std::move(tableFields)) {
        slotOf.assign(fields.size(), -1);
        if (query.columns.empty()) {
            for (const FieldDef& f : fields) fetched.push_back(f.name);
        } else {
            for (const std::string& name : query.columns) fetched.push_back(fields[Index(name)].name);
        }
        for (std::size_t s = 0; s < fetched.size(); ++s) slotOf[Index(fetched[s])] = static_cast<int>(s);
        batchQuery = std::make_unique<Statement>(
            connection, detail::SelectSql(table, fetched) + " WHERE rowid > ?1" + detail::WhereSql(where, " AND ") +
                            " ORDER BY rowid LIMIT " + std::to_string(kBatchRows));
        pending.resize(fields.size());
    }

    std::size_t Index(std::string_view name) const {
        const int i = FindField(fields, name);
        if (i < 0) throw Error(kErrEngine, "There is no column " + std::string(name) + " in " + table);
        return static_cast<std::size_t>(i);
    }

    const FieldDef& Field(int index) const { return fields.at(static_cast<std::size_t>(index)); }

    [[noreturn]] void NoCurrentRecord() const {
        throw Error(kErrNoCurrentRecord, "No current record (" + table + " in " + PathText(connection.Path()) + ")");
    }

    bool OnRow() const { return at < rowids.size(); }

    // Reads the batch of rows after `after` (its rows only, when `single`).
    void LoadAfter(std::int64_t after) {
        rowids.clear();
        at = 0;
        batchQuery->Bind(1, after);
        const std::size_t width = fetched.size();
        while (rowids.size() < kBatchRows && batchQuery->Step()) {
            rowids.push_back(batchQuery->Int(static_cast<int>(width)));
            const std::size_t row = rowids.size() - 1;
            if (cells.size() < (row + 1) * width) cells.resize((row + 1) * width);
            for (std::size_t s = 0; s < width; ++s)
                detail::ReadCell(*batchQuery, static_cast<int>(s), cells[row * width + s]);
        }
        batchQuery->Reset();
        more = rowids.size() == kBatchRows;
    }

    void Arrive() {
        if (!OnRow()) return;
        ++position;
        if (position + 1 > visited) visited = position + 1;
    }

    void Restart() {
        position = -1;
        LoadAfter(std::numeric_limits<std::int64_t>::min());
        Arrive();
    }

    void Next() {
        if (!OnRow()) NoCurrentRecord();
        ++at;
        if (at == rowids.size() && more) LoadAfter(rowids.back());
        Arrive();
    }

    const Cell& CellOf(int index) const {
        if (!OnRow()) NoCurrentRecord();
        const int slot = slotOf.at(static_cast<std::size_t>(index));
        if (slot < 0) throw Error(kErrEngine, "The column " + Field(index).name + " was not read by this recordset");
        return cells[at * fetched.size() + static_cast<std::size_t>(slot)];
    }

    // The column about to be set: one of the table's, with an Edit begun.
    const FieldDef& Settable(int index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= fields.size())
            throw Error(kErrEngine, "There is no column " + std::to_string(index) + " in " + table);
        if (!editing) throw Error(kErrEngine, "Column " + Field(index).name + " set without Edit");
        return fields[static_cast<std::size_t>(index)];
    }

    Value& Pending(int index) {
        changed |= std::uint64_t{1} << index;
        return pending[static_cast<std::size_t>(index)];
    }

    Statement& UpdateStatement() {
        // A walk edits the same fields row after row.
        if (lastUpdate && lastChanged == changed) return *lastUpdate;
        auto& slot = updates[changed];
        if (!slot) {
            std::string sql = "UPDATE " + QuoteIdent(table) + " SET ";
            for (std::uint64_t bits = changed; bits; bits &= bits - 1)
                sql += (sql.back() == ' ' ? "" : ", ") +
                       QuoteIdent(fields[static_cast<std::size_t>(std::countr_zero(bits))].name) + " = ?";
            slot = std::make_unique<Statement>(connection, sql + " WHERE rowid = ?");
        }
        lastUpdate = slot.get();
        lastChanged = changed;
        return *slot;
    }
};

Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Recordset::~Recordset() = default;

Recordset& Database::OpenRecordset(const Query& query) {
    Connection& connection = impl_->Open();
    auto rs = std::make_unique<Recordset::Impl>(connection, query, TableFields(query.table));
    rs->Restart();  // a recordset opens on its first row
    impl_->recordsets.push_back(std::unique_ptr<Recordset>(new Recordset(std::move(rs))));
    return *impl_->recordsets.back();
}

bool Recordset::IsEOF() const { return !impl_->OnRow(); }

void Recordset::MoveNext() { impl_->Next(); }

void Recordset::MoveFirst() {
    impl_->Restart();
    if (!impl_->OnRow()) impl_->NoCurrentRecord();
}

void Recordset::MoveLast() {
    Impl& r = *impl_;
    Statement counter(r.connection, "SELECT count(*) FROM " + QuoteIdent(r.table) + detail::WhereSql(r.where, " WHERE "));
    counter.Step();
    const std::int64_t n = counter.Int(0);
    if (n == 0) r.NoCurrentRecord();
    // The last row: the batch that starts just before it.
    Statement last(r.connection, "SELECT rowid FROM " + QuoteIdent(r.table) + detail::WhereSql(r.where, " WHERE ") +
                                     " ORDER BY rowid DESC LIMIT 1");
    if (!last.Step()) r.NoCurrentRecord();
    r.LoadAfter(last.Int(0) - 1);
    r.rowids.resize(std::min<std::size_t>(r.rowids.size(), 1));
    r.more = false;
    r.count = n;
    r.visited = n;
    r.position = n - 1;
}

std::int64_t Recordset::RecordCount() const { return impl_->count ? *impl_->count : impl_->visited; }

void Recordset::Edit() {
    if (!impl_->OnRow()) impl_->NoCurrentRecord();
    impl_->editing = true;
    impl_->changed = 0;
}

void Recordset::Update() {
    Impl& r = *impl_;
    if (!r.editing)
        throw Error(kErrEngine, "Update without Edit (" + r.table + " in " + PathText(r.connection.Path()) + ")");
    r.editing = false;  // a failed edit is abandoned, not retried
    if (r.changed == 0) return;
    {
        Statement& update = r.UpdateStatement();
        int param = 1;
        for (std::uint64_t bits = r.changed; bits; bits &= bits - 1) {
            const Value& v = r.pending[static_cast<std::size_t>(std::countr_zero(bits))];
            if (const auto* n = std::get_if<std::int64_t>(&v)) update.Bind(param++, *n);
            else if (const auto* s = std::get_if<std::string>(&v)) update.Bind(param++, std::string_view(*s));
            else update.BindNull(param++);
        }
        update.Bind(param, RowId());
        update.Step();
        update.Reset();
        // The row now reads as edited.
        for (std::uint64_t bits = r.changed; bits; bits &= bits - 1) {
            const auto i = static_cast<std::size_t>(std::countr_zero(bits));
            if (r.slotOf[i] < 0) continue;
            Cell& cell = r.cells[r.at * r.fetched.size() + static_cast<std::size_t>(r.slotOf[i])];
            const Value& v = r.pending[i];
            if (const auto* n = std::get_if<std::int64_t>(&v)) cell = {Storage::Integer, *n, {}};
            else if (const auto* s = std::get_if<std::string>(&v)) cell = {Storage::Text, 0, *s};
            else cell = {};
        }
    }
}

const std::vector<FieldDef>& Recordset::Fields() const { return impl_->fields; }

int Recordset::FieldIndex(std::string_view name) const { return static_cast<int>(impl_->Index(name)); }

void Recordset::SetField(int index, std::int64_t value) {
    detail::CheckFits(impl_->Settable(index), value);
    impl_->Pending(index) = value;
}

void Recordset::SetField(int index, std::string_view text) {
    detail::CheckFits(impl_->Settable(index), text);
    impl_->Pending(index) = std::string(text);
}

void Recordset::SetNull(int index) {
    impl_->Settable(index);
    impl_->Pending(index) = std::monostate{};
}

Value Recordset::Field(int index) const { return detail::ValueOf(impl_->CellOf(index), impl_->Field(index).name); }

std::int64_t Recordset::Int(int index) const { return detail::IntOf(impl_->CellOf(index), impl_->Field(index).name); }

std::optional<std::string_view> Recordset::Text(int index) const {
    return detail::TextOf(impl_->CellOf(index), impl_->Field(index).name);
}

std::int64_t Recordset::RowId() const {
    if (!impl_->OnRow()) impl_->NoCurrentRecord();
    return impl_->rowids[impl_->at];
}

}  // namespace tavrin::db
