// The small dialogs: the one-line input dialog, the text viewer and the about / loading window.

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "controls/KVXStCtl.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "support/WidgetChild.h"
#include "ui/About.h"
#include "ui/Dialogs.h"
#include "ui/Ignore.h"
#include "ui/Log.h"

namespace qv::ui {
namespace {

struct ShownMessage {
  MessageKind kind;
  QString caption;
  QString text;
};

class SmallDialogs : public ::testing::Test {
protected:
  void SetUp() override {
    Hooks().message = [this](MessageKind kind, const QString& caption, const QString& text) {
      messages.push_back({kind, caption, text});
      return true;
    };
  }
  void TearDown() override { ResetDialogHooks(); }

  std::vector<ShownMessage> messages;
};

// --- The input dialog ---

class InputDialog : public SmallDialogs {
protected:
  void Show() {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  }
  void Type(const QString& text) {
    test::Child<TKVXEdit>(&dialog, "edIgnore")->Edit()->clear();
    QTest::keyClicks(test::Child<TKVXEdit>(&dialog, "edIgnore")->Edit(), text);
  }

  TfrmIgnore dialog;
};

TEST_F(InputDialog, ShowsTheAddModeUnlessTheFindModeIsSet) {
  EXPECT_FALSE(dialog.FindMode());
  EXPECT_TRUE(dialog.Answer().isEmpty());
  Show();
  EXPECT_EQ(dialog.windowTitle(), "Multiple Configuration Add");
  EXPECT_EQ(test::Child<QLabel>(&dialog, "lblIgnore")->text(), "Config Name");
  dialog.hide();

  dialog.SetFindMode(true);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Journal Find");
  EXPECT_EQ(test::Child<QLabel>(&dialog, "lblIgnore")->text(), "Find");
}

TEST_F(InputDialog, OkGivesTheTextAsTypedWithItsBlanks) {
  Show();
  Type("  PvP shard ");
  test::Child<TKVXButton>(&dialog, "btnOK")->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Answer(), "  PvP shard ");
  EXPECT_TRUE(messages.empty());
}

TEST_F(InputDialog, EnterActsAsOkAndEscAsCancel) {
  Show();
  Type("Test");
  QTest::keyClick(test::Child<TKVXEdit>(&dialog, "edIgnore")->Edit(), Qt::Key_Return);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.Answer(), "Test");

  TfrmIgnore other;
  other.show();
  QTest::keyClicks(test::Child<TKVXEdit>(&other, "edIgnore")->Edit(), "Test");
  QTest::keyClick(test::Child<TKVXEdit>(&other, "edIgnore")->Edit(), Qt::Key_Escape);
  EXPECT_FALSE(other.isVisible());
  EXPECT_TRUE(other.Answer().isEmpty());
  EXPECT_TRUE(messages.empty());
}

TEST_F(InputDialog, OkWithAnEmptyOrBlankFieldIsRefusedAndKeepsTheDialogOpen) {
  Show();
  QApplication::setActiveWindow(&dialog);
  for (const QString& text : {QString(), QStringLiteral("   "), QStringLiteral(" \t ")}) {
    messages.clear();
    test::Child<TKVXEdit>(&dialog, "edIgnore")->setText(text);
    test::Child<TKVXButton>(&dialog, "btnOK")->setFocus();
    test::Child<TKVXButton>(&dialog, "btnOK")->click();
    EXPECT_TRUE(test::Child<TKVXEdit>(&dialog, "edIgnore")->Edit()->hasFocus());
    ASSERT_EQ(messages.size(), 1u) << text.toStdString();
    EXPECT_EQ(messages[0].kind, MessageKind::Error);
    EXPECT_EQ(messages[0].text, "You must enter a value.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.Answer().isEmpty());
  }
  // It can still be answered afterwards.
  Type("x");
  test::Child<TKVXButton>(&dialog, "btnOK")->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.Answer(), "x");
}

TEST_F(InputDialog, CancelClosesAtOnceAlsoWithAnEmptyField) {
  Show();
  test::Child<TKVXButton>(&dialog, "btnCancel")->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(dialog.Answer().isEmpty());
  EXPECT_TRUE(messages.empty());
}

TEST_F(InputDialog, CancelDiscardsTypedText) {
  Show();
  Type("Something");
  test::Child<TKVXButton>(&dialog, "btnCancel")->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.Answer().isEmpty());
}

TEST_F(InputDialog, TheCloseBoxHandsOverTheTextAsOkDoes) {
  Show();
  Type(" Siege ");
  EXPECT_TRUE(dialog.close());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.Answer(), " Siege ");
}

TEST_F(InputDialog, TheCloseBoxWithAnEmptyFieldIsRefused) {
  Show();
  EXPECT_FALSE(dialog.close());
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "You must enter a value.");
}

TEST_F(InputDialog, TheCancelMarkerTypedByTheUserCountsAsCancel) {
  for (const QString& text : {QStringLiteral("#$%^"), QStringLiteral("  #$%^ ")}) {
    TfrmIgnore marker;
    marker.show();
    QTest::keyClicks(test::Child<TKVXEdit>(&marker, "edIgnore")->Edit(), text);
    test::Child<TKVXButton>(&marker, "btnOK")->click();
    EXPECT_FALSE(marker.isVisible()) << text.toStdString();
    EXPECT_TRUE(marker.Answer().isEmpty()) << text.toStdString();
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(InputDialog, AskRunsTheDialogThroughTheModalHook) {
  bool findMode = false;
  QString title;
  Hooks().execModal = [&](QDialog& modal) {
    auto* input = qobject_cast<TfrmIgnore*>(&modal);
    EXPECT_NE(input, nullptr);
    modal.show();
    findMode = input->FindMode();
    title = modal.windowTitle();
    QTest::keyClicks(test::Child<TKVXEdit>(input, "edIgnore")->Edit(), "needle ");
    test::Child<TKVXButton>(input, "btnOK")->click();
    return modal.result();
  };
  EXPECT_EQ(TfrmIgnore::Ask(nullptr, true), "needle ");
  EXPECT_TRUE(findMode);
  EXPECT_EQ(title, "Journal Find");

  Hooks().execModal = [](QDialog& modal) {
    modal.show();
    test::Child<TKVXButton>(&modal, "btnCancel")->click();
    return modal.result();
  };
  EXPECT_TRUE(TfrmIgnore::Ask(nullptr, false).isEmpty());
}

// --- The text viewer ---

class TextViewer : public SmallDialogs {
protected:
  // Shows the viewer's file the way the main window does, and returns what it showed.
  QString ShowAndRead(TfrmLog& viewer) {
    viewer.show();
    const QString text = test::Child<TKVXMemo>(&viewer, "memoPatch")->toPlainText();
    test::Child<TKVXButton>(&viewer, "btnExit")->click();
    EXPECT_FALSE(viewer.isVisible());
    return text;
  }

  test::TempDir game;
  test::TempDir program;
};

TEST_F(TextViewer, ShowsThePatchLogOfTheGameDirectory) {
  // Windows-1252: 0xE9 is e acute, 0x80 the euro sign.
  test::WriteBytes(game.file("Patchlog"), "Patch 1\r\nPatch 2 caf\xE9 \x80\r\n\r\nPatch 4\r\n");
  TfrmLog viewer(game.dir(), program.dir());
  EXPECT_FALSE(viewer.NotesMode());
  EXPECT_EQ(viewer.windowTitle(), "Patch Log");
  EXPECT_EQ(ShowAndRead(viewer), QString::fromUtf8("Patch 1\nPatch 2 caf\u00E9 \u20AC\n\nPatch 4"));
  EXPECT_TRUE(messages.empty());
}

TEST_F(TextViewer, FindsThePatchLogWhateverItsLetterCase) {
  test::WriteBytes(game.file("PATCHLOG"), "upper case name\n");
  TfrmLog viewer(game.dir(), program.dir());
  EXPECT_EQ(ShowAndRead(viewer), "upper case name");
}

TEST_F(TextViewer, AMissingFileShowsAnEmptyViewerWithoutAMessage) {
  TfrmLog viewer(game.dir(), program.dir());
  test::Child<TKVXMemo>(&viewer, "memoPatch")->setPlainText("left over");
  EXPECT_TRUE(ShowAndRead(viewer).isEmpty());

  TfrmLog notes(game.dir() + "missing/", program.dir() + "missing/");
  notes.SetNotesMode(true);
  EXPECT_TRUE(ShowAndRead(notes).isEmpty());
  EXPECT_TRUE(messages.empty());
}

TEST_F(TextViewer, NotesModeShowsTheProgramsReadme) {
  test::WriteBytes(game.file("Patchlog"), "patches\n");
  test::WriteBytes(program.file("Readme.txt"), "the notes\n");
  QString title;
  QString text;
  Hooks().execModal = [&](QDialog& modal) {
    modal.show();
    title = modal.windowTitle();
    text = test::Child<TKVXMemo>(&modal, "memoPatch")->toPlainText();
    modal.accept();
    return modal.result();
  };
  TfrmLog::ShowNotes(nullptr, game.dir(), program.dir());
  EXPECT_EQ(title, "Quorvel Notes - README.TXT");
  EXPECT_EQ(text, "the notes");

  TfrmLog::ShowPatchLog(nullptr, game.dir(), program.dir());
  EXPECT_EQ(title, "Patch Log");
  EXPECT_EQ(text, "patches");
}

TEST_F(TextViewer, TheNotesFileShipsBesideTheExecutable) {
  TfrmLog viewer(game.dir(), platform::ExecutableDir());
  viewer.SetNotesMode(true);
  const QString text = ShowAndRead(viewer);
  EXPECT_TRUE(text.contains("Quorvel")) << "Readme.txt missing beside the executable";
  EXPECT_TRUE(text.contains("QRVDAT"));
  EXPECT_TRUE(text.contains("Configuration sets"));
}

TEST_F(TextViewer, IsReadOnlyInAFixedPitchFont) {
  TfrmLog viewer(game.dir(), program.dir());
  EXPECT_TRUE(test::Child<TKVXMemo>(&viewer, "memoPatch")->isReadOnly());
  EXPECT_FALSE(test::Child<TKVXMemo>(&viewer, "memoPatch")->Enabled());
  EXPECT_EQ(test::Child<TKVXMemo>(&viewer, "memoPatch")->Hint(),
            "These are all the patches applied to UO");
  const QFontMetricsF metrics(test::Child<TKVXMemo>(&viewer, "memoPatch")->font());
  EXPECT_EQ(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'));
  EXPECT_EQ(test::Child<TKVXMemo>(&viewer, "memoPatch")->lineWrapMode(), QPlainTextEdit::NoWrap);
}

// --- The about box and the loading window ---

TEST_F(SmallDialogs, AboutBoxShowsNameVersionAndCreditsAndClosesWithOk) {
  TfrmAbout about;
  EXPECT_EQ(about.windowTitle(), "Quorvel Info");
  EXPECT_EQ(test::Child<QLabel>(&about, "lblTitle")->text(), "Quorvel ");
  EXPECT_EQ(test::Child<QLabel>(&about, "lblVersion")->text(), "Beta 6 - Final Beta");
  EXPECT_FALSE(test::Child<TKVXMemo>(&about, "memoCredits")->toPlainText().isEmpty());
  EXPECT_FALSE(about.windowFlags() & Qt::WindowCloseButtonHint);
  about.show();
  EXPECT_TRUE(test::Child<TKVXButton>(&about, "btnOK")->isVisible());
  test::Child<TKVXButton>(&about, "btnOK")->click();
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(SmallDialogs, TheLoadingWindowShowsOnlyTheTwoTopLines) {
  TfrmAbout loading;
  loading.ShowLoading();
  EXPECT_TRUE(loading.IsLoadingWindow());
  EXPECT_TRUE(loading.isVisible());
  EXPECT_FALSE(loading.isModal());
  EXPECT_EQ(loading.windowTitle(), "Loading...");
  EXPECT_FALSE(loading.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_GE(loading.width(), 270);
  EXPECT_GE(loading.height(), 65);
  EXPECT_TRUE(test::Child<QLabel>(&loading, "lblTitle")->isVisible());
  EXPECT_TRUE(test::Child<QLabel>(&loading, "lblVersion")->isVisible());
  EXPECT_FALSE(test::Child<TKVXMemo>(&loading, "memoCredits")->isVisible());
  EXPECT_FALSE(test::Child<TKVXButton>(&loading, "btnOK")->isVisible());
  // Both lines fit whole: nothing below them, nothing cut off.
  EXPECT_EQ(test::Child<QLabel>(&loading, "lblVersion")->geometry().bottom() + 1, loading.height())
      << test::Child<QLabel>(&loading, "lblTitle")->y() << ","
      << test::Child<QLabel>(&loading, "lblTitle")->height() << " "
      << test::Child<QLabel>(&loading, "lblVersion")->y() << ","
      << test::Child<QLabel>(&loading, "lblVersion")->height() << " "
      << test::Child<QLabel>(&loading, "lblVersion")->minimumHeight() << " "
      << test::Child<QLabel>(&loading, "lblTitle")->minimumHeight();
  EXPECT_GE(test::Child<QLabel>(&loading, "lblTitle")->width(),
            test::Child<QLabel>(&loading, "lblTitle")->sizeHint().width());
  // Esc does not close it; only the main window does.
  QTest::keyClick(&loading, Qt::Key_Escape);
  EXPECT_TRUE(loading.isVisible());
}

TEST(MessageBox, APathInTheTextIsNotWrappedWhereTheScreenHasRoom) {
  QMessageBox box;
  box.setText(QStringLiteral("Cannot create file C:\\Program Files (x86)\\Ultima Online\\QRVDAT\\"
                             "UO.001\nPermission denied"));
  KeepMessageLinesWhole(box);
  box.show();
  QApplication::processEvents();
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  ASSERT_NE(label, nullptr);
  // Two lines of text, not three.
  EXPECT_LT(label->height(), 3 * label->fontMetrics().lineSpacing());
}

} // namespace
} // namespace qv::ui
