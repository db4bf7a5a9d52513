#include "mDBCreate.h"

#include "Error.h"

namespace tavrin {

using db::FieldType;

const std::array<db::FieldDef, 39> kPlayersColumns{{
    {"Team", FieldType::Text},
    {"PID_a", FieldType::Byte},
    {"PID_b", FieldType::Byte},
    {"JNum", FieldType::Integer},
    {"FirstName", FieldType::Text},
    {"LastName", FieldType::Text},
    {"Years", FieldType::Byte},
    {"Position", FieldType::Byte},
    {"PositionGen", FieldType::Byte},
    {"INJ_Sev_a", FieldType::Byte},
    {"INJ_Sev_b", FieldType::Byte},
    {"INJ_Type", FieldType::Byte},
    {"INJ_Week", FieldType::Byte},
    {"INJStatus", FieldType::Byte},
    {"Pot_SP", FieldType::Byte},
    {"Pot_AC", FieldType::Byte},
    {"Pot_AG", FieldType::Byte},
    {"Pot_ST", FieldType::Byte},
    {"Pot_HA", FieldType::Byte},
    {"Pot_EN", FieldType::Byte},
    {"Pot_IN", FieldType::Byte},
    {"Pot_DI", FieldType::Byte},
    {"Act_SP", FieldType::Byte},
    {"Act_AC", FieldType::Byte},
    {"Act_AG", FieldType::Byte},
    {"Act_ST", FieldType::Byte},
    {"Act_HA", FieldType::Byte},
    {"Act_EN", FieldType::Byte},
    {"Act_IN", FieldType::Byte},
    {"Act_DI", FieldType::Byte},
    {"Height", FieldType::Byte},
    {"Weight", FieldType::Byte},
    {"SkinColor", FieldType::Byte},
    {"OrgTeam", FieldType::Byte},
    {"OrgJerseyNum", FieldType::Byte},
    {"fBWPicture", FieldType::Byte},
    {"fColorPicture", FieldType::Byte},
    {"fPlayerCard", FieldType::Byte},
    {"fAudioPBP", FieldType::Byte},
}};

void CreateDatabaseFile(const std::filesystem::path& sPath) {
    std::error_code ec;
    if (std::filesystem::exists(sPath, ec)) {
        if (!std::filesystem::remove(sPath, ec) || ec)
            throw Error(kErrFileAccess, "Cannot delete " + PathText(sPath) + ": " +
                                            (ec ? ec.message() : std::string("it is in the way")));
    }
    // A journal left by a step that died part-way belongs to the old file.
    std::filesystem::remove(std::filesystem::path(sPath) += "-journal", ec);
    db::Database::CreateDatabase(sPath);
}

void CreatePlayersTable(const std::filesystem::path& sPath, std::string_view sTable) {
    auto database = db::Database::OpenDatabase(sPath);
    database->CreateTable(sTable, {kPlayersColumns.begin(), kPlayersColumns.end()});
    database->Close();
}

}  // namespace tavrin
