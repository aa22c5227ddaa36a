#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "core/common_datas.h"
#include "core/settings_file.h"

namespace fs = std::filesystem;
using namespace ferrolad;

namespace {

// A temporary folder, a clean environment for the settings lookup and the working directory inside
// the folder; everything is restored afterwards.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("ferrolad_settings_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "cwd");
    oldCwd_ = fs::current_path();
    fs::current_path(dir_ / "cwd");
    for (const char* name : {"APPDATA", "XDG_CONFIG_HOME", "HOME", "FERROLAD_TEST_VAR"}) {
      const char* v = std::getenv(name);
      saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
      ::unsetenv(name);
    }
    ::setenv("HOME", (dir_ / "home").c_str(), 1);
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    for (auto& [name, v] : saved_) {
      if (v) ::setenv(name.c_str(), v->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
    fs::remove_all(dir_);
  }
  static void Write(const fs::path& path, const std::string& text) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  fs::path dir_, oldCwd_;
  std::map<std::string, std::optional<std::string>> saved_;
};

std::vector<std::string> Lines(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }

}  // namespace

TEST(CommonDatas, DefaultsAndDerivedValues) {
  TCommonDatas s;
  EXPECT_EQ(s.Language(), "en");
  EXPECT_EQ(s.ComReadTimeout(), 30);
  EXPECT_EQ(s.ComHandleTimeout(), 50);
  EXPECT_EQ(s.ResponseTimeout1(), 100);
  EXPECT_EQ(s.ResponseTimeout2(), 150);
  EXPECT_EQ(s.GeneralTimeout(), 100);
  EXPECT_EQ(s.ComTimeout(), 80);
  EXPECT_EQ(s.ResponseWait(), 180);
  EXPECT_EQ(s.RepeatCount(), 3);
  EXPECT_EQ(s.TotalTimeout(), 800);
  EXPECT_EQ(s.ReadAttempts(), 1);
  EXPECT_EQ(s.TimeoutSum(), 400);
  EXPECT_EQ(s.MaxBlocksInFragment(), 1000);
  EXPECT_EQ(s.LinesToLog(), 1000);
  EXPECT_EQ(s.MaxReadRegisters(), 123);
  EXPECT_EQ(s.TimerGetStateInterval(), 200);
  EXPECT_TRUE(s.WriteLog());
  EXPECT_TRUE(s.SaveLog());
  EXPECT_FALSE(s.SlowMode());
  EXPECT_FALSE(s.AddCompilationInfoToLog());
  EXPECT_EQ(s.LogPath(), "");
  EXPECT_EQ(s.WindowCaption(), "Ferrolad, ver. 3.0.3b  -  Orvane");
}

TEST(CommonDatas, SettersRecomputeOnlyWhatTheyOwn) {
  TCommonDatas s;
  s.SetComReadTimeout(100);
  EXPECT_EQ(s.ComTimeout(), 150);
  EXPECT_EQ(s.ResponseWait(), 250);
  EXPECT_EQ(s.TotalTimeout(), 250 + 400 * 2 + 100);
  // GeneralTimeout is a plain store: TotalTimeout keeps its old term until the next recomputation.
  s.SetGeneralTimeout(10);
  EXPECT_EQ(s.TotalTimeout(), 1150);
  s.SetResponseTimeout1(10);
  EXPECT_EQ(s.ResponseWait(), 160);
  EXPECT_EQ(s.TotalTimeout(), 160 + 310 * 2 + 10);
  s.SetRepeatCount(1);
  EXPECT_EQ(s.TotalTimeout(), 170);
  s.SetComHandleTimeout(10);
  EXPECT_EQ(s.ComTimeout(), 110);
  EXPECT_EQ(s.ResponseWait(), 120);
  s.SetTimerGetStateInterval(50);
  EXPECT_EQ(s.TimerGetStateInterval(), 100);
  s.SetTimerGetStateInterval(10000);
  EXPECT_EQ(s.TimerGetStateInterval(), 10000);
}

TEST(SettingsFile, FindSettingRules) {
  auto lines = Lines({"<READ_ATTEMPTS>=5", "x<READ_ATTEMPTS>=6", "<READ_ATTEMPTS>=3", "<read_attempts>=4",
                      "<LOG_PATH>=a>=b", "<NUM>=12", "<NUM>=1 2", "<EMPTY>="});
  EXPECT_EQ(FindSetting(lines, "READ_ATTEMPTS", true), "3");
  EXPECT_EQ(FindSetting(Lines({"<READ_ATTEMPTS>=5"}), "READ_ATTEMPTS", true), std::nullopt);  // line 0
  EXPECT_EQ(FindSetting(lines, "LOG_PATH", false), "a>=b");
  EXPECT_EQ(FindSetting(lines, "NUM", true), std::nullopt);  // the last line wins, and it is not numeric
  EXPECT_EQ(FindSetting(lines, "NUM", false), "1 2");
  EXPECT_EQ(FindSetting(lines, "EMPTY", true), std::nullopt);
  EXPECT_EQ(FindSetting(lines, "EMPTY", false), "");
  EXPECT_EQ(FindSetting(lines, "MISSING", false), std::nullopt);
}

TEST_F(SettingsFileTest, ExpandEnvironment) {
  ::setenv("FERROLAD_TEST_VAR", "/data", 1);
  struct Case { const char* in; const char* out; } cases[] = {
      {"%FERROLAD_TEST_VAR%/logs", "/data/logs"},
      {"a%FERROLAD_TEST_VAR%b%FERROLAD_TEST_VAR%", "a/datab/data"},
      {"%FERROLAD_UNSET_VAR%x", "x"},
      {"keep%FERROLAD_TEST_VAR", "keep"},
      {"100%% sure", "100 sure"},
      {"plain", "plain"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandEnvironment(c.in), c.out) << c.in;
}

TEST_F(SettingsFileTest, KeysValuesAndRanges) {
  struct Case {
    const char* name;
    std::string body;  // lines after the (ignored) first line
    std::function<void(const TCommonDatas&)> check;
  };
  const Case cases[] = {
      {"only the first line", "", [](auto& s) { EXPECT_EQ(s.ReadAttempts(), 1); }},
      {"read timeout 0 ignored", "<COMPORT_TIMEOUT_READ>=0\n", [](auto& s) { EXPECT_EQ(s.ComTimeout(), 80); }},
      {"read timeout 101 ignored", "<COMPORT_TIMEOUT_READ>=101\n", [](auto& s) { EXPECT_EQ(s.ComTimeout(), 80); }},
      {"read timeout 100", "<COMPORT_TIMEOUT_READ>=100\n", [](auto& s) { EXPECT_EQ(s.ComTimeout(), 150); }},
      {"leading blank", "<COMPORT_TIMEOUT_READ>= 40\n", [](auto& s) { EXPECT_EQ(s.ComReadTimeout(), 30); }},
      {"lower-case key", "<comport_timeout_read>=40\n", [](auto& s) { EXPECT_EQ(s.ComReadTimeout(), 30); }},
      {"huge number", "<COMPORT_TIMEOUT_READ>=99999999999999999999\n",
       [](auto& s) { EXPECT_EQ(s.ComReadTimeout(), 30); }},
      {"leading zeros", "<READ_ATTEMPTS>=0007\n", [](auto& s) { EXPECT_EQ(s.ReadAttempts(), 7); }},
      {"timeouts", "<COMPORT_TIMEOUT_HANDLE>=10\n<RESPONSE_HANDLE_TIMEOUT1>=20\n<RESPONSE_HANDLE_TIMEOUT2>=999\n",
       [](auto& s) {
         EXPECT_EQ(s.ComTimeout(), 40);
         EXPECT_EQ(s.ResponseWait(), 60);
         EXPECT_EQ(s.ResponseTimeout2(), 999);
       }},
      {"no SAVE_LOG turns saving off", "<WRITE_LOG>=1\n", [](auto& s) {
         EXPECT_FALSE(s.SaveLog());
         EXPECT_TRUE(s.WriteLog());
       }},
      {"SAVE_LOG 1, WRITE_LOG 0", "<SAVE_LOG>=1\n<WRITE_LOG>=0\n", [](auto& s) {
         EXPECT_TRUE(s.SaveLog());
         EXPECT_FALSE(s.WriteLog());
       }},
      {"slow mode with registers", "<SLOW>=1\n<MAX_READ_REGISTERS>=16\n", [](auto& s) {
         EXPECT_TRUE(s.SlowMode());
         EXPECT_EQ(s.MaxReadRegisters(), 16);
       }},
      {"registers without slow", "<MAX_READ_REGISTERS>=16\n", [](auto& s) {
         EXPECT_FALSE(s.SlowMode());
         EXPECT_EQ(s.MaxReadRegisters(), 123);
       }},
      {"zero registers ignored", "<SLOW>=1\n<MAX_READ_REGISTERS>=0\n",
       [](auto& s) { EXPECT_EQ(s.MaxReadRegisters(), 123); }},
      {"two general timeouts", "<GENERAL_TIMEOUT>=20\n<GENERAL_TIMEOUT>=30\n",
       [](auto& s) { EXPECT_EQ(s.GeneralTimeout(), 30); }},
      {"general timeout beats cycle delay", "<GENERAL_TIMEOUT>=20\n<CYCLE_READ_DELAY>=500\n",
       [](auto& s) { EXPECT_EQ(s.GeneralTimeout(), 20); }},
      {"cycle delay alone", "<CYCLE_READ_DELAY>=500\n", [](auto& s) { EXPECT_EQ(s.GeneralTimeout(), 500); }},
      {"status interval 50 ignored", "<STATE_REQ>=50\n", [](auto& s) { EXPECT_EQ(s.TimerGetStateInterval(), 200); }},
      {"status interval 1000", "<STATE_REQ>=1000\n", [](auto& s) { EXPECT_EQ(s.TimerGetStateInterval(), 1000); }},
      {"lines to log", "<LINES_TO_LOG>=100\n", [](auto& s) { EXPECT_EQ(s.LinesToLog(), 100); }},
      {"lines to log 99 ignored", "<LINES_TO_LOG>=99\n", [](auto& s) { EXPECT_EQ(s.LinesToLog(), 1000); }},
      {"log path expanded", "<LOG_PATH>=%FERROLAD_TEST_VAR%/x\n", [](auto& s) { EXPECT_EQ(s.LogPath(), "/v/x"); }},
      {"CR LF lines", "<READ_ATTEMPTS>=4\r\n<SAVE_LOG>=1\r\n", [](auto& s) {
         EXPECT_EQ(s.ReadAttempts(), 4);
         EXPECT_TRUE(s.SaveLog());
       }},
  };
  ::setenv("FERROLAD_TEST_VAR", "/v", 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write("ferrolad.txt", "<READ_ATTEMPTS>=9\n" + c.body);
    TCommonDatas s;
    ASSERT_EQ(ReadSettingsFile(s), "ferrolad.txt");
    c.check(s);
  }
}

TEST_F(SettingsFileTest, NoFileKeepsEveryDefault) {
  TCommonDatas s;
  EXPECT_EQ(ReadSettingsFile(s), std::nullopt);
  EXPECT_TRUE(s.SaveLog());
  EXPECT_TRUE(s.WriteLog());
  EXPECT_EQ(s.TotalTimeout(), 800);
}

TEST_F(SettingsFileTest, LocationOrder) {
  const fs::path appdata = dir_ / "appdata";
  Write(appdata / "Orvane/Ferrolad/ferrolad.txt", "\n<READ_ATTEMPTS>=2\n");
  Write("ferrolad.txt", "\n<READ_ATTEMPTS>=3\n");
  Write(dir_ / "xdg/Orvane/Ferrolad/ferrolad.txt", "\n<READ_ATTEMPTS>=4\n");
  Write(dir_ / "home/.config/Orvane/Ferrolad/ferrolad.txt", "\n<READ_ATTEMPTS>=5\n");

  auto attempts = [] {
    TCommonDatas s;
    ReadSettingsFile(s);
    return s.ReadAttempts();
  };
  EXPECT_EQ(attempts(), 5);  // ~/.config when neither APPDATA nor XDG_CONFIG_HOME is set
  ::setenv("XDG_CONFIG_HOME", (dir_ / "xdg").c_str(), 1);
  EXPECT_EQ(attempts(), 4);
  ::setenv("APPDATA", appdata.c_str(), 1);
  EXPECT_EQ(attempts(), 2);
  fs::remove(appdata / "Orvane/Ferrolad/ferrolad.txt");
  EXPECT_EQ(attempts(), 3);  // APPDATA set but empty there: the working directory, not XDG
  fs::remove("ferrolad.txt");
  EXPECT_EQ(attempts(), 1);
}
