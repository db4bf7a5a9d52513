#pragma once

// What the engine's parts share and nobody else needs: SQL text of our own
// queries, and reading one value the way every engine read does.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Database.h"

namespace tavrin::db::detail {

// "name" with embedded quotes doubled.
std::string QuoteIdent(std::string_view name);
// The conditions ANDed, "" when there are none; `lead` goes before them
// (" WHERE " or " AND ").
std::string WhereSql(const std::vector<Condition>& where, std::string_view lead);
// "SELECT <columns>, rowid FROM <table>": the rowid last, so that the
// columns keep their places.
std::string SelectSql(std::string_view table, const std::vector<std::string>& columns);

// What may be written to a column: a number in the range of its type (a
// byte 0 to 255, an integer -32768 to 32767), a text to a text column. The
// error names the column and the value otherwise.
void CheckFits(const FieldDef& field, std::int64_t value);
void CheckFits(const FieldDef& field, std::string_view text);

// One value of a row as the engine hands it on. A real that holds a whole
// number in the 64-bit range counts as that integer (a typeless column keeps
// 77.0 as a real); any other real, and a blob, keep their stored form in
// `text`, for the message that refuses them.
struct Cell {
    Storage storage = Storage::Null;
    std::int64_t number = 0;
    std::string text;
};

// Reads the statement's column into the cell, reusing its text buffer.
void ReadCell(const Statement& row, int column, Cell& cell);

// The check of a read: a number.
std::int64_t IntOf(const Cell& cell, std::string_view column);

}  // namespace tavrin::db::detail

namespace tavrin::db {

struct Database::Impl {
    std::filesystem::path path;
    std::unique_ptr<Connection> connection;
    bool inTransaction = false;
    std::vector<std::unique_ptr<RowUpdater>> updaters;
    std::vector<std::unique_ptr<RowAppender>> appenders;

    Connection& Open();
};

}  // namespace tavrin::db
