#include "controls/KVXStCtl.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace qv;

namespace {

// A shown, active form: before -> field -> after -> cancel button.
class KVXEditForm : public ::testing::Test {
protected:
  void SetUp() override {
    form = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(form.get());
    before = new QLineEdit;
    field = new TKVXEdit;
    field->setFixedSize(185, 21);
    after = new QLineEdit;
    cancel = new TKVXButton(QStringLiteral("&Cancel"));
    cancel->setCancel(true);
    layout->addWidget(before);
    layout->addWidget(field);
    layout->addWidget(after);
    layout->addWidget(cancel);
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    TKVXCustomEdit::setInvalidInputReporter(
        [this](QWidget*, const QString& text) { reports.append(text); });
  }
  void TearDown() override { TKVXCustomEdit::setInvalidInputReporter(nullptr); }

  void Enter() { field->setFocus(Qt::TabFocusReason); }
  void Leave() { after->setFocus(Qt::TabFocusReason); }
  int EditWidth() const { return field->Edit()->width(); }

  std::unique_ptr<QWidget> form;
  QLineEdit* before = nullptr;
  TKVXEdit* field = nullptr;
  QLineEdit* after = nullptr;
  TKVXButton* cancel = nullptr;
  QStringList reports;
};

} // namespace

TEST_F(KVXEditForm, RequiredEmptyFieldShowsTheErrorStripUntilEnteredAgain) {
  field->setRequired(rtRequired);
  Enter();
  EXPECT_EQ(EditWidth(), 185);
  Leave();
  EXPECT_EQ(field->Marker(), "E");
  EXPECT_EQ(EditWidth(), 172);
  auto* band = field->findChildren<TKVXLabel*>().value(0);
  ASSERT_NE(band, nullptr);
  EXPECT_TRUE(band->isVisible());
  EXPECT_EQ(band->geometry(), QRect(172, 0, 13, 21));
  EXPECT_EQ(band->palette().color(QPalette::Window), QColor(Qt::red));

  Enter();
  EXPECT_EQ(field->Marker(), "");
  EXPECT_EQ(EditWidth(), 185);
  EXPECT_FALSE(band->isVisible());

  // Not enabled, the marker is hidden but kept; enabled again, it shows before the next entry.
  Leave();
  field->setKVXEnabled(false);
  EXPECT_FALSE(band->isVisible());
  EXPECT_EQ(EditWidth(), 185);
  field->setKVXEnabled(true);
  EXPECT_TRUE(band->isVisible());
  EXPECT_EQ(EditWidth(), 172);

  field->setText(QStringLiteral("x"));
  Enter();
  Leave();
  EXPECT_EQ(field->Marker(), "");
}

TEST_F(KVXEditForm, MaskedFieldWithNothingTypedCountsAsEmpty) {
  field->setEditMask(QStringLiteral("999;0; "));
  field->setRequired(rtRequired);
  Enter();
  Leave();
  EXPECT_EQ(field->Marker(), "E");
  EXPECT_TRUE(reports.isEmpty());
  EXPECT_EQ(field->Text(), "");
  EXPECT_EQ(field->EditText(), "   ");
}

TEST_F(KVXEditForm, MaskAcceptsDigitsOnlyAtMostThree) {
  field->setEditMask(QStringLiteral("999;0; "));
  Enter();
  QTest::keyClicks(field->Edit(), QStringLiteral("1a2"));
  EXPECT_EQ(field->Text(), "12");
  QTest::keyClicks(field->Edit(), QStringLiteral("3456"));
  EXPECT_EQ(field->Text(), "123");
  field->setText(QStringLiteral("7"));
  EXPECT_EQ(field->Text(), "7");
  field->setText(QStringLiteral("abc")); // refused quietly
  EXPECT_EQ(field->Text(), "");
}

TEST_F(KVXEditForm, OnValidateDecidesBothFlags) {
  field->setRequired(rtWarning);
  field->setOnValidate([](QObject*, bool&, bool& warn) { warn = false; });
  Enter();
  Leave();
  EXPECT_EQ(field->Marker(), "");

  field->setRequired(rtNot);
  field->setText(QStringLiteral("filled"));
  field->setOnValidate([](QObject*, bool& error, bool&) { error = true; });
  Enter();
  Leave();
  EXPECT_EQ(field->Marker(), "E");

  // Both flags: the error wins.
  field->setOnValidate([](QObject*, bool& error, bool& warn) { error = warn = true; });
  Enter();
  Leave();
  EXPECT_EQ(field->Marker(), "E");

  // The signal can change the flags as well; a warning is a black W on yellow.
  field->setOnValidate(nullptr);
  QObject::connect(field, &TKVXEdit::validate, [](bool*, bool* warn) { *warn = true; });
  Enter();
  Leave();
  EXPECT_EQ(field->Marker(), "W");
  EXPECT_EQ(EditWidth(), 172);
}

TEST_F(KVXEditForm, NotEnabledFieldIsReadOnlyGreyAndSkippedByTab) {
  field->setRequired(rtRequired);
  field->setFind(true);
  field->setKVXEnabled(false);
  EXPECT_FALSE(field->Enabled());
  EXPECT_TRUE(field->isEnabled());
  EXPECT_TRUE(field->Edit()->isEnabled());
  EXPECT_TRUE(field->ReadOnly());
  EXPECT_EQ(field->Edit()->palette().color(QPalette::Base),
            QApplication::palette().color(QPalette::Button));

  before->setFocus(Qt::TabFocusReason);
  QTest::keyClick(before, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), after);

  QSignalSpy entered(field, &TKVXEdit::entered);
  QSignalSpy exited(field, &TKVXEdit::exited);
  QSignalSpy validated(field, &TKVXEdit::validate);
  QSignalSpy found(field, &TKVXEdit::find);
  field->setFocus(Qt::MouseFocusReason); // a click still focuses it
  EXPECT_EQ(QApplication::focusWidget(), field->Edit());
  EXPECT_TRUE(field->FindButton()->isHidden());
  QTest::mouseDClick(field->Edit(), Qt::LeftButton);
  QTest::keyClick(field->Edit(), Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(field->Edit(), QStringLiteral("abc"));
  Leave();
  EXPECT_EQ(entered.count(), 0);
  EXPECT_EQ(exited.count(), 0);
  EXPECT_EQ(validated.count(), 1);
  EXPECT_EQ(found.count(), 0);
  EXPECT_EQ(field->Text(), "");
  EXPECT_EQ(field->Marker(), "");
  EXPECT_EQ(EditWidth(), 185);

  // Enabled again: editable, and ReadOnly can be set on top.
  field->setKVXEnabled(true);
  EXPECT_FALSE(field->ReadOnly());
  field->setReadOnly(true);
  EXPECT_TRUE(field->Enabled());
  EXPECT_TRUE(field->ReadOnly());
}

TEST_F(KVXEditForm, FindByKeyDoubleClickAndButton) {
  field->setHint(QStringLiteral("File for saving your journal entries"));
  field->setFind(true);
  EXPECT_EQ(field->Hint(), "File for saving your journal entries |CTRL-F or Double Click for find");
  EXPECT_EQ(field->Edit()->cursor().shape(), Qt::PointingHandCursor);
  QSignalSpy found(field, &TKVXEdit::find);

  EXPECT_TRUE(field->FindButton()->isHidden());
  Enter();
  EXPECT_TRUE(field->FindButton()->isVisible());
  EXPECT_EQ(EditWidth(), 172);
  EXPECT_EQ(field->FindButton()->geometry(), QRect(172, 0, 13, 21));
  EXPECT_EQ(field->FindButton()->focusPolicy(), Qt::NoFocus);

  QTest::keyClick(field->Edit(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(found.count(), 1);
  EXPECT_EQ(field->Text(), "");
  QTest::keyClick(field->Edit(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(found.count(), 1);
  QTest::mouseDClick(field->Edit(), Qt::LeftButton);
  EXPECT_EQ(found.count(), 2);
  QTest::mouseClick(field->FindButton(), Qt::LeftButton);
  EXPECT_EQ(found.count(), 3);
  EXPECT_EQ(QApplication::focusWidget(), field->Edit());

  Leave();
  EXPECT_TRUE(field->FindButton()->isHidden());
  EXPECT_EQ(EditWidth(), 185);

  // Without Find, Ctrl+F is an ordinary key and the suffix goes.
  field->setFind(false);
  EXPECT_EQ(field->Hint(), "File for saving your journal entries");
  Enter();
  EXPECT_TRUE(field->FindButton()->isHidden());
  QTest::keyClick(field->Edit(), Qt::Key_F, Qt::ControlModifier);
  QTest::mouseDClick(field->Edit(), Qt::LeftButton);
  EXPECT_EQ(found.count(), 3);
}

TEST_F(KVXEditForm, ClickingTheCancelButtonRunsNoLeavingSteps) {
  field->setRequired(rtRequired);
  field->setFind(true);
  QSignalSpy exited(field, &TKVXEdit::exited);
  QSignalSpy validated(field, &TKVXEdit::validate);
  Enter();
  // The pointer is placed for real as well: a test run before this one may have left Qt's idea
  // of the widget under the mouse elsewhere.
  QCursor::setPos(cancel->mapToGlobal(cancel->rect().center()));
  QTest::mouseMove(cancel);
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), cancel);
  EXPECT_EQ(exited.count(), 0);
  EXPECT_EQ(validated.count(), 0);
  EXPECT_EQ(field->Marker(), "");
  EXPECT_FALSE(field->FindButton()->isHidden());

  // An ordinary button taking the focus by click does run them.
  cancel->setCancel(false);
  Enter();
  QTest::mouseMove(cancel);
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(exited.count(), 1);
  EXPECT_EQ(field->Marker(), "E");
}

TEST_F(KVXEditForm, EnteringAndLeavingSignalsOnlyWhileEnabled) {
  QSignalSpy entered(field, &TKVXEdit::entered);
  QSignalSpy exited(field, &TKVXEdit::exited);
  QSignalSpy changed(field, &TKVXEdit::changed);
  Enter();
  Leave();
  EXPECT_EQ(entered.count(), 1);
  EXPECT_EQ(exited.count(), 1);
  // Changing the text by program reports a change as typing does.
  field->setText(QStringLiteral("abc"));
  QTest::keyClicks(after, QStringLiteral("zz"));
  Enter();
  QTest::keyClick(field->Edit(), Qt::Key_End);
  QTest::keyClicks(field->Edit(), QStringLiteral("d"));
  EXPECT_EQ(changed.count(), 2);
  EXPECT_EQ(field->Text(), "abcd");
  // A window switch is not a leave.
  form->clearFocus();
  EXPECT_EQ(exited.count(), 1);
}

TEST_F(KVXEditForm, PhoneMaskPutsTheCaretAfterTheAreaCode) {
  field->setEditMask(QStringLiteral("!\\(999\\) 000-0000;0; "));
  field->setText(QStringLiteral("5551234567"));
  EXPECT_EQ(field->EditText(), "(555) 123-4567");
  EXPECT_EQ(field->Text(), "5551234567");
  Enter();
  EXPECT_EQ(field->Edit()->cursorPosition(), 6);

  field->setEditMask(QStringLiteral("!\\(999\\)000-0000;0; "));
  field->setText(QStringLiteral("5551234567"));
  Leave();
  Enter();
  EXPECT_EQ(field->Edit()->cursorPosition(), 5);
}

TEST_F(KVXEditForm, IncompleteMaskedInputIsRefusedButBlankCanLeave) {
  field->setEditMask(QStringLiteral("!\\(999\\) 000-0000;0; "));
  Enter();
  Leave();
  QCoreApplication::processEvents();
  EXPECT_TRUE(reports.isEmpty());

  Enter();
  QTest::keyClicks(field->Edit(), QStringLiteral("555123"));
  QSignalSpy exited(field, &TKVXEdit::exited);
  Leave();
  QCoreApplication::processEvents();
  ASSERT_EQ(reports.size(), 1);
  EXPECT_EQ(reports[0], "Invalid input value.  Use escape key to abandon changes");
  EXPECT_EQ(exited.count(), 0);
  EXPECT_EQ(QApplication::focusWidget(), field->Edit());

  // Esc abandons the changes made since entering.
  QTest::keyClick(field->Edit(), Qt::Key_Escape);
  EXPECT_EQ(field->Text(), "");
}

TEST(KVXEditMask, TranslatesTheToolkitSyntax) {
  const TEditMask digits = TEditMask::Parse(QStringLiteral("999;0; "));
  EXPECT_EQ(digits.qtMask, "000; ");
  EXPECT_FALSE(digits.saveLiterals);
  EXPECT_EQ(digits.EmptyText(), "");
  EXPECT_EQ(digits.TextOf(QStringLiteral("1 2")), "12");

  const TEditMask phone = TEditMask::Parse(QStringLiteral("!\\(999\\) 000-0000;1;_"));
  EXPECT_EQ(phone.qtMask, "\\(000\\)\\ 999\\-9999;_");
  EXPECT_TRUE(phone.saveLiterals);
  EXPECT_EQ(phone.EmptyText(), "() -");
  EXPECT_EQ(phone.TextOf(QStringLiteral("(555) 123-4567")), "(555) 123-4567");

  const TEditMask letters = TEditMask::Parse(QStringLiteral(">LLL<aa_Cc"));
  EXPECT_EQ(letters.qtMask, ">AAA<nn\\ Xx;_");
  EXPECT_TRUE(TEditMask::Parse(QString()).IsEmpty());
}

TEST(KVXEditField, ConstructionAndNames) {
  TKVXEdit field;
  EXPECT_EQ(field.size(), QSize(185, 21));
  EXPECT_TRUE(field.TabStop());
  EXPECT_EQ(field.MaxLength(), 0);
  EXPECT_EQ(field.Required(), rtNot);
  EXPECT_EQ(field.focusProxy(), field.Edit());
  field.setObjectName(QStringLiteral("edJrnl"));
  EXPECT_EQ(field.Edit()->objectName(), "edJrnlEd");
  field.setTabStop(false);
  EXPECT_EQ(field.Edit()->focusPolicy(), Qt::ClickFocus);
  field.setMaxLength(3);
  field.setText(QStringLiteral("abcdef"));
  EXPECT_EQ(field.Text(), "abc");
  field.setCharCase(ecUpperCase);
  EXPECT_EQ(field.Text(), "ABC");
}
