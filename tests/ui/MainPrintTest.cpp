#include "MainWindowSupport.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace qv {
namespace {

class MainPrintTest : public test::MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ui::Hooks().printSetup = [this](QWidget*, QPrinter& printer) {
      ++dialogs;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return confirm;
    };
    Open();
  }

  // The printed text, through pdftotext where it is installed.
  QString PdfText() const {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
      return {};
    QProcess process;
    process.start(tool, {QStringLiteral("-layout"), QString::fromStdString(pdf), "-"});
    process.waitForFinished(60000);
    // Compatibility forms: the "fi" ligature as two letters.
    return QString::fromUtf8(process.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC);
  }

  test::TempDir out;
  std::string pdf = out.file("printed.pdf");
  bool confirm = true;
  int dialogs = 0;
};

TEST_F(MainPrintTest, JournalPagePrintsTheJournalInEightPoints) {
  Pages()->setCurrentWidget(Child("tabJournal"));
  Child<TKVXButton>("btnPrint")->click();
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(messages.empty()) << LastMessage().toStdString();
  ASSERT_TRUE(QFile::exists(QString::fromStdString(pdf)));
  EXPECT_EQ(window->PrintFont().pointSize(), 8);
  const QString text = PdfText();
  if (text.isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_TRUE(text.contains("Ultima Online Journal"));
  EXPECT_TRUE(text.contains("first line of the journal")) << text.toStdString();
  EXPECT_TRUE(text.contains("Page Number: 1"));
}

TEST_F(MainPrintTest, MacrosPagePrintsTheMacroListInTenPoints) {
  Pages()->setCurrentWidget(Child("tabMacro"));
  Child<TKVXButton>("btnPrint")->click();
  EXPECT_EQ(dialogs, 1);
  ASSERT_TRUE(QFile::exists(QString::fromStdString(pdf)));
  EXPECT_EQ(window->PrintFont().pointSize(), 10);
  const QString text = PdfText();
  if (text.isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_TRUE(text.contains("Ultima Online Macro List"));
  EXPECT_TRUE(text.contains("Parameter"));
  EXPECT_TRUE(text.contains("Hail"));
  EXPECT_TRUE(text.contains("Alt   + Q") || text.contains("Alt + Q"));
}

TEST_F(MainPrintTest, MacroBeingEditedIsStoredAndPrinted) {
  Pages()->setCurrentWidget(Child("tabMacro"));
  Child<TKVXButton>("btnAdd")->click();
  ASSERT_TRUE(Macros()->MacroCheckedOut());
  const auto pick = [](TKVXComboBox* box, const QString& text) {
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
  };
  pick(Child<TKVXComboBox>("cboxKey"), "F5");
  pick(ChildNo<TKVXComboBox>("cboxMacro", 1), "Bow");
  Child<TKVXButton>("btnPrint")->click();
  EXPECT_FALSE(Macros()->MacroCheckedOut());
  EXPECT_TRUE(messages.empty()) << LastMessage().toStdString();
  const QString text = PdfText();
  if (text.isEmpty())
    GTEST_SKIP() << "pdftotext is not installed";
  EXPECT_TRUE(text.contains(QRegularExpression("F5 +Bow"))) << text.toStdString();
}

TEST_F(MainPrintTest, CancelledDialogPrintsNothing) {
  confirm = false;
  const int size = window->PrintFont().pointSize();
  Pages()->setCurrentWidget(Child("tabJournal"));
  Child<TKVXButton>("btnPrint")->click();
  EXPECT_EQ(dialogs, 1);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
  EXPECT_EQ(window->PrintFont().pointSize(), size);
}

TEST_F(MainPrintTest, EachJobStartsWithAllPagesWhateverTheLastOneChose) {
  Pages()->setCurrentWidget(Child("tabJournal"));
  std::vector<std::pair<QPrinter::PrintRange, int>> offered;
  const auto setup = ui::Hooks().printSetup;
  ui::Hooks().printSetup = [&](QWidget* parent, QPrinter& printer) {
    offered.emplace_back(printer.printRange(), printer.fromPage());
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    return setup(parent, printer);
  };
  Child<TKVXButton>("btnPrint")->click();
  Child<TKVXButton>("btnPrint")->click();
  using Offer = std::pair<QPrinter::PrintRange, int>;
  EXPECT_EQ(offered, (std::vector<Offer>{{QPrinter::AllPages, 0}, {QPrinter::AllPages, 0}}));
  EXPECT_EQ(dialogs, 2);
}

TEST_F(MainPrintTest, FileThatCannotBeWrittenIsReported) {
  pdf = out.file("no such folder/printed.pdf");
  Pages()->setCurrentWidget(Child("tabJournal"));
  Child<TKVXButton>("btnPrint")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, ui::MessageKind::GeneralError);
  EXPECT_EQ(messages[0].text.toStdString(), "Cannot create file " + pdf);
}

} // namespace
} // namespace qv
