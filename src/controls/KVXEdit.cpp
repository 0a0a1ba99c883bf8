#include "controls/KVXStCtl.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <QValidator>

#include <utility>

namespace qv {

// ---------------------------------------------------------------------------------------------
// TEditMask

namespace {

// Splits at the ";" that are not escaped by "\".
QStringList SplitMaskFields(const QString& editMask) {
  QStringList fields{QString()};
  for (qsizetype i = 0; i < editMask.size(); ++i) {
    const QChar c = editMask.at(i);
    if (c == u'\\' && i + 1 < editMask.size()) {
      fields.back() += c;
      fields.back() += editMask.at(++i);
    } else if (c == u';' && fields.size() < 3) {
      fields.append(QString());
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

QChar QtPlaceChar(QChar c) {
  switch (c.unicode()) {
  case '0':
    return u'9';
  case '9':
    return u'0';
  case '#':
    return u'#';
  case 'L':
    return u'A';
  case 'l':
    return u'a';
  case 'A':
    return u'N';
  case 'a':
    return u'n';
  case 'C':
    return u'X';
  case 'c':
    return u'x';
  default:
    return QChar();
  }
}

} // namespace

TEditMask TEditMask::Parse(const QString& editMask) {
  TEditMask mask;
  if (editMask.isEmpty())
    return mask;
  const QStringList fields = SplitMaskFields(editMask);
  if (fields.size() > 1 && fields[1].startsWith(u'0'))
    mask.saveLiterals = false;
  if (fields.size() > 2 && !fields[2].isEmpty())
    mask.blank = fields[2].at(0);

  const QString& source = fields[0];
  QString qt;
  for (qsizetype i = 0; i < source.size(); ++i) {
    const QChar c = source.at(i);
    if (c == u'\\') {
      if (i + 1 >= source.size())
        break;
      const QChar literal = source.at(++i);
      qt += u'\\';
      qt += literal;
      mask.layout += literal;
    } else if (c == u'>') {
      if (i + 1 < source.size() && source.at(i + 1) == u'<') {
        qt += u'!';
        ++i;
      } else {
        qt += u'>';
      }
    } else if (c == u'<') {
      qt += u'<';
    } else if (c == u'!') {
      // Leading-blank display of optional places: Qt has no such mode.
    } else if (const QChar place = QtPlaceChar(c); !place.isNull()) {
      qt += place;
      mask.layout += QChar();
    } else {
      const QChar literal = c == u'_' ? QChar(u' ') : c;
      qt += u'\\';
      qt += literal;
      mask.layout += literal;
    }
  }
  if (mask.layout.isEmpty())
    return TEditMask{};
  mask.qtMask = qt + u';' + mask.blank;
  return mask;
}

QString TEditMask::TextOf(const QString& display) const {
  QString text;
  for (qsizetype i = 0; i < display.size() && i < layout.size(); ++i) {
    if (layout.at(i).isNull()) {
      if (display.at(i) != blank)
        text += display.at(i);
    } else if (saveLiterals) {
      text += layout.at(i);
    }
  }
  return text;
}

QString TEditMask::EmptyText() const {
  QString display = layout;
  for (QChar& c : display) {
    if (c.isNull())
      c = blank;
  }
  return TextOf(display);
}

// ---------------------------------------------------------------------------------------------
// TKVXCustomEdit

namespace {

class CaseValidator : public QValidator {
public:
  CaseValidator(TEditCharCase charCase, QObject* parent) : QValidator(parent), m_case(charCase) {}
  State validate(QString& input, int&) const override {
    input = m_case == ecUpperCase ? input.toUpper() : input.toLower();
    return Acceptable;
  }

private:
  TEditCharCase m_case;
};

std::function<void(QWidget*, const QString&)>& InvalidInputReporter() {
  static std::function<void(QWidget*, const QString&)> reporter = [](QWidget* field,
                                                                     const QString& text) {
    QMessageBox::critical(field ? field->window() : nullptr, QApplication::applicationName(), text);
  };
  return reporter;
}

bool LeavesField(Qt::FocusReason reason) {
  // Another window or a pop-up menu taking the focus is not leaving the field.
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

const QString kPhoneMask = QStringLiteral("!\\(999\\) 000-0000;0; ");
const QString kPhoneMaskNoBlank = QStringLiteral("!\\(999\\)000-0000;0; ");

} // namespace

void TKVXCustomEdit::setInvalidInputReporter(
    std::function<void(QWidget* field, const QString& text)> reporter) {
  InvalidInputReporter() = std::move(reporter);
}

TKVXCustomEdit::TKVXCustomEdit(QWidget* parent) : QLineEdit(parent) {
  resize(width(), 21);
  setKVXEnabled(true);
}

void TKVXCustomEdit::setScrollable(bool scrollable) {
  if (scrollable == m_scrollable)
    return;
  m_scrollable = scrollable;
  setHint(Hint());
}

void TKVXCustomEdit::setHint(const QString& hint) {
  StoreHint(this, ApplyHintRule(hint, m_scrollable));
  if (m_scrollable)
    setCursor(Qt::PointingHandCursor);
  else
    unsetCursor();
}

void TKVXCustomEdit::setKVXEnabled(bool enabled) {
  m_enabled = enabled;
  setTabStop(enabled);
  QLineEdit::setReadOnly(!enabled);
  QPalette pal = palette();
  const QPalette standard = QApplication::palette(this);
  pal.setColor(QPalette::Base, standard.color(enabled ? QPalette::Base : QPalette::Button));
  setPalette(pal);
}

void TKVXCustomEdit::setTabStop(bool tabStop) {
  m_tabStop = tabStop;
  setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

void TKVXCustomEdit::setEditMask(const QString& editMask) {
  m_editMask = editMask;
  m_mask = TEditMask::Parse(editMask);
  setInputMask(m_mask.qtMask);
  if (m_mask.IsEmpty())
    QLineEdit::setMaxLength(m_maxLength > 0 ? m_maxLength : 32767);
}

QString TKVXCustomEdit::Text() const {
  if (m_mask.IsEmpty() || echoMode() != QLineEdit::Normal)
    return QLineEdit::text();
  return m_mask.TextOf(displayText());
}

QString TKVXCustomEdit::EditText() const {
  if (m_mask.IsEmpty() || echoMode() != QLineEdit::Normal)
    return QLineEdit::text();
  return displayText();
}

void TKVXCustomEdit::setEditText(const QString& text) {
  QLineEdit::setText(text);
}

void TKVXCustomEdit::setKVXMaxLength(int maxLength) {
  m_maxLength = std::max(0, maxLength);
  if (m_mask.IsEmpty())
    QLineEdit::setMaxLength(m_maxLength > 0 ? m_maxLength : 32767);
}

void TKVXCustomEdit::setCharCase(TEditCharCase charCase) {
  m_charCase = charCase;
  delete validator();
  setValidator(charCase == ecNormal ? nullptr : new CaseValidator(charCase, this));
  ApplyCharCase();
}

void TKVXCustomEdit::ApplyCharCase() {
  if (m_charCase == ecNormal)
    return;
  const QString text = QLineEdit::text();
  const QString cased = m_charCase == ecUpperCase ? text.toUpper() : text.toLower();
  if (cased != text)
    QLineEdit::setText(cased);
}

void TKVXCustomEdit::setPasswordChar(QChar passwordChar) {
  m_passwordChar = passwordChar;
  setEchoMode(passwordChar.isNull() ? QLineEdit::Normal : QLineEdit::Password);
}

bool TKVXCustomEdit::IsBlank() const {
  const QString text = Text();
  return text.isEmpty() || (!m_mask.IsEmpty() && text == m_mask.EmptyText());
}

bool TKVXCustomEdit::IsCtrlF(const QKeyEvent* event) const {
  return event->key() == Qt::Key_F &&
         (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

void TKVXCustomEdit::DblClick() {
  if (m_enabled && m_scrollable)
    Q_EMIT findRequested();
}

bool TKVXCustomEdit::event(QEvent* event) {
  // Ctrl+F belongs to the field while it has the find action, whatever shortcuts the window has.
  if (event->type() == QEvent::ShortcutOverride && m_scrollable &&
      IsCtrlF(static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QLineEdit::event(event);
}

void TKVXCustomEdit::keyPressEvent(QKeyEvent* event) {
  if (m_scrollable && IsCtrlF(event)) {
    DblClick();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !m_mask.IsEmpty() &&
      !isReadOnly() && QLineEdit::text() != m_textOnEnter) {
    // A masked field abandons the changes on Esc.
    QLineEdit::setText(m_textOnEnter);
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TKVXCustomEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  QLineEdit::mouseDoubleClickEvent(event);
  DblClick();
}

void TKVXCustomEdit::focusInEvent(QFocusEvent* event) {
  // Coming back after refused input is no new entry: the field was never left.
  const bool entering = LeavesField(event->reason()) && !std::exchange(m_refocusing, false);
  auto* composite = qobject_cast<TKVXEdit*>(parentWidget());
  if (entering && composite)
    composite->DoEnter();
  QLineEdit::focusInEvent(event);
  if (!entering)
    return;
  m_textOnEnter = QLineEdit::text();
  if (!Text().isEmpty()) {
    if (m_editMask == kPhoneMask)
      setCursorPosition(6);
    else if (m_editMask == kPhoneMaskNoBlank)
      setCursorPosition(5);
  }
}

bool TKVXCustomEdit::CheckComplete() {
  if (m_mask.IsEmpty() || IsBlank() || hasAcceptableInput())
    return true;
  QTimer::singleShot(0, this, [this] {
    InvalidInputReporter()(
        this, QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
    m_refocusing = true;
    setFocus(Qt::OtherFocusReason);
    if (!hasFocus())
      m_refocusing = false;
  });
  return false;
}

void TKVXCustomEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (!LeavesField(event->reason()))
    return;
  if (!CheckComplete())
    return;
  if (auto* composite = qobject_cast<TKVXEdit*>(parentWidget()))
    composite->DoExit();
}

// ---------------------------------------------------------------------------------------------
// TKVXEdit

namespace {
constexpr int kFindButtonWidth = 13;
} // namespace

TKVXEdit::TKVXEdit(QWidget* parent) : QWidget(parent) {
  resize(185, 21);
  setFocusPolicy(Qt::NoFocus);

  m_edit = new TKVXCustomEdit(this);
  m_edit->setObjectName(QStringLiteral("Ed"));
  m_edit->move(0, 0);
  setFocusProxy(m_edit);
  connect(m_edit, &QLineEdit::textChanged, this, &TKVXEdit::DoChange);
  connect(m_edit, &TKVXCustomEdit::findRequested, this, &TKVXEdit::DoFind);
  connect(this, &QObject::objectNameChanged, m_edit,
          [this](const QString& name) { m_edit->setObjectName(name + QStringLiteral("Ed")); });

  m_findButton = new TKVXScrollButton(this);
  m_findButton->resize(kFindButtonWidth, height());
  m_findButton->hide();
  connect(m_findButton, &QAbstractButton::clicked, this, &TKVXEdit::DoFind);

  m_band = new TKVXLabel(this);
  m_letter = new TKVXLabel(this);
  for (TKVXLabel* label : {m_band, m_letter}) {
    label->resize(0, 0);
    label->hide();
    label->setAutoFillBackground(true);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  m_letter->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // A bold letter, small enough that "W" fits the strip after its 1-pixel indent.
  QFont bold = m_letter->font();
  bold.setBold(true);
  int pixels = QFontInfo(bold).pixelSize();
  for (; pixels > 6; --pixels) {
    bold.setPixelSize(pixels);
    const QFontMetrics metrics(bold);
    if (metrics.horizontalAdvance(u'W') <= kFindButtonWidth - 1 &&
        metrics.horizontalAdvance(u'E') <= kFindButtonWidth - 3)
      break;
  }
  bold.setPixelSize(pixels);
  m_letter->setFont(bold);

  UpdateLayout();
}

TKVXEdit::~TKVXEdit() {
  // The inner edit must not run the leaving steps on a half-destroyed composite.
  disconnect(m_edit, nullptr, this, nullptr);
  delete m_band;
  delete m_letter;
  delete m_edit;
  delete m_findButton;
}

QString TKVXEdit::Text() const {
  return m_edit->Text();
}
void TKVXEdit::setText(const QString& text) {
  m_edit->setText(text);
  // Show a long text from its start, as a Windows edit does after its text is set; Qt would
  // leave it scrolled to the end ("Program Files (x86)\Ultima Online" without its drive).
  m_edit->setCursorPosition(0);
}
QString TKVXEdit::EditText() const {
  return m_edit->EditText();
}
void TKVXEdit::setEditText(const QString& text) {
  m_edit->setEditText(text);
}

void TKVXEdit::setEditMask(const QString& editMask) {
  m_editMask = editMask;
  m_edit->setEditMask(editMask);
}

void TKVXEdit::setMaxLength(int maxLength) {
  m_maxLength = maxLength;
  m_edit->setKVXMaxLength(maxLength);
}

TEditCharCase TKVXEdit::CharCase() const {
  return m_edit->CharCase();
}
void TKVXEdit::setCharCase(TEditCharCase charCase) {
  m_edit->setCharCase(charCase);
}
QChar TKVXEdit::PasswordChar() const {
  return m_edit->PasswordChar();
}
void TKVXEdit::setPasswordChar(QChar passwordChar) {
  m_edit->setPasswordChar(passwordChar);
}
bool TKVXEdit::ReadOnly() const {
  return m_edit->isReadOnly();
}
void TKVXEdit::setReadOnly(bool readOnly) {
  m_edit->setReadOnly(readOnly);
}
bool TKVXEdit::Enabled() const {
  return m_edit->Enabled();
}

void TKVXEdit::setKVXEnabled(bool enabled) {
  m_edit->setKVXEnabled(enabled);
  m_edit->setTabStop(enabled && m_tabStop);
  // The find button belongs to a focused, enabled field only.
  m_findButton->setVisible(enabled && m_find && m_edit->hasFocus());
  UpdateLayout();
}

void TKVXEdit::setFind(bool find) {
  m_find = find;
  m_edit->setScrollable(find);
  StoreHint(this, m_edit->Hint());
  m_findButton->setVisible(find && Enabled() && m_edit->hasFocus());
  UpdateLayout();
}

QString TKVXEdit::Hint() const {
  return m_edit->Hint();
}

void TKVXEdit::setHint(const QString& hint) {
  m_edit->setHint(hint);
  StoreHint(this, m_edit->Hint());
}

void TKVXEdit::setTabStop(bool tabStop) {
  m_tabStop = tabStop;
  m_edit->setTabStop(tabStop);
}

QString TKVXEdit::Marker() const {
  return m_letter->text();
}

void TKVXEdit::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateLayout();
}

void TKVXEdit::UpdateLayout() {
  const bool marker = !m_letter->text().isEmpty() && Enabled();
  const int buttonWidth = m_findButton->width();
  const int editWidth = (!m_findButton->isHidden() || marker) ? width() - buttonWidth : width();
  m_edit->setGeometry(0, 0, editWidth, height());
  m_findButton->setGeometry(editWidth, 0, buttonWidth, height());
  m_band->hide();
  m_letter->hide();
  if (marker) {
    const int stripWidth = width() - editWidth;
    m_band->setGeometry(editWidth, 0, stripWidth, height());
    const int indent = m_letter->text() == QLatin1String("W") ? 1 : 3;
    m_letter->setGeometry(editWidth + indent, 3, stripWidth, height());
    m_band->show();
    m_letter->show();
    m_letter->raise();
  }
}

void TKVXEdit::DoFind() {
  Q_EMIT find();
}

void TKVXEdit::DoChange() {
  Q_EMIT changed();
}

void TKVXEdit::DoEnter() {
  m_letter->setText(QString());
  m_band->setText(QString());
  m_findButton->setVisible(Enabled() && m_find);
  UpdateLayout();
  if (Enabled())
    Q_EMIT entered();
}

void TKVXEdit::DoExit() {
  // A click on the form's cancel button leaves the field as it is.
  if (const auto* button = qobject_cast<const TKVXButton*>(QApplication::focusWidget())) {
    const bool underMouse =
        button->underMouse() || button->rect().contains(button->mapFromGlobal(QCursor::pos()));
    if (button->Cancel() && underMouse)
      return;
  }
  m_findButton->hide();
  UpdateLayout();
  if (Enabled())
    Q_EMIT exited();
  Validate();
  UpdateLayout();
}

bool TKVXEdit::Validate() {
  bool error = false;
  bool warning = false;
  const bool blank = m_edit->IsBlank();
  if (m_required == rtRequired && blank)
    error = true;
  if (m_required == rtWarning && blank)
    warning = true;
  if (m_onValidate)
    m_onValidate(this, error, warning);
  Q_EMIT validate(&error, &warning);
  if (warning)
    ShowWarning();
  if (error) {
    ShowError();
    return false;
  }
  return true;
}

namespace {
void PaintMarker(TKVXLabel* band, TKVXLabel* letter, const QString& caption, QColor background,
                 QColor text) {
  letter->setText(caption);
  QPalette pal = letter->palette();
  pal.setColor(QPalette::Window, background);
  pal.setColor(QPalette::WindowText, text);
  letter->setPalette(pal);
  QPalette bandPal = band->palette();
  bandPal.setColor(QPalette::Window, background);
  band->setPalette(bandPal);
}
} // namespace

void TKVXEdit::ShowError() {
  if (Enabled())
    PaintMarker(m_band, m_letter, QStringLiteral("E"), Qt::red, Qt::white);
}

void TKVXEdit::ShowWarning() {
  if (Enabled())
    PaintMarker(m_band, m_letter, QStringLiteral("W"), Qt::yellow, Qt::black);
}

} // namespace qv
