#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/MainState.h"

// The configuration sets as the registry keeps them: one key per set below kSetsKey whose "Ext"
// names the set's copies in QRVDAT, and beside them "Current" (the current set's name) and
// "NextExt" (the number the next new set takes). Shared by the sets dialog and the command line,
// so that both apply the same name rules and never hand out a number twice.
namespace qv {

inline constexpr std::string_view kSetsKey = "\\SOFTWARE\\Quorvel\\UOXConfigs";
inline constexpr std::string_view kOriginalSetName = "Original Configuration";
// Counted in UTF-16 units, as the dialog's edit counts them.
inline constexpr std::size_t kMaxSetNameLength = 50;

inline constexpr std::string_view kDuplicateSetNameText = "Dupicate configuration names.";
inline constexpr std::string_view kNoMoreSetsText =
    "No more configurations can be added: all configuration numbers are in use.";

// The key of a set.
std::string SetKey(std::string_view name);

// The warning for a name that a new or renamed set cannot take, empty when it can: nothing but
// blanks, a backslash (the registry would take it as a further key level), a control character,
// text that is not UTF-8, more than kMaxSetNameLength characters, or a name the registry takes
// for one of `existing` (both trimmed: the registry folds letter case its own way).
std::string SetNameRefusal(const std::string& name, const std::vector<std::string>& existing);

// The listed set the registry takes for `name`, as the dialog matches names (both trimmed);
// nullopt when there is none.
std::optional<std::string> FindSet(const std::vector<std::string>& sets, const std::string& name);

// The sets in the registry's order; none when the key is missing. Reads only.
std::vector<std::string> ListSets();
// "Current", or kOriginalSetName when it is missing.
std::string CurrentSetName();
// The set's extension as Set to Current takes it (ValidSetExt of its "Ext").
std::string SetExt(const std::string& name);

// The extension of a new set, three digits at least: takes NextExt's number (at least 2, below
// it are the original set's files) and stores the next one first, so that a number is never
// handed out twice. With `state`, numbers whose copies already exist in QRVDAT or that a listed
// set names are passed over. nullopt when no number is left (kNoMoreSetsText).
std::optional<std::string> TakeSetExt(const MainState* state = nullptr);
// The extension of a set numbered n.
std::string SetExtOf(std::int32_t n);

// Copies the three copies of the set with extension fromExt to toExt. Throws "Cannot create file
// <target>" (the reason on a second line) at the first that fails; waits for a save of another
// window like SaveCurrentSet.
void CopySetFiles(const MainState& state, const std::string& fromExt, const std::string& toExt);

} // namespace qv
