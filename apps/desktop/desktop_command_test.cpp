// Tests of the desktop host as a program: `zarel desktop` runs zarel-desktop
// on the demo and saves a picture of its window; without a display;
// usage errors, a missing folder or form, a setting the control refuses;
// and a zarel program without the desktop host beside it.
#include "apps/desktop/desktop_command.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <filesystem>

#include "zarel/testing/desktop_rig.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

// Runs a program with the arguments, in this test's environment (its
// display or the offscreen platform) unless given another, for at most two
// minutes.
ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment =
                          QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    return {-1, "", "did not finish"};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput().toStdString(),
          process.readAllStandardError().toStdString()};
}

ProgramRun Zarel(const QStringList& arguments, const QProcessEnvironment& environment =
                                                    QProcessEnvironment::systemEnvironment()) {
  return RunProgram(ZAREL_PROGRAM, QStringList{"desktop"} + arguments, environment);
}

class DesktopCommandTest : public ::testing::Test {
 protected:
  DesktopCommandTest() {
    const ProgramRun made = RunProgram(ZAREL_PROGRAM, {"demo", Q(folder.PathOf("demo"))});
    EXPECT_EQ(made.status, 0) << made.err;
  }
  static QString Q(const std::string& text) { return QString::fromStdString(text); }
  QString Connection() const { return Q("sqlite:" + folder.PathOf("demo/demo.db")); }
  QString Site() const { return Q(folder.PathOf("demo/site")); }

  testing::TempFolder folder;
};

TEST_F(DesktopCommandTest, ZarelDesktopOpensTheDemoInAWindow) {
  const std::string picture = testing::ScreenshotPath("desktop-program");
  const std::string front_page = folder.PathOf("demo/site/fp.htm");
  std::filesystem::remove(front_page);  // the window writes it again
  const ProgramRun run = Zarel({Connection(), "--folder", Site(), "--talking", "--heading",
                                "Brightwater Supplies", "--screenshot", Q(picture)});
  ASSERT_EQ(run.status, 0) << run.err;
  const QImage shot(Q(picture));
  EXPECT_GE(shot.width(), 800);
  EXPECT_GE(shot.height(), 500);
  EXPECT_TRUE(testing::FileExists(front_page));
}

// Without a display the window would run unseen until killed: the program
// says so and stops, unless all it is asked for is the picture.
TEST_F(DesktopCommandTest, WithoutADisplayOnlyThePicture) {
  QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) headless.remove(name);
  const ProgramRun refused = Zarel({Connection(), "--folder", Site()}, headless);
  EXPECT_EQ(refused.status, kDesktopRunFailure);
  EXPECT_NE(refused.err.find("zarel: no display to open the window on (DISPLAY is not set): run "
                             "it on a desktop, under xvfb-run, or with --screenshot FILE"),
            std::string::npos)
      << refused.err;

  const std::string picture = folder.PathOf("headless.png");
  const ProgramRun shot =
      Zarel({Connection(), "--folder", Site(), "--screenshot", Q(picture)}, headless);
  ASSERT_EQ(shot.status, 0) << shot.err;
  EXPECT_GE(QImage(Q(picture)).width(), 800);
}

TEST_F(DesktopCommandTest, FailuresAndTheirStatus) {
  const QString form = Q(folder.PathOf("missing.form"));
  const struct {
    const char* what;
    QStringList arguments;
    int status;
    const char* said;  // in standard error
  } cases[] = {
      {"no connection", {}, kDesktopUsageError, "CONNECTION is required"},
      {"an unknown option", {Connection(), "--colour"}, kDesktopUsageError,
       "The following argument was not expected: --colour"},
      {"no message lines", {Connection(), "--message-lines", "0"}, kDesktopUsageError,
       "--message-lines"},
      {"a missing folder", {Connection(), "--folder", Q(folder.PathOf("nowhere"))},
       kDesktopRunFailure, "does not exist"},
      {"a missing form", {Connection(), "--folder", Site(), "--form", form}, kDesktopRunFailure,
       "Form file not found"},
      {"a role the control refuses", {Connection(), "--folder", Site(), "--role", "abc"},
       kDesktopUsageError, "the control refused a setting: 13, Type mismatch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ProgramRun run = Zarel(c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
  }
  const ProgramRun help = Zarel({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--screenshot"), std::string::npos) << help.out;
}

// A zarel program built without the desktop host says what is missing.
TEST_F(DesktopCommandTest, WithoutTheDesktopHostBesideIt) {
  const std::string alone = folder.PathOf("zarel");
  std::filesystem::copy_file(ZAREL_PROGRAM, alone);
  const ProgramRun run = RunProgram(Q(alone), {"desktop", Connection()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the desktop host (zarel-desktop) is not installed beside this program"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace zarel
