// Tests of the desktop browser: pages shown and read back, save as to a
// given destination and through the save dialog, print through the print
// dialog into a PDF checked by a PDF tool, the preview, their failures and
// bounds, and the real dialogs answered by the test.
#include "zarel/desktop/desktop_browser.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTest>
#include <QWebEngineView>
#include <fstream>
#include <regex>

#include "zarel/base/error.h"
#include "zarel/testing/desktop_rig.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

using namespace std::chrono_literals;
using testing::ErrorNumberOf;
using testing::ReadFile;

constexpr const char* kOrdersPage =
    "<html><body><h1>Orders</h1><table><tr><td>Bottom-Dollar Markets</td><td>440.00</td></tr>"
    "<tr id=DTL001 style='display:none'><td>Line 1: Chai, 10 x 18.00</td></tr></table>"
    "<img id=CTL001 src=plus.gif onclick=\"document.getElementById('DTL001').style.display="
    "''\"></body></html>";

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Chooses "Print to File (PDF)" in the print dialog's printer and names
// the file, as a user does.
int PrintToFile(QDialog& dialog, const std::string& pdf) {
  QPrinter* printer = dynamic_cast<QPrintDialog&>(dialog).printer();
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(QString::fromStdString(pdf));
  return QDialog::Accepted;
}

class DesktopBrowserTest : public ::testing::Test {
 protected:
  DesktopBrowserTest() {
    browser->Dialogs(dialogs.Runner());
    view().resize(800, 600);
    view().show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view()));
    WriteFile(page, kOrdersPage);
  }
  QWebEngineView& view() const { return *browser->Widget(); }
  bool Show(const std::string& path) {
    browser->Navigate(path);
    return browser->WaitForLoad();
  }

  testing::TempFolder site;
  testing::TempFolder out;
  std::string page = site.PathOf("oReport.htm");
  testing::ScriptedDialogs dialogs;
  std::shared_ptr<DesktopBrowser> browser = DesktopBrowser::Create();
};

// The page shown is read back by its text; a file rewritten under the same
// name shows anew; the page's own script runs; a missing file fails to load
// and the commands then say so.
TEST_F(DesktopBrowserTest, ShowsPagesAndTheirScript) {
  EXPECT_FALSE(browser->WaitForLoad()) << "nothing navigated yet";
  ASSERT_TRUE(Show(page));
  EXPECT_EQ(browser->LocationPath(), page);
  EXPECT_NE(testing::PageText(view()).find("Bottom-Dollar Markets"), std::string::npos);
  EXPECT_EQ(testing::PageText(view()).find("Chai"), std::string::npos);
  testing::RunScript(view(), "document.getElementById('CTL001').click()");
  EXPECT_NE(testing::PageText(view()).find("Line 1: Chai, 10 x 18.00"), std::string::npos);
  ASSERT_TRUE(testing::WaitForFrame(view()));
  testing::SaveScreenshot(view(), "browser-script");

  for (const char* text : {"first", "second"}) {  // never a cached copy
    WriteFile(page, std::string("<body>") + text);
    ASSERT_TRUE(Show(page));
    EXPECT_EQ(testing::PageText(view()), text);
  }
  const std::string missing = site.PathOf("missing.htm");
  EXPECT_FALSE(Show(missing));
  for (std::int16_t command : {kCommandPrint, kCommandPrintPreview}) {
    EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(command, kPromptUser); }), errc::kFileNotFound);
  }
  EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandSaveAs, kPromptUser); }),
            errc::kFileNotFound);
  EXPECT_TRUE(dialogs.Titles().isEmpty()) << "no dialog for a page that is not there";
}

// Save as with a destination copies the page file as it was loaded, also
// after the page's script changed what is shown; a folder receives it under
// its own name; a failure leaves the destination as it was.
TEST_F(DesktopBrowserTest, SaveAsToAGivenDestination) {
  EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandSaveAs, kPromptUser); }),
            errc::kInvalidProcedureCall)
      << "no page shown";
  ASSERT_TRUE(Show(page));
  testing::RunScript(view(), "document.getElementById('CTL001').click()");
  const struct {
    const char* what;
    std::string destination;
    std::string written;  // the file that then holds the page, or ""
    int error;
  } cases[] = {
      {"a new file", out.PathOf("saved.htm"), out.PathOf("saved.htm"), 0},
      {"an existing file is replaced", out.PathOf("old.htm"), out.PathOf("old.htm"), 0},
      {"a folder", out.Path(), out.PathOf("oReport.htm"), 0},
      {"a missing folder", out.PathOf("missing/saved.htm"), "", errc::kPathNotFound},
  };
  WriteFile(out.PathOf("old.htm"), "old");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    browser->SaveDestination(c.destination);
    EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandSaveAs, kPromptUser); }), c.error);
    if (!c.written.empty()) {
      EXPECT_EQ(ReadFile(c.written), kOrdersPage);
    }
  }
  EXPECT_FALSE(testing::FileExists(out.PathOf("missing")));

  // The page file gone: 53, and the last copy stays as it was.
  browser->SaveDestination(out.PathOf("saved.htm"));
  std::remove(page.c_str());
  EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandSaveAs, kPromptUser); }),
            errc::kFileNotFound);
  EXPECT_EQ(ReadFile(out.PathOf("saved.htm")), kOrdersPage);
  EXPECT_TRUE(dialogs.Titles().isEmpty());
}

// Without a destination, save as asks with the save dialog; a cancelled
// dialog saves nothing and says so (32755).
TEST_F(DesktopBrowserTest, SaveAsThroughTheSaveDialog) {
  ASSERT_TRUE(Show(page));
  const std::string saved = out.PathOf("picked.htm");
  dialogs.Then([&](QDialog& dialog) {
    EXPECT_EQ(dynamic_cast<QFileDialog&>(dialog).acceptMode(), QFileDialog::AcceptSave);
    // What a user types into the file name box.
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(saved));
    dialog.accept();
    return static_cast<int>(QDialog::Accepted);
  });
  dialogs.Then([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
  browser->ExecWB(kCommandSaveAs, kPromptUser);
  EXPECT_EQ(ReadFile(saved), kOrdersPage);
  std::remove(saved.c_str());
  EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandSaveAs, kPromptUser); }),
            errc::kCancelled);
  EXPECT_FALSE(testing::FileExists(saved));
  EXPECT_EQ(dialogs.Titles(), QStringList({"Save Page", "Save Page"}));
}

// Print goes through the print dialog; "Print to File (PDF)" gives a PDF
// with the page's text, right after Navigate. A cancelled dialog, a missing
// folder and a command while another runs print nothing.
TEST_F(DesktopBrowserTest, PrintThroughThePrintDialogIntoAPdf) {
  browser->Navigate(page);  // the command waits for the page
  const std::string pdf = out.PathOf("orders.pdf");
  dialogs.Then([&](QDialog& dialog) { return PrintToFile(dialog, pdf); });
  browser->ExecWB(kCommandPrint, kPromptUser);
  EXPECT_NE(testing::PdfText(pdf).find("Bottom-Dollar Markets"), std::string::npos)
      << testing::PdfText(pdf);
  EXPECT_TRUE(std::regex_search(testing::RunTool("pdfinfo", {QString::fromStdString(pdf)}),
                                std::regex("Pages: +1\n")));
  testing::SavePdfPicture(pdf, "printed-page");

  const struct {
    const char* what;
    std::function<int(QDialog&)> answer;
    int error;
  } failures[] = {
      {"cancelled", [](QDialog&) { return static_cast<int>(QDialog::Rejected); },
       errc::kCancelled},
      {"a missing folder",
       [&](QDialog& dialog) { return PrintToFile(dialog, out.PathOf("missing/x.pdf")); },
       errc::kPathNotFound},
      {"a second command meanwhile",
       [&](QDialog&) {
         EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandSaveAs, kPromptUser); }),
                   errc::kInvalidProcedureCall);
         return static_cast<int>(QDialog::Rejected);
       },
       errc::kCancelled},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.what);
    dialogs.Then(failure.answer);
    EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandPrint, kPromptUser); }), failure.error);
  }
  EXPECT_FALSE(testing::FileExists(out.PathOf("missing")));
  EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(99, kPromptUser); }), errc::kInvalidProcedureCall);
  EXPECT_TRUE(dialogs.AllAnswered());
}

// The preview dialog shows the page; closing it is no failure.
TEST_F(DesktopBrowserTest, PreviewShowsThePage) {
  ASSERT_TRUE(Show(page));
  int pages = 0;
  dialogs.Then([&](QDialog& dialog) {
    dialog.resize(600, 700);
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    if (auto* preview = dialog.findChild<QPrintPreviewWidget*>()) pages = preview->pageCount();
    testing::SaveScreenshot(dialog, "preview");
    return static_cast<int>(QDialog::Rejected);
  });
  browser->ExecWB(kCommandPrintPreview, kPromptUser);
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(dialogs.Titles(), QStringList({"Print Preview"}));
}

// Every wait for the engine is bounded (TimeLimit); without a window the
// commands that need one fail, and saving to a destination still works.
TEST_F(DesktopBrowserTest, WaitsAreBoundedAndAClosedWindowFailsCleanly) {
  browser->TimeLimit(std::chrono::milliseconds(1));
  browser->Navigate(page);
  EXPECT_FALSE(browser->WaitForLoad());
  const RuntimeError late = [&] {
    try {
      browser->PrintToPdf(out.PathOf("late.pdf"));
    } catch (const RuntimeError& error) {
      return error;
    }
    return RuntimeError(0);
  }();
  EXPECT_EQ(late.Number(), errc::kInvalidProcedureCall);
  EXPECT_EQ(late.Description(), "Print is not available: the page did not load within 1 second");
  browser->TimeLimit(std::chrono::seconds(30));
  ASSERT_TRUE(browser->WaitForLoad());
  browser->PrintToPdf(out.PathOf("in-time.pdf"));
  EXPECT_NE(testing::PdfText(out.PathOf("in-time.pdf")).find("Orders"), std::string::npos);

  delete browser->Widget();
  EXPECT_EQ(browser->Widget(), nullptr);
  browser->Navigate(page);
  EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandPrint, kPromptUser); }),
            errc::kInvalidProcedureCall);
  browser->SaveDestination(out.PathOf("closed.htm"));
  browser->ExecWB(kCommandSaveAs, kPromptUser);
  EXPECT_EQ(ReadFile(out.PathOf("closed.htm")), kOrdersPage);
}

// The real dialogs, run with exec() and answered by a timer: the save
// dialog, the print dialog printing into the file typed in it, the preview.
TEST_F(DesktopBrowserTest, TheRealDialogsAreAnswered) {
  browser->Dialogs(ExecDialog);
  ASSERT_TRUE(Show(page));
  const std::string saved = out.PathOf("typed.htm");
  const std::string pdf = out.PathOf("typed.pdf");
  int pages = 0;
  testing::ModalAnswerer answerer;
  answerer.Then([&](QDialog& dialog) {
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(saved));
    dialog.accept();
  });
  answerer.Then([&](QDialog& dialog) {
    // "Print to File (PDF)" and the file name box, as the toolkit's dialog
    // names them (with a print server a real printer may come first).
    auto* printers = dialog.findChild<QComboBox*>("printers");
    auto* file_name = dialog.findChild<QLineEdit*>("filename");
    const int to_file = printers != nullptr ? printers->findText("Print to File (PDF)") : -1;
    if (to_file < 0 || file_name == nullptr) return dialog.reject();
    printers->setCurrentIndex(to_file);
    file_name->setText(QString::fromStdString(pdf));
    dialog.accept();
  });
  answerer.Then([&](QDialog& dialog) {
    if (auto* preview = dialog.findChild<QPrintPreviewWidget*>()) pages = preview->pageCount();
    dialog.reject();
  });
  browser->ExecWB(kCommandSaveAs, kPromptUser);
  browser->ExecWB(kCommandPrint, kPromptUser);
  browser->ExecWB(kCommandPrintPreview, kPromptUser);
  EXPECT_EQ(ReadFile(saved), kOrdersPage);
  EXPECT_NE(testing::PdfText(pdf).find("Bottom-Dollar Markets"), std::string::npos);
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(answerer.Titles(), QStringList({"Save Page", "Print", "Print Preview"}));
  EXPECT_FALSE(answerer.TimedOut());

  // A dialog nobody answers is closed at the answerer's limit: a cancel.
  testing::ModalAnswerer nobody(300ms);
  EXPECT_EQ(ErrorNumberOf([&] { browser->ExecWB(kCommandPrint, kPromptUser); }),
            errc::kCancelled);
  EXPECT_TRUE(nobody.TimedOut());
}

}  // namespace
}  // namespace zarel
