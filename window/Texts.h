#pragma once

// What the windows show in words, in one place: texts that come from the run
// core, turned into the window's language; paths both ways; a player's years
// and the eight attributes' codes and names.
//
// The run core is standard C++ and knows nothing of Qt's translations. The
// few texts of its own that the window shows as captions (the operations,
// the years list, the progress window's steps, "Select Years") are listed in
// this file's catalogue, so that the translation template carries them and
// CoreText() finds their translation; a text not listed is shown as it is.
// The core's messages (a run's summary, a refusal) are shown as written.

#include <QString>

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace tavrin::window {

// UTF-8 from the core, as it is.
QString FromCore(std::string_view text);
// A caption of the core's, translated where the catalogue lists it.
QString CoreText(std::string_view text);

std::filesystem::path ToPath(const QString& path);
QString FromPath(const std::filesystem::path& path);

// "1 yr", "0 yrs", "7 yrs": a player's years in the league.
QString YearsText(int years);

// The eight attributes, in Tavrin's order SP AC AG ST HA EN IN DI: the code
// a header shows, and its name ("Speed").
inline constexpr std::size_t kAttributes = 8;
QString AttributeCode(std::size_t attribute);
QString AttributeName(std::size_t attribute);
// "SP Speed, AC Acceleration, …": the codes explained, for under a table.
QString AttributeLegend();

}  // namespace tavrin::window
