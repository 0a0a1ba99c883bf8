#pragma once

// TKVXCustomEdit and TKVXEdit: the one-line edit field with find action and required marker.
// Included by KVXStCtl.h; include that.

#include "controls/KVXCommon.h"

#include <QLineEdit>
#include <QWidget>

namespace qv {

class TKVXLabel;
class TKVXScrollButton;

// An edit mask in the toolkit's syntax ("999;0; ", "!\(999\) 000-0000;0; "), translated to
// Qt's input mask. Mask characters: 0 digit required, 9 digit optional, # digit or sign
// optional, L/l letter required/optional, A/a letter or digit required/optional, C/c any
// character required/optional, > upper case, < lower case, <> no case change, \ next character
// literal, _ a blank literal; "!" is accepted and ignored. After the first ";" a "0" means the
// literal characters are not part of Text (default "1" keeps them); after the second ";" comes
// the blank (empty-place) character (default "_").
struct TEditMask {
  QString qtMask; // for QLineEdit::setInputMask; empty when there is no mask
  QString layout; // per displayed character: the literal, or a null QChar for an input place
  bool saveLiterals = true;
  QChar blank = u'_';

  static TEditMask Parse(const QString& editMask);
  bool IsEmpty() const { return qtMask.isEmpty(); }
  // The Text of a field that shows `display` (the displayed text, literals and blanks
  // included): the typed characters without blanks, with the literals if they are saved.
  QString TextOf(const QString& display) const;
  // The mask applied to the empty text, in the same form as TextOf.
  QString EmptyText() const;
};

// The masked edit inside TKVXEdit (usable on its own). Holds the text, the focus and the hint.
// - Scrollable: Ctrl+F (exactly Ctrl) and a double click run the find action (signal
//   findRequested) while Enabled; the hint carries the find suffix; the pointer is a hand.
// - Enabled (setKVXEnabled): see KVXStCtl.h. Also resets ReadOnly to !enabled.
// - Text(): the typed characters without the mask's blanks (and without literals when the mask
//   says so). EditText(): the text as displayed.
// - Leaving a non-empty field whose mask is not complete shows "Invalid input value.  Use escape
//   key to abandon changes" and keeps the focus; an empty field can always be left. With a mask,
//   Esc on a changed field restores the text it had on entering.
class TKVXCustomEdit : public QLineEdit, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(bool Scrollable READ Scrollable WRITE setScrollable)
  Q_PROPERTY(bool Enabled READ Enabled WRITE setKVXEnabled)
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
  Q_PROPERTY(QString EditMask READ EditMask WRITE setEditMask)
  Q_PROPERTY(QString Text READ Text WRITE setText)
public:
  explicit TKVXCustomEdit(QWidget* parent = nullptr);

  bool Scrollable() const { return m_scrollable; }
  void setScrollable(bool scrollable);

  bool Enabled() const { return m_enabled; }
  void setKVXEnabled(bool enabled);

  // Whether Tab reaches the field (a click always does).
  bool TabStop() const { return m_tabStop; }
  void setTabStop(bool tabStop);

  // Applies the hint rule with the current Scrollable.
  void setHint(const QString& hint);

  QString EditMask() const { return m_editMask; }
  void setEditMask(const QString& editMask);
  const TEditMask& ParsedMask() const { return m_mask; }

  // The text is set with QLineEdit::setText, which never fails: a text the mask refuses is taken
  // as far as it fits.
  QString Text() const;
  QString EditText() const;
  void setEditText(const QString& text);

  // 0 means no limit; unlike QLineEdit's maxLength, it outlives an edit mask.
  int MaxLength() const { return m_maxLength; }
  void setKVXMaxLength(int maxLength);

  TEditCharCase CharCase() const { return m_charCase; }
  void setCharCase(TEditCharCase charCase);

  // The character shown in place of each typed one; a null QChar shows the text. Qt draws its
  // own bullet for any other character.
  QChar PasswordChar() const { return m_passwordChar; }
  void setPasswordChar(QChar passwordChar);

  // The text equals the mask's empty form, or is empty.
  bool IsBlank() const;

  // Reports incomplete masked input on leaving; replaceable (tests, forms that report errors
  // their own way). The default shows a critical message box.
  static void setInvalidInputReporter(std::function<void(QWidget* field, const QString& text)>);

Q_SIGNALS:
  // Double click or Ctrl+F while Enabled and Scrollable.
  void findRequested();

protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  friend class TKVXEdit;
  void DblClick();
  bool IsCtrlF(const QKeyEvent* event) const;
  bool CheckComplete();
  void ApplyCharCase();

  bool m_scrollable = false;
  bool m_enabled = true;
  bool m_tabStop = true;
  QString m_editMask;
  TEditMask m_mask;
  int m_maxLength = 0;
  TEditCharCase m_charCase = ecNormal;
  QChar m_passwordChar;
  QString m_textOnEnter;
  bool m_casing = false;
  bool m_refocusing = false;
};

// The composite edit field (default 185 x 21). Forms use this class for every text field.
//
// Text:      Text()/setText() (setText never fails), EditText(), EditMask ("999;0; "),
//            MaxLength (0 = no limit), CharCase, PasswordChar, ReadOnly (set it after
//            setKVXEnabled, which resets it).
// Editable:  Enabled()/setKVXEnabled(bool); see KVXStCtl.h.
// Find:      setFind(true) shows the magnifier button while the field has the focus and is
//            Enabled, makes Ctrl+F (exactly Ctrl; Ctrl+Shift+F does nothing) and a double
//            click emit find(), and adds the find suffix to the hint.
// Hint:      setHint(text) applies the hint rule; the inner edit (the focus widget) holds the
//            result, so qv::ControlHint(QApplication::focusWidget()) reads it.
// Required:  setRequired(rtRequired / rtWarning); on leaving, Validate() marks a blank field
//            with a red "E" or a yellow "W" in a 13-pixel strip at the right end; entering
//            clears the marker. setOnValidate(callback) and/or the validate(bool*, bool*)
//            signal (connect directly; the flags are in-out) may change both flags.
// Signals:   changed() (every text change, also by setText), entered() and exited() (only while
//            Enabled), find(), validate(bool* ErrorField, bool* WarnField), resized() (never
//            emitted). sender() is the TKVXEdit.
// Focus:     the inner edit is the focus proxy; setFocus() on the field focuses it.
//            setTabStop(false) takes it out of the Tab chain.
// Leaving towards a TKVXButton with Cancel() under the mouse pointer (a click on the form's
// cancel button) runs none of the leaving steps: no exited(), no validation.
class TKVXEdit : public QWidget, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Text READ Text WRITE setText NOTIFY changed)
  Q_PROPERTY(QString EditText READ EditText WRITE setEditText)
  Q_PROPERTY(QString EditMask READ EditMask WRITE setEditMask)
  Q_PROPERTY(bool Enabled READ Enabled WRITE setKVXEnabled)
  Q_PROPERTY(bool Find READ Find WRITE setFind)
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
  Q_PROPERTY(int MaxLength READ MaxLength WRITE setMaxLength)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE setReadOnly)
  Q_PROPERTY(qv::TRequiredTypes Required READ Required WRITE setRequired)
  Q_PROPERTY(bool TabStop READ TabStop WRITE setTabStop)
  Q_PROPERTY(qv::TEditCharCase CharCase READ CharCase WRITE setCharCase)
  Q_PROPERTY(QChar PasswordChar READ PasswordChar WRITE setPasswordChar)
public:
  explicit TKVXEdit(QWidget* parent = nullptr);
  ~TKVXEdit() override;

  QString Text() const;
  void setText(const QString& text);
  QString EditText() const;
  void setEditText(const QString& text);
  QString EditMask() const { return m_editMask; }
  void setEditMask(const QString& editMask);
  int MaxLength() const { return m_maxLength; }
  void setMaxLength(int maxLength);
  TEditCharCase CharCase() const;
  void setCharCase(TEditCharCase charCase);
  QChar PasswordChar() const;
  void setPasswordChar(QChar passwordChar);
  bool ReadOnly() const;
  void setReadOnly(bool readOnly);

  bool Enabled() const;
  void setKVXEnabled(bool enabled);

  bool Find() const { return m_find; }
  void setFind(bool find);

  QString Hint() const override;
  void setHint(const QString& hint);

  TRequiredTypes Required() const { return m_required; }
  void setRequired(TRequiredTypes required) { m_required = required; }
  void setOnValidate(TValidateEvent handler) { m_onValidate = std::move(handler); }

  bool TabStop() const { return m_tabStop; }
  void setTabStop(bool tabStop);

  // Runs the required test and OnValidate, and sets the marker (shown while Enabled); true when
  // there is no error. Leaving the field runs it.
  bool Validate();
  // The marker letter: "E", "W" or empty.
  QString Marker() const;

  TKVXCustomEdit* Edit() const { return m_edit; }
  TKVXScrollButton* FindButton() const { return m_findButton; }

  QSize sizeHint() const override { return {185, 21}; }

Q_SIGNALS:
  void changed();
  void entered();
  void exited();
  void find();
  void validate(bool* ErrorField, bool* WarnField);
  void resized();

protected:
  void resizeEvent(QResizeEvent* event) override;
  void ShowError();
  void ShowWarning();

private:
  friend class TKVXCustomEdit;
  void UpdateLayout();
  void DoFind();
  void DoChange();
  void DoEnter();
  void DoExit();

  TKVXScrollButton* m_findButton = nullptr;
  TKVXCustomEdit* m_edit = nullptr;
  QString m_editMask;
  bool m_find = false;
  TKVXLabel* m_band = nullptr;
  TKVXLabel* m_letter = nullptr;
  int m_maxLength = 0;
  TRequiredTypes m_required = rtNot;
  bool m_tabStop = true;
  TValidateEvent m_onValidate;
};

} // namespace qv
