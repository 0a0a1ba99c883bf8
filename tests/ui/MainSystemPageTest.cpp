#include "MainWindowSupport.h"

namespace qv {
namespace {

using test::MainWindowTest;

TEST_F(MainWindowTest, SystemPageShowsTheOptionsAndSavesThemBack) {
  Open();
  EXPECT_EQ(window->edUOIns->Text().toStdString() + "/", game.dir());
  EXPECT_EQ(window->edVer->Text(), "1.26.4");
  EXPECT_EQ(window->edCache->Text(), "016");
  EXPECT_EQ(window->edDPath->Text(), "D:\\UO");
  EXPECT_EQ(window->cboxPage->Value(), "G");
  EXPECT_TRUE(window->chkSound->isChecked());
  EXPECT_FALSE(window->chkMusic->isChecked());
  EXPECT_FALSE(window->chkIntro->isChecked());
  EXPECT_TRUE(window->chkOpen->isChecked());
  EXPECT_FALSE(window->chkFull->isChecked());
  EXPECT_TRUE(window->chkNot->isChecked());
  EXPECT_TRUE(window->chkTrans->isChecked());
  EXPECT_TRUE(window->chkFoot->isChecked());
  EXPECT_FALSE(window->chk565->isChecked());
  EXPECT_FALSE(window->chkFilter->isChecked());
  EXPECT_EQ(window->slideSound->value(), 200);
  EXPECT_EQ(window->slideMusic->value(), 100);
  EXPECT_TRUE(window->slideSound->isEnabled());
  EXPECT_FALSE(window->slideMusic->isEnabled());

  window->edCache->setText("7");
  window->edDPath->setText("F:\\Data");
  window->cboxPage->setValue("N");
  window->chkMusic->setChecked(true);
  window->chkFull->setChecked(true);
  window->chkFilter->setChecked(true);
  window->chk565->setChecked(true);
  window->slideMusic->setValue(42);
  window->btnSave->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::Information);
  EXPECT_EQ(
      Get("UO.CFG"),
      test::CrlfLines({"; my own comment", "UnknownKey=7", "CacheSize=7", "CdRomDataPath=F:\\Data",
                       "JournalSaveFile=" + game.dir() + "Journal.Log", "Sound=on", "Music=on",
                       "ShowIntroAnim=off", "ChestOpening=on", "FullScreen=on", "NotorietyQuery=on",
                       "UseCircleTrans=yes", "PageFlip=off", "Footsteps=on", "Use565=on",
                       "ObscenityFilter=on", "SoundVol=200", "MusicVol=42"}));
  // Read back after writing: the cache size shows with three digits again.
  EXPECT_EQ(window->edCache->Text(), "007");
  EXPECT_TRUE(window->slideMusic->isEnabled());
}

// Whatever cache size the file holds is shown, and a save without an edit keeps it as it was.
TEST_F(MainWindowTest, CacheSizesOfAnyLengthAreShownAndSavedUnchanged) {
  for (const auto& [value, shown] :
       {std::pair<std::string, QString>{"1234", "1234"}, {"999.7", "1000"}, {"-5", "-005"}}) {
    SCOPED_TRACE(value);
    window.reset();
    Put("UO.CFG", test::CrlfLines({"CacheSize=" + value}));
    std::filesystem::remove(game.path() / "QRVDAT" / "UO.001");
    messages.clear();
    Open();
    EXPECT_EQ(window->edCache->Text(), shown);
    window->btnSave->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(Get("UO.CFG").rfind("CacheSize=" + value + "\r\n", 0), 0u);
    EXPECT_EQ(window->edCache->Text(), shown);
  }
  window->edCache->setText("2048");
  window->btnSave->click();
  EXPECT_EQ(Get("UO.CFG").rfind("CacheSize=2048\r\n", 0), 0u);
}

TEST_F(MainWindowTest, VolumeBarsFollowTheirBoxesAtOnce) {
  Open();
  window->slideSound->setValue(77);
  QTest::mouseClick(window->chkSound, Qt::LeftButton, {}, window->chkSound->rect().center());
  EXPECT_FALSE(window->chkSound->isChecked());
  EXPECT_FALSE(window->slideSound->isEnabled());
  EXPECT_FALSE(window->slideMusic->isEnabled()); // music was off and stays apart

  Focus(window->chkSound);
  Press(Qt::Key_Space);
  EXPECT_TRUE(window->slideSound->isEnabled());
  EXPECT_EQ(window->slideSound->value(), 77);

  Focus(window->chkMusic);
  Press(Qt::Key_Space);
  EXPECT_TRUE(window->slideMusic->isEnabled());
  EXPECT_TRUE(window->slideSound->isEnabled());

  EXPECT_EQ(window->slideSound->minimum(), 1);
  EXPECT_EQ(window->slideSound->maximum(), 255);
  EXPECT_EQ(window->slideSound->tickInterval(), 5);
}

TEST_F(MainWindowTest, CacheTakesAWholeNumberAndTheInstallFieldsAreShownOnly) {
  Open();
  window->edCache->setText("");
  Focus(window->edCache);
  QTest::keyClick(window->edCache->Edit(), Qt::Key_Home);
  QTest::keyClicks(window->edCache->Edit(), "1x2y34-.5");
  EXPECT_EQ(window->edCache->Text(), "12345");
  window->edCache->setText("");
  QTest::keyClicks(window->edCache->Edit(), "-0-7");
  EXPECT_EQ(window->edCache->Text(), "-07");

  const QString dir = window->edUOIns->Text();
  const QString version = window->edVer->Text();
  EXPECT_FALSE(window->edUOIns->Enabled());
  EXPECT_FALSE(window->edVer->Enabled());
  Focus(window->edUOIns);
  QTest::keyClicks(window->edUOIns->Edit(), "abc");
  QTest::keyClicks(window->edVer->Edit(), "abc");
  EXPECT_EQ(window->edUOIns->Text(), dir);
  EXPECT_EQ(window->edVer->Text(), version);
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
  const QLineEdit* field = window->edUOIns->Edit();
  ASSERT_EQ(window->edUOIns->Text().toStdString(), deep.string());
  EXPECT_GT(field->width(), field->fontMetrics().horizontalAdvance(window->edUOIns->Text()));
  // The window grew with it; nothing else lost its room.
  EXPECT_LE(window->edUOIns->geometry().right(), window->lblVer->geometry().left());
  EXPECT_LE(window->edVer->geometry().right(), window->pageData->width());
}

} // namespace
} // namespace qv
