#pragma once

// Types and the hint machinery shared by every control of the library.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

namespace qv {

// Required-field marking of the edit field (stored only on the combo box and the memo).
enum TRequiredTypes : std::uint8_t { rtNot = 0, rtRequired = 1, rtWarning = 2 };

// The built-in item lists of TKVXComboBox.
enum TBoxTypes : std::uint8_t {
  btNormal = 0,
  btAccident = 1,
  btAccountType = 2,
  btCondition = 3,
  btMS = 4,
  btOther = 5,
  btReason = 6,
  btRel = 7,
  btSex = 8,
  btSexBoth = 9,
  btYesNo = 10
};

// Horizontal placement: TKVXPanel's button row, status panel texts.
enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// Letter case forced on typed text.
enum TEditCharCase : std::uint8_t { ecNormal = 0, ecUpperCase = 1, ecLowerCase = 2 };

// Called when an edit field is left, after the Required test: may set or clear either flag.
// Sender is the control being validated (a TKVXEdit).
using TValidateEvent = std::function<void(QObject* Sender, bool& ErrorField, bool& WarnField)>;

// The find suffix that controls with the find action carry in their hint.
inline constexpr const char* kFindHintSuffix = "|CTRL-F or Double Click for find";

// The hint rule: strips the old scroll/search/find suffixes once each, trims blanks and control
// characters, and appends " |CTRL-F or Double Click for find" (only the suffix when the rest is
// empty) when `scrollable`. Applying it twice gives the same text.
QString ApplyHintRule(const QString& hint, bool scrollable);

// A hint holds a short part before the first "|" and a long part after it; a hint without "|"
// is both.
QString GetShortHint(const QString& hint);
QString GetLongHint(const QString& hint);

// Trims blanks and control characters (everything up to U+0020) at both ends.
QString TrimControls(const QString& text);

// Every library control that has a help line derives from this (besides its Qt class).
// A hint is never a tool tip or a status tip: the main window shows it in its status bar
// while the control has the focus. A form reads the focused control's hint with
//   qv::ControlHint(QApplication::focusWidget())
// and refreshes its status bar on QApplication::focusChanged and on
// TKVXHintNotifier::instance()->hintChanged(control) (any control's hint was set).
class TKVXHintHolder {
public:
  virtual ~TKVXHintHolder() = default;
  // The hint as the status bar should read it (already normalised by the hint rule where the
  // control applies it).
  virtual QString Hint() const { return m_hint; }

protected:
  // Stores the text and tells TKVXHintNotifier; `self` is the widget that holds the hint.
  void StoreHint(QWidget* self, const QString& hint);

private:
  QString m_hint;
};

// The hint of a widget: its own if it is a TKVXHintHolder; otherwise that of its focus proxy, or
// of the parent whose focus proxy it is (the parts of a composite); otherwise empty. Null gives
// the empty text.
QString ControlHint(const QWidget* widget);

// Application-wide notice that a control's hint changed (the toolkit's hint-change event).
class TKVXHintNotifier : public QObject {
  Q_OBJECT
public:
  static TKVXHintNotifier* instance();

Q_SIGNALS:
  // `control` is the widget whose hint was set; compare it with QApplication::focusWidget().
  void hintChanged(QWidget* control);

private:
  TKVXHintNotifier() = default;
};

} // namespace qv
