#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/MainState.h"

// The configuration sets as the registry keeps them: one key per set below
// HKEY_LOCAL_MACHINE\SOFTWARE\Quorvel\UOXConfigs whose "Ext" names the set's copies in QRVDAT,
// and beside them "Current" (the current set's name) and "NextExt" (the number the next new set
// takes). This unit is the only one that reads or writes that layout: the window's start, the
// sets dialog and the command line all go through it, so that they apply the same rules.
//
// Every change is one change of the registry: a set is registered with its "Ext" at once, and a
// rename moves the key, its "Ext" and "Current" together. Where the registry is a Wine hive, a
// program stopped at any moment leaves the hive as it was before or after the change.
//
// A key without a valid "Ext" (digits only) is a damaged set: it is listed, it can be deleted,
// and nothing else is done with it. Reading it as the original set's "001" would make two sets
// share the same files.
namespace qv {

inline constexpr std::string_view kOriginalSetName = "Original Configuration";
inline constexpr std::string_view kOriginalSetExt = "001";
// Counted in UTF-16 units, as the dialog's edit counts them.
inline constexpr std::size_t kMaxSetNameLength = 50;

inline constexpr std::string_view kDuplicateSetNameText = "Dupicate configuration names.";
inline constexpr std::string_view kNoMoreSetsText =
    "No more configurations can be added: all configuration numbers are in use.";

// One set as listed: its name as the registry spells it, and its extension; no extension when
// the set is damaged.
struct SetEntry {
  std::string name;
  std::optional<std::string> ext;

  bool Damaged() const { return !ext; }
  bool operator==(const SetEntry&) const = default;
};

// The text that tells of a damaged set, for the dialog and the command line.
std::string DamagedSetText(const std::string& name);

// True when the two names are one set: trimmed, they are the same registry key, letter case
// folded as the registry folds it.
bool SameSetName(const std::string& a, const std::string& b);

// The warning for a name that a new or renamed set cannot take, empty when it can: nothing but
// blanks, a backslash (the registry would take it as a further key level), a control character,
// text that is not UTF-8, more than kMaxSetNameLength characters, or a name the registry takes
// for one of `existing` (both trimmed: the registry folds letter case its own way).
std::string SetNameRefusal(const std::string& name, const std::vector<std::string>& existing);

// The listed set the registry takes for `name`, as the dialog matches names (both trimmed);
// nullopt when there is none.
std::optional<std::string> FindSet(const std::vector<std::string>& sets, const std::string& name);

// The sets in the registry's order, with their extensions; none when the key is missing. Reads
// only.
std::vector<SetEntry> ListSetEntries();
// Their names.
std::vector<std::string> ListSets();
// Creates the key of the sets when it is missing (the sets dialog opens on it).
void CreateSetsKey();
// "Current", or kOriginalSetName when it is missing.
std::string CurrentSetName();
// The set's extension; nullopt when the set is damaged or there is no such set.
std::optional<std::string> SetExt(const std::string& name);

// The set start-up works on: the one "Current" names, or the original set's files ("001") when
// that set is missing or damaged; then `problem` says so for the player (empty otherwise, and
// when "Current" names the original set, which the first run registers).
struct CurrentSetChoice {
  std::string name;
  std::string ext;
  std::string problem;
};
CurrentSetChoice ChooseCurrentSet();

// Registers a new set whose files with extension `ext` exist already: its key and its "Ext" in
// one change.
void RegisterSet(const std::string& name, const std::string& ext);
// Gives the set a new name in one change: the key with its "Ext" under the new name, "Current"
// moved along when it named the set, the old key removed. A change of letter case alone is a
// rename too.
void RenameSet(const std::string& oldName, const std::string& newName);
// Removes the set's key; its files stay.
void DeleteSet(const std::string& name);
// Writes "Current". A damaged or missing set is refused.
void MakeSetCurrent(const std::string& name);
// Registers "Original Configuration" with "001" when its three copies exist and no set has that
// extension yet (a renamed original keeps it). True when it registered.
bool RegisterOriginalSet(const MainState& state);

// The extension of a new set, three digits at least: takes NextExt's number (at least 2, below
// it are the original set's files) and stores the next one first, so that a number is never
// handed out twice. With `state`, numbers whose copies already exist in QRVDAT or that a listed
// set names are passed over. nullopt when no number is left (kNoMoreSetsText).
std::optional<std::string> TakeSetExt(const MainState* state = nullptr);
// The extension of a set numbered n.
std::string SetExtOf(std::int32_t n);

// The three ways a set is made. Each takes a new number (TakeSetExt), writes the set's files and
// registers it last, so that a listed set always has its files. nullopt when no number is left
// (kNoMoreSetsText); a file that cannot be written throws "Cannot create file <path>" (the reason
// on a second line) and the set is not registered. The name is taken as given: the caller
// applies SetNameRefusal.
//
// Add: the current set's copies (state.currentSetExt); a copy the current set lacks is skipped.
std::optional<std::string> AddSet(const MainState& state, const std::string& name);
// Duplicate: the copies of the set `from` as last saved; a damaged set throws DamagedSetText.
std::optional<std::string> DuplicateSet(const MainState& state, const std::string& from,
                                        const std::string& name);
// Import: the three files' bytes (UO.CFG, MACROS.TXT, LOGIN.CFG).
std::optional<std::string> ImportSet(const MainState& state, const std::string& name,
                                     const std::array<std::string, 3>& files);

// Copies the three copies of the set with extension fromExt to toExt. Throws "Cannot create file
// <target>" (the reason on a second line) at the first that fails; waits for a save of another
// window like SaveCurrentSet.
void CopySetFiles(const MainState& state, const std::string& fromExt, const std::string& toExt);

} // namespace qv
