#include "MainWindowSupport.h"

#include <array>

namespace qv {
namespace {

class ServerPageTest : public test::MainWindowTest {
protected:
  void PutGameFiles() override {
    MainWindowTest::PutGameFiles();
    Put("LOGIN.CFG",
        test::Crlf({"LoginServer=shard.example.net,7775", "LoginServer=shard.example.net,7776",
                    "LoginServer=shard.example.net,7777", "LoginServer=shard.example.net,7778"}));
  }

  void SetUp() override {
    MainWindowTest::SetUp();
    Open();
    Pages()->setCurrentWidget(Child("tabServer"));
  }

  // The user enters the field, types a new text over the old one and leaves it for the next.
  void Retype(TKVXEdit* field, const QString& text) {
    Focus(Child<TKVXMemo>("memoNote"));
    Focus(field);
    field->Edit()->selectAll();
    if (text.isEmpty())
      QTest::keyClick(field->Edit(), Qt::Key_Delete);
    else
      QTest::keyClicks(field->Edit(), text);
    Focus(ChildNo<TKVXEdit>("edServ", 4) == field ? ChildNo<TKVXEdit>("edServ", 1)
                                                  : ChildNo<TKVXEdit>("edServ", 4));
  }

  std::array<QString, 4> Servers() const {
    return {ChildNo<TKVXEdit>("edServ", 1)->Text(), ChildNo<TKVXEdit>("edServ", 2)->Text(),
            ChildNo<TKVXEdit>("edServ", 3)->Text(), ChildNo<TKVXEdit>("edServ", 4)->Text()};
  }
  std::array<QString, 4> Ports() const {
    return {ChildNo<TKVXEdit>("edPort", 1)->Text(), ChildNo<TKVXEdit>("edPort", 2)->Text(),
            ChildNo<TKVXEdit>("edPort", 3)->Text(), ChildNo<TKVXEdit>("edPort", 4)->Text()};
  }

  const QString shard = "shard.example.net";
};

TEST_F(ServerPageTest, ANewNameReachesEveryFieldThatHeldTheOldOneAndNoPort) {
  Retype(ChildNo<TKVXEdit>("edServ", 1), "new.example.net");
  EXPECT_EQ(Servers(), (std::array<QString, 4>{"new.example.net", "new.example.net",
                                               "new.example.net", "new.example.net"}));
  EXPECT_EQ(Ports(), (std::array<QString, 4>{"7775", "7776", "7777", "7778"}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ServerPageTest, APortChangeReachesOnlyThePortsWithTheSameText) {
  ChildNo<TKVXEdit>("edPort", 3)->setText("7775");
  Retype(ChildNo<TKVXEdit>("edPort", 1), "7000");
  EXPECT_EQ(Ports(), (std::array<QString, 4>{"7000", "7776", "7000", "7778"}));
  EXPECT_EQ(Servers(), (std::array<QString, 4>{shard, shard, shard, shard}));
}

TEST_F(ServerPageTest, EmptyingANameEmptiesItsTwins) {
  ChildNo<TKVXEdit>("edServ", 3)->setText("other.example.net");
  Retype(ChildNo<TKVXEdit>("edServ", 2), "");
  EXPECT_EQ(Servers(), (std::array<QString, 4>{"", "", "other.example.net", ""}));
}

TEST_F(ServerPageTest, AFieldThatHeldTheNewTextKeepsIt) {
  ChildNo<TKVXEdit>("edServ", 2)->setText("B");
  ChildNo<TKVXEdit>("edServ", 1)->setText("A");
  ChildNo<TKVXEdit>("edServ", 3)->setText("A");
  ChildNo<TKVXEdit>("edServ", 4)->setText("C");
  Retype(ChildNo<TKVXEdit>("edServ", 1), "B");
  EXPECT_EQ(Servers(), (std::array<QString, 4>{"B", "B", "B", "C"}));
}

TEST_F(ServerPageTest, LeavingUnchangedChangesNothingAndTheTabOrderPairsTheFields) {
  Focus(ChildNo<TKVXEdit>("edServ", 1));
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(ChildNo<TKVXEdit>("edServ", i + 1)->Edit()->hasFocus()) << i;
    Press(Qt::Key_Tab);
    EXPECT_TRUE(ChildNo<TKVXEdit>("edPort", i + 1)->Edit()->hasFocus()) << i;
    Press(Qt::Key_Tab);
  }
  EXPECT_EQ(Servers(), (std::array<QString, 4>{shard, shard, shard, shard}));
  EXPECT_EQ(Ports(), (std::array<QString, 4>{"7775", "7776", "7777", "7778"}));
}

TEST_F(ServerPageTest, TheNoteIsReadOnlyAndNotATabStop) {
  EXPECT_FALSE(Child<TKVXMemo>("memoNote")->Enabled());
  EXPECT_TRUE(Child<TKVXMemo>("memoNote")->isReadOnly());
  EXPECT_FALSE(Child<TKVXMemo>("memoNote")->focusPolicy() & Qt::TabFocus);
  QStringList lines = Child<TKVXMemo>("memoNote")->Lines();
  ASSERT_EQ(lines.size(), 2);
  // Shown with no-break spaces in the second sentence, so that it wraps as a whole.
  lines[1].replace(QChar(0xA0), QLatin1Char(' '));
  EXPECT_EQ(lines, (QStringList{"Login servers for Ultima Online",
                                "Editing these entries could prevent you from logging into UO.  "
                                "Please proceed with caution."}));
}

} // namespace
} // namespace qv
