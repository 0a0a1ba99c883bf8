#include "MainWindowSupport.h"

namespace qv {
namespace {

using test::MainWindowTest;

TEST_F(MainWindowTest, SystemPageShowsTheOptionsAndSavesThemBack) {
  Open();
  EXPECT_EQ(Child<TKVXEdit>("edUOIns")->Text().toStdString() + "/", game.dir());
  EXPECT_EQ(Child<TKVXEdit>("edVer")->Text(), "1.26.4");
  EXPECT_EQ(Child<TKVXEdit>("edCache")->Text(), "016");
  EXPECT_EQ(Child<TKVXEdit>("edDPath")->Text(), "D:\\UO");
  EXPECT_EQ(Child<TKVXComboBox>("cboxPage")->Value(), "G");
  EXPECT_TRUE(Child<TKVXCheckBox>("chkSound")->isChecked());
  EXPECT_FALSE(Child<TKVXCheckBox>("chkMusic")->isChecked());
  EXPECT_FALSE(Child<TKVXCheckBox>("chkIntro")->isChecked());
  EXPECT_TRUE(Child<TKVXCheckBox>("chkOpen")->isChecked());
  EXPECT_FALSE(Child<TKVXCheckBox>("chkFull")->isChecked());
  EXPECT_TRUE(Child<TKVXCheckBox>("chkNot")->isChecked());
  EXPECT_TRUE(Child<TKVXCheckBox>("chkTrans")->isChecked());
  EXPECT_TRUE(Child<TKVXCheckBox>("chkFoot")->isChecked());
  EXPECT_FALSE(Child<TKVXCheckBox>("chk565")->isChecked());
  EXPECT_FALSE(Child<TKVXCheckBox>("chkFilter")->isChecked());
  EXPECT_EQ(Child<TKVXTrackBar>("slideSound")->value(), 200);
  EXPECT_EQ(Child<TKVXTrackBar>("slideMusic")->value(), 100);
  EXPECT_TRUE(Child<TKVXTrackBar>("slideSound")->isEnabled());
  EXPECT_FALSE(Child<TKVXTrackBar>("slideMusic")->isEnabled());

  Child<TKVXEdit>("edCache")->setText("7");
  Child<TKVXEdit>("edDPath")->setText("F:\\Data");
  Child<TKVXComboBox>("cboxPage")->setValue("N");
  Child<TKVXCheckBox>("chkMusic")->setChecked(true);
  Child<TKVXCheckBox>("chkFull")->setChecked(true);
  Child<TKVXCheckBox>("chkFilter")->setChecked(true);
  Child<TKVXCheckBox>("chk565")->setChecked(true);
  Child<TKVXTrackBar>("slideMusic")->setValue(42);
  Child<TKVXButton>("btnSave")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Information);
  EXPECT_EQ(Get("UO.CFG"),
            test::Crlf({"; my own comment", "UnknownKey=7", "CacheSize=7", "CdRomDataPath=F:\\Data",
                        "JournalSaveFile=" + game.dir() + "Journal.Log", "Sound=on", "Music=on",
                        "ShowIntroAnim=off", "ChestOpening=on", "FullScreen=on",
                        "NotorietyQuery=on", "UseCircleTrans=yes", "PageFlip=off", "Footsteps=on",
                        "Use565=on", "ObscenityFilter=on", "SoundVol=200", "MusicVol=42"}));
  // Read back after writing: the cache size shows with three digits again.
  EXPECT_EQ(Child<TKVXEdit>("edCache")->Text(), "007");
  EXPECT_TRUE(Child<TKVXTrackBar>("slideMusic")->isEnabled());
}

// Whatever cache size the file holds is shown, and a save without an edit keeps it as it was.
TEST_F(MainWindowTest, CacheSizesOfAnyLengthAreShownAndSavedUnchanged) {
  for (const auto& [value, shown] :
       {std::pair<std::string, QString>{"1234", "1234"}, {"999.7", "1000"}, {"-5", "-005"}}) {
    SCOPED_TRACE(value);
    window.reset();
    Put("UO.CFG", test::Crlf({"CacheSize=" + value}));
    std::filesystem::remove(game.path() / "QRVDAT" / "UO.001");
    messages.clear();
    Open();
    EXPECT_EQ(Child<TKVXEdit>("edCache")->Text(), shown);
    Child<TKVXButton>("btnSave")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(Get("UO.CFG").rfind("CacheSize=" + value + "\r\n", 0), 0u);
    EXPECT_EQ(Child<TKVXEdit>("edCache")->Text(), shown);
  }
  Child<TKVXEdit>("edCache")->setText("2048");
  Child<TKVXButton>("btnSave")->click();
  EXPECT_EQ(Get("UO.CFG").rfind("CacheSize=2048\r\n", 0), 0u);
}

TEST_F(MainWindowTest, VolumeBarsFollowTheirBoxesAtOnce) {
  Open();
  Child<TKVXTrackBar>("slideSound")->setValue(77);
  QTest::mouseClick(Child<TKVXCheckBox>("chkSound"), Qt::LeftButton, {},
                    Child<TKVXCheckBox>("chkSound")->rect().center());
  EXPECT_FALSE(Child<TKVXCheckBox>("chkSound")->isChecked());
  EXPECT_FALSE(Child<TKVXTrackBar>("slideSound")->isEnabled());
  EXPECT_FALSE(Child<TKVXTrackBar>("slideMusic")->isEnabled()); // music was off and stays apart

  Focus(Child<TKVXCheckBox>("chkSound"));
  Press(Qt::Key_Space);
  EXPECT_TRUE(Child<TKVXTrackBar>("slideSound")->isEnabled());
  EXPECT_EQ(Child<TKVXTrackBar>("slideSound")->value(), 77);

  Focus(Child<TKVXCheckBox>("chkMusic"));
  Press(Qt::Key_Space);
  EXPECT_TRUE(Child<TKVXTrackBar>("slideMusic")->isEnabled());
  EXPECT_TRUE(Child<TKVXTrackBar>("slideSound")->isEnabled());

  EXPECT_EQ(Child<TKVXTrackBar>("slideSound")->minimum(), 1);
  EXPECT_EQ(Child<TKVXTrackBar>("slideSound")->maximum(), 255);
  EXPECT_EQ(Child<TKVXTrackBar>("slideSound")->tickInterval(), 5);
}

TEST_F(MainWindowTest, CacheTakesAWholeNumberAndTheInstallFieldsAreShownOnly) {
  Open();
  Child<TKVXEdit>("edCache")->setText("");
  Focus(Child<TKVXEdit>("edCache"));
  QTest::keyClick(Child<TKVXEdit>("edCache")->Edit(), Qt::Key_Home);
  QTest::keyClicks(Child<TKVXEdit>("edCache")->Edit(), "1x2y34-.5");
  EXPECT_EQ(Child<TKVXEdit>("edCache")->Text(), "12345");
  Child<TKVXEdit>("edCache")->setText("");
  QTest::keyClicks(Child<TKVXEdit>("edCache")->Edit(), "-0-7");
  EXPECT_EQ(Child<TKVXEdit>("edCache")->Text(), "-07");

  const QString dir = Child<TKVXEdit>("edUOIns")->Text();
  const QString version = Child<TKVXEdit>("edVer")->Text();
  EXPECT_FALSE(Child<TKVXEdit>("edUOIns")->Enabled());
  EXPECT_FALSE(Child<TKVXEdit>("edVer")->Enabled());
  Focus(Child<TKVXEdit>("edUOIns"));
  QTest::keyClicks(Child<TKVXEdit>("edUOIns")->Edit(), "abc");
  QTest::keyClicks(Child<TKVXEdit>("edVer")->Edit(), "abc");
  EXPECT_EQ(Child<TKVXEdit>("edUOIns")->Text(), dir);
  EXPECT_EQ(Child<TKVXEdit>("edVer")->Text(), version);
}

TEST_F(MainWindowTest, TheWholeInstallDirectoryIsShown) {
  // Longer than the field's designed width.
  const std::filesystem::path deep = game.path() / "Electronic Arts" / "Ultima Online Classic";
  std::filesystem::create_directories(deep);
  for (const char* file : {"UO.CFG", "MACROS.TXT", "LOGIN.CFG"})
    std::filesystem::copy_file(game.path() / file, deep / file);
  TKVXFile("HKEY_LOCAL_MACHINE", skRegistry)
      .WriteText("\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0", "ExePath",
                 deep.string() + "/client.exe");
  Open();
  const QLineEdit* field = Child<TKVXEdit>("edUOIns")->Edit();
  ASSERT_EQ(Child<TKVXEdit>("edUOIns")->Text().toStdString(), deep.string());
  EXPECT_GT(field->width(),
            field->fontMetrics().horizontalAdvance(Child<TKVXEdit>("edUOIns")->Text()));
  // The window grew with it; nothing else lost its room.
  EXPECT_LE(Child<TKVXEdit>("edUOIns")->geometry().right(),
            Child<TKVXLabel>("lblVer")->geometry().left());
  EXPECT_LE(Child<TKVXEdit>("edVer")->geometry().right(), Pages()->width());
}

} // namespace
} // namespace qv
