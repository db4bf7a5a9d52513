// Adding many rows at once: rows are held until a batch is complete, then
// stored with one INSERT of many rows. SQLite then starts, plans and ends one
// statement per batch instead of one per row. A row, once Update() has
// completed it, is stored whatever happens to the rows after it: the rows
// held are stored when the appender is flushed, and its database flushes it
// before it commits, also when an error ends the step.

#include <bit>

#include "db/DatabaseDetail.h"
#include "base/Error.h"
#include "db/Database.h"

namespace tavrin::db {

using detail::QuoteIdent;

namespace {
constexpr std::size_t kBatchRows = 64;
}

struct RowAppender::Impl {
    Connection& connection;
    std::string table;
    std::vector<FieldDef> columns;  // the columns added, in order
    // Rows held: `held` complete ones, and the one being added after them.
    std::vector<detail::Cell> cells;
    std::size_t held = 0;
    bool adding = false;
    std::vector<std::unique_ptr<Statement>> inserts;  // by the number of rows

    Impl(Connection& c, std::string t, std::vector<FieldDef> cols)
        : connection(c), table(std::move(t)), columns(std::move(cols)),
          cells(kBatchRows * columns.size()), inserts(kBatchRows + 1) {}

    detail::Cell& Slot(int column) {
        if (!adding) throw Error("Column set without AddNew (" + table + ")");
        if (column < 0 || static_cast<std::size_t>(column) >= columns.size())
            throw Error("There is no column " + std::to_string(column) + " among the columns added to " + table);
        return cells[held * columns.size() + static_cast<std::size_t>(column)];
    }

    Statement& InsertOf(std::size_t rows) {
        auto& insert = inserts[rows];
        if (!insert) {
            std::string sql = "INSERT INTO " + QuoteIdent(table) + " (";
            for (std::size_t c = 0; c < columns.size(); ++c) sql += (c ? ", " : "") + QuoteIdent(columns[c].name);
            sql += ") VALUES ";
            for (std::size_t r = 0; r < rows; ++r) {
                sql += r ? ", (" : "(";
                for (std::size_t c = 0; c < columns.size(); ++c) sql += c ? ", ?" : "?";
                sql += ')';
            }
            insert = std::make_unique<Statement>(connection, sql);
        }
        return *insert;
    }

    void Flush() {
        if (held == 0) return;
        Statement& insert = InsertOf(held);
        const std::size_t n = held * columns.size();
        held = 0;  // stored or failed, they are no longer held
        for (std::size_t i = 0; i < n; ++i) {
            const detail::Cell& cell = cells[i];
            const int param = static_cast<int>(i) + 1;
            if (cell.storage == Storage::Integer) insert.Bind(param, cell.number);
            else if (cell.storage == Storage::Text) insert.Bind(param, std::string_view(cell.text));
            else if (cell.storage == Storage::Blob)
                insert.BindBlob(param, {reinterpret_cast<const std::uint8_t*>(cell.text.data()), cell.text.size()});
            else insert.BindNull(param);
        }
        insert.Step();
        insert.Reset();
    }
};

RowAppender::RowAppender(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RowAppender::~RowAppender() = default;

const std::vector<FieldDef>& RowAppender::Fields() const { return impl_->columns; }

void RowAppender::AddNew() {
    Impl& a = *impl_;
    for (std::size_t c = 0; c < a.columns.size(); ++c) a.cells[a.held * a.columns.size() + c].storage = Storage::Null;
    a.adding = true;
}

void RowAppender::SetField(int column, std::int64_t value) {
    detail::Cell& cell = impl_->Slot(column);
    detail::CheckFits(impl_->columns[static_cast<std::size_t>(column)], value);
    cell.storage = Storage::Integer;
    cell.number = value;
}

void RowAppender::SetField(int column, std::string_view text) {
    detail::Cell& cell = impl_->Slot(column);
    detail::CheckFits(impl_->columns[static_cast<std::size_t>(column)], text);
    cell.storage = Storage::Text;
    cell.text.assign(text);  // keeps its buffer from batch to batch
}

void RowAppender::SetField(int column, std::span<const std::uint8_t> bytes) {
    detail::Cell& cell = impl_->Slot(column);
    if (impl_->columns[static_cast<std::size_t>(column)].type != FieldType::Blob)
        throw Error("Bytes do not fit the column " + impl_->columns[static_cast<std::size_t>(column)].name);
    cell.storage = Storage::Blob;
    cell.text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void RowAppender::Update() {
    Impl& a = *impl_;
    if (!a.adding) throw Error("Update without AddNew (" + a.table + ")");
    a.adding = false;
    if (++a.held == kBatchRows) a.Flush();
}

void RowAppender::Flush() { impl_->Flush(); }

RowAppender& Database::OpenAppender(std::string_view table, const std::vector<std::string>& columns) {
    Connection& connection = impl_->Open();
    const std::vector<FieldDef> fields = TableFields(table);
    std::vector<FieldDef> added;
    for (const std::string& name : columns) {
        const int i = FindField(fields, name);
        if (i < 0) throw Error("There is no column " + name + " in " + std::string(table));
        added.push_back(fields[static_cast<std::size_t>(i)]);
    }
    auto impl = std::make_unique<RowAppender::Impl>(connection, std::string(table), std::move(added));
    impl_->appenders.push_back(std::unique_ptr<RowAppender>(new RowAppender(std::move(impl))));
    return *impl_->appenders.back();
}

}  // namespace tavrin::db
