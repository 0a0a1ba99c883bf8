#pragma once

// TKVXComboBox: the coded combo box. Included by KVXStCtl.h; include that.

#include "controls/KVXCommon.h"

#include <QComboBox>

namespace qv {

// Items are written "<code> - <text>" ("Y - Yes"); the code is the item's first character.
//
// Value:        Value() is the selected item's code ("" without a selection, and always "" for
//               btOther). setValue(v) trims v and selects the first item whose code equals it
//               (case-sensitive); failing that, once, the item of ValueDefault(); else nothing.
//               setValue emits neither changed() nor touches SavedValue().
// BoxType:      setBoxType(btYesNo ...) replaces the items with the built-in list and makes the
//               box pick-only; btNormal and btOther leave the items alone.
// Editable:     Enabled()/setKVXEnabled(bool); see KVXStCtl.h. A user pick on a box that is not
//               Enabled is undone at once (back to SavedValue(), with the ValueDefault
//               fallback) and changed() is not emitted.
// changed():    the user picked an item while Enabled (mouse, keys or wheel). Use it rather
//               than QComboBox::currentIndexChanged, which also fires for setValue and undos.
// doubleClicked(): a double click, or Ctrl+F (exactly Ctrl) when Scrollable, while Enabled.
// Hint:         setHint applies the hint rule with Scrollable; setScrollable re-applies it.
// Required, setOnValidate: stored only.
class TKVXComboBox : public QComboBox, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(qv::TBoxTypes BoxType READ BoxType WRITE setBoxType)
  Q_PROPERTY(bool Enabled READ Enabled WRITE setKVXEnabled)
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
  Q_PROPERTY(qv::TRequiredTypes Required READ Required WRITE setRequired)
  Q_PROPERTY(bool Scrollable READ Scrollable WRITE setScrollable)
  Q_PROPERTY(QString Value READ Value WRITE setValue)
  Q_PROPERTY(QString ValueDefault READ ValueDefault WRITE setValueDefault)
  Q_PROPERTY(QString SavedValue READ SavedValue)
public:
  explicit TKVXComboBox(QWidget* parent = nullptr);

  TBoxTypes BoxType() const { return m_boxType; }
  void setBoxType(TBoxTypes boxType);

  bool Enabled() const { return m_enabled; }
  void setKVXEnabled(bool enabled);

  void setHint(const QString& hint);

  TRequiredTypes Required() const { return m_required; }
  void setRequired(TRequiredTypes required) { m_required = required; }
  void setOnValidate(TValidateEvent handler) { m_onValidate = std::move(handler); }

  bool Scrollable() const { return m_scrollable; }
  void setScrollable(bool scrollable);

  QString Value() const;
  void setValue(const QString& value);

  QString ValueDefault() const { return m_valueDefault; }
  void setValueDefault(const QString& valueDefault) { m_valueDefault = valueDefault; }

  QString SavedValue() const { return m_savedValue; }

  // The built-in items of a box type (empty for btNormal and btOther).
  static QStringList ItemsOf(TBoxTypes boxType);
  // The code of an item text: its first character, or "" for an empty item.
  static QString CodeOf(const QString& item);

  QSize sizeHint() const override;

Q_SIGNALS:
  void changed();
  void doubleClicked();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  void UserPicked(int index);
  void DblClick();

  bool m_valueGuard = false;
  TBoxTypes m_boxType = btNormal;
  bool m_enabled = true;
  TRequiredTypes m_required = rtNot;
  bool m_scrollable = false;
  QString m_valueDefault;
  TValidateEvent m_onValidate;
  QString m_savedValue;
};

} // namespace qv
