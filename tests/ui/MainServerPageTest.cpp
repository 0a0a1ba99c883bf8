#include "MainWindowSupport.h"

#include <array>

namespace qv {
namespace {

class ServerPageTest : public test::MainWindowTest {
protected:
  void PutGameFiles() override {
    MainWindowTest::PutGameFiles();
    Put("LOGIN.CFG",
        test::CrlfLines({"LoginServer=shard.example.net,7775", "LoginServer=shard.example.net,7776",
                         "LoginServer=shard.example.net,7777",
                         "LoginServer=shard.example.net,7778"}));
  }

  void SetUp() override {
    MainWindowTest::SetUp();
    Open();
    window->pageData->setCurrentWidget(window->tabServer);
  }

  // The user enters the field, types a new text over the old one and leaves it for the next.
  void Retype(TKVXEdit* field, const QString& text) {
    Focus(window->memoNote);
    Focus(field);
    field->Edit()->selectAll();
    if (text.isEmpty())
      QTest::keyClick(field->Edit(), Qt::Key_Delete);
    else
      QTest::keyClicks(field->Edit(), text);
    Focus(window->edServ[3] == field ? window->edServ[0] : window->edServ[3]);
  }

  std::array<QString, 4> Servers() const {
    return {window->edServ[0]->Text(), window->edServ[1]->Text(), window->edServ[2]->Text(),
            window->edServ[3]->Text()};
  }
  std::array<QString, 4> Ports() const {
    return {window->edPort[0]->Text(), window->edPort[1]->Text(), window->edPort[2]->Text(),
            window->edPort[3]->Text()};
  }

  const QString shard = "shard.example.net";
};

TEST_F(ServerPageTest, ANewNameReachesEveryFieldThatHeldTheOldOneAndNoPort) {
  Retype(window->edServ[0], "new.example.net");
  EXPECT_EQ(Servers(), (std::array<QString, 4>{"new.example.net", "new.example.net",
                                               "new.example.net", "new.example.net"}));
  EXPECT_EQ(Ports(), (std::array<QString, 4>{"7775", "7776", "7777", "7778"}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ServerPageTest, APortChangeReachesOnlyThePortsWithTheSameText) {
  window->edPort[2]->setText("7775");
  Retype(window->edPort[0], "7000");
  EXPECT_EQ(Ports(), (std::array<QString, 4>{"7000", "7776", "7000", "7778"}));
  EXPECT_EQ(Servers(), (std::array<QString, 4>{shard, shard, shard, shard}));
}

TEST_F(ServerPageTest, EmptyingANameEmptiesItsTwins) {
  window->edServ[2]->setText("other.example.net");
  Retype(window->edServ[1], "");
  EXPECT_EQ(Servers(), (std::array<QString, 4>{"", "", "other.example.net", ""}));
}

TEST_F(ServerPageTest, AFieldThatHeldTheNewTextKeepsIt) {
  window->edServ[1]->setText("B");
  window->edServ[0]->setText("A");
  window->edServ[2]->setText("A");
  window->edServ[3]->setText("C");
  Retype(window->edServ[0], "B");
  EXPECT_EQ(Servers(), (std::array<QString, 4>{"B", "B", "B", "C"}));
}

TEST_F(ServerPageTest, LeavingUnchangedChangesNothingAndTheTabOrderPairsTheFields) {
  Focus(window->edServ[0]);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(window->edServ[i]->Edit()->hasFocus()) << i;
    Press(Qt::Key_Tab);
    EXPECT_TRUE(window->edPort[i]->Edit()->hasFocus()) << i;
    Press(Qt::Key_Tab);
  }
  EXPECT_EQ(Servers(), (std::array<QString, 4>{shard, shard, shard, shard}));
  EXPECT_EQ(Ports(), (std::array<QString, 4>{"7775", "7776", "7777", "7778"}));
}

TEST_F(ServerPageTest, TheNoteIsReadOnlyAndNotATabStop) {
  EXPECT_FALSE(window->memoNote->Enabled());
  EXPECT_TRUE(window->memoNote->isReadOnly());
  EXPECT_FALSE(window->memoNote->focusPolicy() & Qt::TabFocus);
  QStringList lines = window->memoNote->Lines();
  ASSERT_EQ(lines.size(), 2);
  // Shown with no-break spaces in the second sentence, so that it wraps as a whole.
  lines[1].replace(QChar(0xA0), QLatin1Char(' '));
  EXPECT_EQ(lines, (QStringList{"Login servers for Ultima Online",
                                "Editing these entries could prevent you from logging into UO.  "
                                "Please proceed with caution."}));
}

} // namespace
} // namespace qv
