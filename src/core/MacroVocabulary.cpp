#include "core/MacroVocabulary.h"
#include "text/Ascii.h"

namespace qv {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return EqualsFoldedAscii(a, b);
}

int IndexOfText(const std::vector<std::string>& list, std::string_view text) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (EqualsIgnoreCase(list[i], text))
      return static_cast<int>(i);
  return -1;
}

MacroParameterKind ParameterKindOf(std::string_view action) {
  if (action == "Say" || action == "Emote" || action == "Whisper" || action == "Yell")
    return MacroParameterKind::FreeText;
  if (action == "Walk")
    return MacroParameterKind::WalkDirection;
  if (action == "Open" || action == "Close" || action == "Minimize" || action == "Maximize")
    return MacroParameterKind::WindowName;
  if (action == "CastSpell")
    return MacroParameterKind::SpellName;
  if (action == "UseSkill")
    return MacroParameterKind::SkillName;
  return MacroParameterKind::None;
}

} // namespace qv
