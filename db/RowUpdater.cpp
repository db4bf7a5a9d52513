// Changing rows one at a time by their rowid, with one prepared UPDATE.

#include "db/DatabaseDetail.h"
#include "base/Error.h"
#include "db/Database.h"

namespace tavrin::db {

struct RowUpdater::Impl {
    std::vector<FieldDef> columns;
    Statement update;
};

RowUpdater::RowUpdater(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RowUpdater::~RowUpdater() = default;

void RowUpdater::Update(std::int64_t rowid, std::span<const std::optional<std::int64_t>> values) {
    Impl& u = *impl_;
    if (values.size() != u.columns.size())
        throw Error("An update of " + std::to_string(u.columns.size()) + " columns was given " +
                                    std::to_string(values.size()) + " values");
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int param = static_cast<int>(i) + 1;
        if (!values[i]) {
            u.update.BindNull(param);
            continue;
        }
        detail::CheckFits(u.columns[i], *values[i]);
        u.update.Bind(param, *values[i]);
    }
    u.update.Bind(static_cast<int>(values.size()) + 1, rowid);
    u.update.Step();
    u.update.Reset();
}

RowUpdater& Database::OpenUpdater(std::string_view table, const std::vector<std::string>& columns) {
    Connection& connection = impl_->Open();
    const std::vector<FieldDef> fields = TableFields(table);
    std::vector<FieldDef> set;
    std::string sql = "UPDATE " + detail::QuoteIdent(table) + " SET ";
    for (const std::string& name : columns) {
        const int i = FindField(fields, name);
        if (i < 0) throw Error("There is no column " + name + " in " + std::string(table));
        set.push_back(fields[static_cast<std::size_t>(i)]);
        sql += (set.size() > 1 ? ", " : "") + detail::QuoteIdent(name) + " = ?" + std::to_string(set.size());
    }
    sql += " WHERE rowid = ?" + std::to_string(set.size() + 1);
    auto impl = std::unique_ptr<RowUpdater::Impl>(new RowUpdater::Impl{std::move(set), Statement(connection, sql)});
    impl_->updaters.push_back(std::unique_ptr<RowUpdater>(new RowUpdater(std::move(impl))));
    return *impl_->updaters.back();
}

}  // namespace tavrin::db
