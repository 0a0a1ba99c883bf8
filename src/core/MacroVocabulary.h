#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The macro vocabulary of MACROS.TXT: key names, action names, which action takes which kind of
// parameter, and the fixed parameter lists. The lists are kept exactly as the macro editor shows
// them, duplicates included ("\" stands twice among the keys, "QuitGame" twice among the actions,
// "Cure" twice among the spells), so that indices in the combo boxes match these arrays.
namespace qv {

// The 86 items of cboxKey, in order.
inline constexpr std::array<std::string_view, 86> kKeyNames = {
    "Esc",   "1",     "2",     "3",         "4",         "5",     "6",     "7",     "8",
    "9",     "0",     "-",     "=",         "Backspace", "Tab",   "Q",     "W",     "E",
    "R",     "T",     "Y",     "U",         "I",         "O",     "P",     "[",     "]",
    "Enter", "Ctrl",  "A",     "S",         "D",         "F",     "G",     "H",     "J",
    "K",     "L",     ";",     "'",         "`",         "Shift", "\\",    "Z",     "X",
    "C",     "V",     "B",     "N",         "M",         ",",     ".",     "/",     "Right Shift",
    "Num *", "Alt",   "Space", "Caps Lock", "F1",        "F2",    "F3",    "F4",    "F5",
    "F6",    "F7",    "F8",    "F9",        "F10",       "F11",   "F12",   "Pause", "Scroll Lock",
    "Num 7", "Num 8", "Num 9", "Num -",     "Num 4",     "Num 5", "Num 6", "Num +", "Num 1",
    "Num 2", "Num 3", "Num 0", "Num Del",   "\\"};

// The 22 items of cboxMacro1 to cboxMacro10, in order.
inline constexpr std::array<std::string_view, 22> kActionNames = {
    "AllNames",  "Bow",       "CastSpell", "Close",    "Emote", "LastObject",
    "LastSkill", "LastSpell", "Maximize",  "Minimize", "Open",  "OpenDoor",
    "QuitGame",  "Paste",     "QuitGame",  "Salute",   "Say",   "UseSkill",
    "Walk",      "War/Peace", "Whisper",   "Yell"};

// The parameter lists, in the order FillParameterLists fills them.
inline constexpr std::array<std::string_view, 8> kWalkDirections = {
    "NW (top)",    "N (topright)",   "NE (right)", "E (bottomright)",
    "SE (bottom)", "S (bottomleft)", "SW (left)",  "W (topleft)"};

inline constexpr std::array<std::string_view, 9> kWindowNames = {
    "Configuration", "Paperdoll",      "Status",   "Journal", "Skills",
    "Spellbook",     "Fighting Style", "Backpack", "Overview"};

inline constexpr std::array<std::string_view, 40> kSkillNames = {"Alchemy",
                                                                 "Anatomy",
                                                                 "Animal Lore",
                                                                 "Animal Taming",
                                                                 "Arms Lore",
                                                                 "Begging",
                                                                 "Blacksmithy",
                                                                 "Bowcraft/Fletching",
                                                                 "Camping",
                                                                 "Carpentry",
                                                                 "Cartography",
                                                                 "Cooking",
                                                                 "Detecting Hidden",
                                                                 "Enticement",
                                                                 "Evaluating Intellect",
                                                                 "Fishing",
                                                                 "Forensic Evaluation",
                                                                 "Healing",
                                                                 "Herding",
                                                                 "Hiding",
                                                                 "Inscription",
                                                                 "Item Indentification",
                                                                 "Lockpicking",
                                                                 "Lumberjacking",
                                                                 "Magery",
                                                                 "Mining",
                                                                 "Musicianship",
                                                                 "Parrying",
                                                                 "Peacemaking",
                                                                 "Poisoning",
                                                                 "Provocation",
                                                                 "Resisting Spells",
                                                                 "Snooping",
                                                                 "Spirit Speak",
                                                                 "Stealing",
                                                                 "Tailoring",
                                                                 "Taste Identification",
                                                                 "Tinkering",
                                                                 "Tracking",
                                                                 "Veterinary"};

// Eight per circle, first circle first.
inline constexpr std::array<std::string_view, 64> kSpellNames = {"Reactive Armor",
                                                                 "Create Food",
                                                                 "Clumsy",
                                                                 "Feeblemind",
                                                                 "Heal",
                                                                 "Magic Arrow",
                                                                 "Night Sight",
                                                                 "Weaken",
                                                                 "Agility",
                                                                 "Cunning",
                                                                 "Cure",
                                                                 "Harm",
                                                                 "Magic Trap",
                                                                 "Remove Trap",
                                                                 "Protection",
                                                                 "Strength",
                                                                 "Bless",
                                                                 "Fireball",
                                                                 "Magic Lock",
                                                                 "Poison",
                                                                 "Telekinesis",
                                                                 "Teleport",
                                                                 "Unlock",
                                                                 "Wall of Stone",
                                                                 "Archcure",
                                                                 "Archprotection",
                                                                 "Cure",
                                                                 "Fire Field",
                                                                 "Greater Heal",
                                                                 "Lightning",
                                                                 "Mana Drain",
                                                                 "Recall",
                                                                 "Blade Spirits",
                                                                 "Dispel Field",
                                                                 "Incognito",
                                                                 "Magic Reflection",
                                                                 "Mind Blast",
                                                                 "Paralyze",
                                                                 "Poison Field",
                                                                 "Summon Creature",
                                                                 "Dispel",
                                                                 "Energy Bolt",
                                                                 "Explosion",
                                                                 "Invisibility",
                                                                 "Mark",
                                                                 "Mass Curse",
                                                                 "Paralyze Field",
                                                                 "Reveal",
                                                                 "Chain Lightning",
                                                                 "Energy Field",
                                                                 "Flame Strike",
                                                                 "Gate Travel",
                                                                 "Mana Vampire",
                                                                 "Mass Dispel",
                                                                 "Meteor Swarm",
                                                                 "Polymorph",
                                                                 "Earthquake",
                                                                 "Energy Vortex",
                                                                 "Resurrection",
                                                                 "Summon Air Elemental",
                                                                 "Summon Daemon",
                                                                 "Summon Earth Elemental",
                                                                 "Summon Fire Elemental",
                                                                 "Summon Water Elemental"};

// The kind of parameter an action takes, and so which control of its panel row is shown.
enum class MacroParameterKind {
  None,          // no parameter control
  FreeText,      // the row's edit field: "Say", "Emote", "Whisper", "Yell"
  WalkDirection, // the row's list, filled from walkDirections: "Walk"
  WindowName,    // the row's list, filled from windowNames: "Open", "Close", "Minimize", "Maximize"
  SpellName,     // the row's list, filled from spellNames: "CastSpell"
  SkillName,     // the row's list, filled from skillNames: "UseSkill"
};

// The parameter kind of an action named exactly as in kActionNames; None for any other text.
MacroParameterKind ParameterKindOf(std::string_view action);

// The first entry equal to the text without regard to letter case (A-Z only, as the game's
// names are plain ASCII), or -1 when there is none. This is how key names, action names and list
// parameters read from the file select an item.
int IndexOfText(const std::vector<std::string>& list, std::string_view text);
template <std::size_t N>
int IndexOfText(const std::array<std::string_view, N>& list, std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

template <std::size_t N>
int IndexOfText(const std::array<std::string_view, N>& list, std::string_view text) {
  for (std::size_t i = 0; i < N; ++i)
    if (EqualsIgnoreCase(list[i], text))
      return static_cast<int>(i);
  return -1;
}

} // namespace qv
