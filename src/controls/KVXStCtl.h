#pragma once

// The library's standard controls. Every form control of the program is of one of these classes
// (or of KvxWin95.h / KVXAdCtl.h). This header also brings in the larger members of the unit:
// TKVXCustomEdit and TKVXEdit (KVXEdit.h), TKVXComboBox (KVXComboBox.h), TKVXPanel (KVXPanel.h).
//
// Conventions of the whole library:
// - Getters carry the property's name (`Value()`, `Hint()`, `Required()`), setters are
//   `setXxx()`; every such pair is also a Q_PROPERTY of that name.
// - Hints: see TKVXHintHolder in KVXCommon.h. Never tool tips.
// - "Enabled means editable" on TKVXEdit, TKVXMemo and TKVXComboBox: `Enabled()` /
//   `setKVXEnabled(bool)`. False makes the control read-only, button-face coloured and skipped by
//   Tab, while its window stays usable (QWidget::setEnabled is never called for it). The other
//   controls use QWidget::setEnabled as usual.
// - Events are signals named after them: OnFind -> find(), OnChange -> changed(),
//   OnEnter -> entered(), OnExit -> exited(), OnResize -> resized(); OnValidate -> the
//   validate(bool*, bool*) signal and/or a TValidateEvent callback (setOnValidate).

#include "controls/KVXCommon.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace qv {

// The main window's menu bar.
class TKVXMainMenu : public QMenuBar {
  Q_OBJECT
public:
  using QMenuBar::QMenuBar;
};

// Field captions, and the marker strip of TKVXEdit.
class TKVXLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;
};

// A check box whose caption stands to the left of the box (the box sits at the right end of the
// control's rectangle); a click anywhere on the control toggles it.
class TKVXCheckBox : public QCheckBox, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
public:
  explicit TKVXCheckBox(QWidget* parent = nullptr);
  explicit TKVXCheckBox(const QString& caption, QWidget* parent = nullptr);
  void setHint(const QString& hint) { StoreHint(this, hint); }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
};

class TKVXListBox : public QListWidget, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
public:
  using QListWidget::QListWidget;
  void setHint(const QString& hint) { StoreHint(this, hint); }
};

class TKVXGroupBox : public QGroupBox {
  Q_OBJECT
public:
  using QGroupBox::QGroupBox;
};

// The small magnifier button of TKVXEdit: never takes the focus; 21 x 21 when constructed.
// Shows the normal or the disabled half of the resource glyph KVXBTNSEARCH.
class TKVXScrollButton : public QAbstractButton {
  Q_OBJECT
public:
  explicit TKVXScrollButton(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {21, 21}; }

protected:
  void paintEvent(QPaintEvent* event) override;
};

// The push button of every form.
//
// Tab order: `TabOrder()` is the button's number among its parent's buttons (the toolkit's tab
// order). A button gets the next free number when it first gets a parent; setKVXTabOrder(n) changes
// it, re-links Qt's focus chain of the parent's TKVXButtons in that order (equal numbers keep the
// order in which they were created) and, in a TKVXPanel, re-arranges the row.
//
// Default and cancel, in any top-level window (QMainWindow, QDialog or plain QWidget):
// - the default button is setKVXDefault(true); Enter or Return (no
//   modifiers but the keypad) clicks it when the focused control does not use the key itself,
//   i.e. when the key press reaches the window unaccepted. QLineEdit, QComboBox and the
//   read-only TKVXMemo pass Enter on; an editable TKVXMemo keeps it.
// - the cancel button is setCancel(true); Esc clicks it on the same terms.
// - a focused button takes Enter for itself (autoDefault is on).
// Only a visible, enabled button reacts. The window is found through window() whenever the
// button is shown or re-parented.
class TKVXButton : public QPushButton, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
  Q_PROPERTY(int TabOrder READ TabOrder WRITE setKVXTabOrder)
  Q_PROPERTY(bool Default READ Default WRITE setKVXDefault)
  Q_PROPERTY(bool Cancel READ Cancel WRITE setCancel)
public:
  explicit TKVXButton(QWidget* parent = nullptr);
  explicit TKVXButton(const QString& caption, QWidget* parent = nullptr);
  ~TKVXButton() override;

  void setHint(const QString& hint) { StoreHint(this, hint); }

  int TabOrder() const { return m_tabOrder; }
  void setKVXTabOrder(int order);

  bool Cancel() const { return m_cancel; }
  void setCancel(bool cancel);

  // The window's default button. Qt's own mark (QPushButton::isDefault) is not enough: outside a
  // QDialog, Qt takes it away from a button whenever the button loses the focus, so a page change
  // that passes the focus over Save would leave Enter doing nothing. This role stays as given,
  // and the button puts Qt's mark back when it loses the focus.
  bool Default() const { return m_default; }
  void setKVXDefault(bool value);

protected:
  bool event(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void WatchWindow();
  void TakeNextTabOrder();
  int m_tabOrder = -1;
  bool m_cancel = false;
  bool m_default = false;
  QPointer<QWidget> m_window;
};

// Tab order number of a panel child: a TKVXButton's TabOrder(); for any other widget its index
// among its parent's child widgets.
int TabOrderOf(const QWidget* widget);

// Multi-line text. `Enabled` False: read-only, not a tab stop (a click still focuses it),
// button-face background; it stays scrollable and its text can be selected and copied. `Required`
// is stored only. `CharCase` forces the letter case of typed text.
class TKVXMemo : public QPlainTextEdit, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
  Q_PROPERTY(bool Enabled READ Enabled WRITE setKVXEnabled)
  Q_PROPERTY(qv::TRequiredTypes Required READ Required WRITE setRequired)
  Q_PROPERTY(qv::TEditCharCase CharCase READ CharCase WRITE setCharCase)
public:
  explicit TKVXMemo(QWidget* parent = nullptr);

  void setHint(const QString& hint) { StoreHint(this, hint); }

  bool Enabled() const { return m_enabled; }
  void setKVXEnabled(bool enabled);

  TRequiredTypes Required() const { return m_required; }
  void setRequired(TRequiredTypes required) { m_required = required; }

  TEditCharCase CharCase() const { return m_charCase; }
  void setCharCase(TEditCharCase charCase);

  // The whole text, one line per entry (convenience for loading a file's lines).
  QStringList Lines() const;
  void setLines(const QStringList& lines);

private:
  void ApplyCharCase();
  bool m_enabled = true;
  TRequiredTypes m_required = rtNot;
  TEditCharCase m_charCase = ecNormal;
  bool m_casing = false;
};

} // namespace qv

#include "controls/KVXComboBox.h"
#include "controls/KVXEdit.h"
#include "controls/KVXPanel.h"
