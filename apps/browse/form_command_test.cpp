// Tests of zarel form: creating a form, showing and applying the property
// page, and the failures that must leave the form file as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "apps/testing/run_zarel.h"
#include "zarel/testing/files.h"

namespace zarel {
namespace {

namespace fs = std::filesystem;

using testing::CommandRun;

CommandRun ZarelForm(std::vector<std::string> args) {
  args.insert(args.begin(), "form");
  return testing::Zarel(args);
}

using testing::ReadFile;

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

constexpr const char* kFreshForm = "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 80\nEnd\n";
constexpr const char* kPage80 = "Zarel Properties\nActivePort: 80\n";

class FormCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zarel-form-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    form_ = folder_ + "/main.form";
  }
  void TearDown() override { fs::remove_all(folder_); }

  // The names in the folder, so a test can see that no temporary file is
  // left behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  std::string folder_;
  std::string form_;
};

TEST_F(FormCommandTest, NewShowApply) {
  CommandRun run = ZarelForm({form_, "--new"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(form_), kFreshForm);

  run = ZarelForm({form_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kPage80);
  EXPECT_EQ(ReadFile(form_), kFreshForm);

  // 0 is the default: the entry leaves the file.
  run = ZarelForm({form_, "--apply", "0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kPage80) + "Zarel Properties\nActivePort: 0\n");
  EXPECT_EQ(ReadFile(form_), "ZarelForm 1\nBegin Zarel Zarel1\nEnd\n");

  run = ZarelForm({form_});
  EXPECT_EQ(run.out, "Zarel Properties\nActivePort: 0\n");

  // The page shows the value the control took, opened afresh after saving.
  run = ZarelForm({form_, "--apply", " 80 "});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string("Zarel Properties\nActivePort: 0\n") + kPage80);
  EXPECT_EQ(ReadFile(form_), kFreshForm);

  run = ZarelForm({form_, "--apply", "-32768"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(form_), "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = -32768\nEnd\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"main.form"});
}

TEST_F(FormCommandTest, RefusedTextLeavesTheFormAlone) {
  const struct {
    std::string text;
    std::string err;
  } cases[] = {
      {"abc", "zarel: the control refused ActivePort \"abc\": 13, Type mismatch\n"},
      {"", "zarel: the control refused ActivePort \"\": 13, Type mismatch\n"},
      {"32768", "zarel: the control refused ActivePort \"32768\": 6, Overflow\n"},
      {"99999", "zarel: the control refused ActivePort \"99999\": 6, Overflow\n"},
  };
  ASSERT_EQ(ZarelForm({form_, "--new"}).status, 0);
  for (const auto& c : cases) {
    const CommandRun run = ZarelForm({form_, "--apply", c.text});
    EXPECT_EQ(run.status, 1) << c.text;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, kPage80) << c.text;
    EXPECT_EQ(ReadFile(form_), kFreshForm) << c.text;
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"main.form"});
}

// zarel form --apply killed (SIGKILL) at moments spread over its run, over
// and over: the form is always the old one or the new one, whole, and at
// most the one temporary file of a save cut short lies beside it, which the
// next save takes over. (Each killed save once left a file of its own.)
TEST_F(FormCommandTest, KilledSavesLeaveAWholeFormAndNoFilesBehind) {
  ASSERT_EQ(ZarelForm({form_, "--new"}).status, 0);
  const std::vector<std::string> allowed = {".main.form.zarel-new", "main.form"};
  // How long one run takes here, to spread the kills over it.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(std::system((std::string(ZAREL_PROGRAM) + " form " + form_ + " --apply 80 >/dev/null")
                            .c_str()),
            0);
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  int cut_short = 0;
  for (int run = 0; run < 100; ++run) {
    const std::string value = std::to_string(1000 + run);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execl(ZAREL_PROGRAM, ZAREL_PROGRAM, "form", form_.c_str(), "--apply", value.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // From at once to the end of the run, most of them in its second half,
    // where the save is.
    ::usleep(static_cast<useconds_t>(took * (run < 20 ? run : 40 + run / 2) / 100));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::string form = ReadFile(form_);
    EXPECT_TRUE(form == kFreshForm ||
                form.rfind("ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 1", 0) == 0)
        << form;
    EXPECT_EQ(form.back(), '\n');
    std::vector<std::string> names = Names();
    std::sort(names.begin(), names.end());
    if (names.size() == 2) ++cut_short;
    EXPECT_TRUE(names == allowed || names == std::vector<std::string>{"main.form"})
        << names.size();
  }
  const CommandRun run = ZarelForm({form_, "--apply", "81"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(form_), "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 81\nEnd\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"main.form"});
  std::cout << "saves cut short: " << cut_short << " of 100\n";
}

TEST_F(FormCommandTest, FailuresAndUsage) {
  const std::string damaged = folder_ + "/damaged.form";
  Write(damaged, "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = eighty\nEnd\n");
  const std::string other = folder_ + "/other.form";
  Write(other, "ZarelForm 1\n");
  const std::string existing = folder_ + "/existing.form";
  Write(existing, "keep me");
  const std::string big = folder_ + "/big.form";
  Write(big, "ZarelForm 1\nBegin Zarel Zarel1\n  ActivePort = 100000\nEnd\n");

  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{folder_ + "/missing.form"}, 1, "zarel: Form file not found: " + folder_ + "/missing.form\n"},
      {{damaged, "--apply", "80"}, 1,
       "zarel: Invalid form file " + damaged +
           ", line 3: bad value eighty (expected a whole number or a quoted text)\n"},
      {{other}, 1, "zarel: the form file " + other + " holds no Zarel control\n"},
      {{big}, 1, "zarel: Control Zarel1: Overflow\n"},
      {{existing, "--new"}, 1, "zarel: the form file " + existing + " already exists\n"},
      {{folder_}, 1, "zarel: Cannot read the form file " + folder_ + ": not a file\n"},
      {{folder_ + "/no/such/folder.form", "--new"}, 1, ""},
      {{existing, "--new", "--apply", "80"}, 2, ""},
      {{}, 2, ""},
      {{existing, "--apply"}, 2, ""},
  };
  for (const auto& c : cases) {
    const CommandRun run = ZarelForm(c.args);
    const std::string label = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
    EXPECT_FALSE(run.err.empty()) << label;
    if (!c.err.empty()) {
      EXPECT_EQ(run.err, c.err);
    }
  }
  EXPECT_EQ(ReadFile(existing), "keep me");
  EXPECT_FALSE(fs::exists(folder_ + "/no"));

  const CommandRun help = ZarelForm({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"FILE", "--new", "--apply", "Zarel Properties", "ZarelForm 1",
                           "Exit status"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace zarel
