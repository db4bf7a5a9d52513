#pragma once

// The saved-potentials file (X.pot) as the run sees it: whether it can serve a
// Restore, and the note Tavrin leaves in it of the player file it belongs to.
//
// After a Hide or Randomize run has saved the league, a small table beside
// Players records the operation, when it ran and a SHA-256 of the player file
// as saved. As long as the player file is still byte for byte that file, its
// potentials are the hidden ones and the .pot holds the true ones: a second
// Hide or Randomize would make the hidden ones the saved ones, so the run asks
// first. A Restore reads only Players, and marks the note restored.

#include <filesystem>
#include <optional>
#include <string>

namespace tavrin::run {

// The problem that keeps the file from serving a Restore, in words ("it is
// not an SQLite database", "it has no Players table"), or nothing.
std::optional<std::string> ProblemWithSavedPotentials(const std::filesystem::path& pot);

struct SavedNote {
    std::string operation;  // "Hide" or "Randomize"
    std::string savedAt;    // ISO 8601, UTC
    std::string sha256;     // of the player file as saved, in hex
    std::string restoredAt; // empty until a Restore
};

// The note in the file; nothing where the file, its table or its row is
// missing (an older or hand-made .pot).
std::optional<SavedNote> ReadSavedNote(const std::filesystem::path& pot);
// Whether the player file still holds the potentials the note's run hid: no
// Restore came since, and the file is byte for byte the one that run saved.
// The run's question and the league report both ask this.
bool IsStillHidden(const SavedNote& note, const std::filesystem::path& pyr);
// Replaces the note: in a copy of the file that then replaces it whole.
void WriteSavedNote(const std::filesystem::path& pot, const SavedNote& note);

// SHA-256 of a file's bytes, in hex.
std::string Sha256Hex(const std::filesystem::path& file);

// The time now, ISO 8601 in UTC; and such a time as the user reads it, in
// local time ("5 Dec 2026 21:48").
std::string NowUtc();
std::string LocalTimeText(const std::string& isoUtc);

}  // namespace tavrin::run
