#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "comm/transfer_log.h"
#include "core/common_datas.h"
#include "core/main_thread.h"

namespace fs = std::filesystem;
using namespace ferrolad;
using namespace std::chrono_literals;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class TransferLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("ferrolad_log_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    settings.SetLogPath(dir_.string());
    log = std::make_unique<TransferLog>(settings, loop, [this] { return now; });
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path LogFile(const std::string& name) const { return dir_ / "logs" / name; }

  fs::path dir_;
  TCommonDatas settings;
  EventLoopMainThread loop;
  LocalDateTime now{2026, 12, 9, 8, 33, 50};
  std::unique_ptr<TransferLog> log;
};

}  // namespace

TEST(TransferLogFormat, LinesAndFileNames) {
  const LocalDateTime t{2026, 12, 9, 8, 33, 50};
  EXPECT_EQ(LogFileName(t), "09-12-2026 08-33-50.txt");
  EXPECT_EQ(LogFileName({1999, 1, 31, 23, 5, 7}), "31-01-1999 23-05-07.txt");
  EXPECT_EQ(LogEntryLine(0, "010350040001A7", t), " Send: 010350040001A7");
  EXPECT_EQ(LogEntryLine(1, ":0103", t), " Recv: :0103");
  EXPECT_EQ(LogEntryLine(2, "No answer!", t), "Error: No answer!");
  EXPECT_EQ(LogEntryLine(3, "abc", t), "09.12.2026 08:33:50Str: abc");
  EXPECT_EQ(LogEntryLine(7, "abc", t), "");
}

TEST_F(TransferLogTest, EntriesAndLastTexts) {
  log->AddLogEntry(0, "SEND1");
  log->AddLogEntry(1, "RECV1");
  log->AddLogEntry(2, "ERR");
  log->AddLogEntry(3, ":01\r\n");
  log->AddLogEntry(9, "odd");
  log->AddLogLine("plain");
  log->AddLogEntry(1, "two\r\nlines");
  EXPECT_EQ(log->Lines(), (std::vector<std::string>{" Send: SEND1", " Recv: RECV1", "Error: ERR",
                                                    "09.12.2026 08:33:50Str: :01", "", "plain", " Recv: two", "lines"}));
  EXPECT_EQ(log->LastSend(), "SEND1");
  EXPECT_EQ(log->LastRecv(), "two\r\nlines");
  log->Clear();
  EXPECT_TRUE(log->Lines().empty());
}

TEST_F(TransferLogTest, PostedEntriesArriveOnTheMainThreadInOrder) {
  int changes = 0;
  log->SetOnChanged([&](bool) {
    EXPECT_TRUE(loop.isCurrentThread());
    ++changes;
  });
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) log->PostLogEntry(LogEntryKind::Send, std::to_string(i));
  });
  worker.join();  // posting never waits for the main thread
  EXPECT_TRUE(log->Lines().empty());
  loop.processPending();
  ASSERT_EQ(log->Lines().size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(log->Lines()[i], " Send: " + std::to_string(i));
  EXPECT_EQ(changes, 50);

  // A plain line from a worker is added on the main thread while the worker waits.
  std::atomic<bool> done{false};
  std::thread liner([&] {
    log->AddLogLine("Attempt 2=> ");
    done = true;
  });
  EXPECT_TRUE(loop.runUntil([&] { return done.load(); }, 10s));
  liner.join();
  EXPECT_EQ(log->Lines().back(), "Attempt 2=> ");
}

TEST_F(TransferLogTest, AutomaticSaveWhenAnEntryFindsTooManyLines) {
  ASSERT_TRUE(log->AutoSaveLog());
  for (int i = 0; i < 1001; ++i) log->AddLogEntry(2, std::string("e").append(std::to_string(i)));
  ASSERT_EQ(log->Lines().size(), 1001u);  // 1001 lines: the entry that made them did not save
  // A plain line never saves.
  log->AddLogLine("plain");
  ASSERT_EQ(log->Lines().size(), 1002u);
  EXPECT_FALSE(fs::exists(dir_ / "logs"));
  log->AddLogEntry(0, "next");
  const fs::path file = LogFile("09-12-2026 08-33-50.txt");
  EXPECT_EQ(log->Lines(), (std::vector<std::string>{"Transferring log is saved to file: " + file.string(), " Send: next"}));
  const std::string saved = ReadFile(file);
  EXPECT_EQ(saved.substr(0, 9), "Error: e0");
  EXPECT_NE(saved.find("Error: e1000\nplain\n"), std::string::npos);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 1002);
}

TEST_F(TransferLogTest, ManualSaveKeepsTheLinesAndSavesInOneSecondDoNotOverwrite) {
  log->AddLogEntry(0, "a");
  ASSERT_TRUE(log->SaveLogToFile());
  const fs::path first = LogFile("09-12-2026 08-33-50.txt");
  EXPECT_EQ(ReadFile(first), " Send: a\n");
  EXPECT_EQ(log->Lines(), (std::vector<std::string>{" Send: a", "Transferring log is saved to file: " + first.string()}));
  ASSERT_TRUE(log->SaveLogToFile(true));  // same second: a numbered name
  const fs::path second = LogFile("09-12-2026 08-33-50 (2).txt");
  EXPECT_EQ(ReadFile(first), " Send: a\n");
  EXPECT_EQ(ReadFile(second), " Send: a\nTransferring log is saved to file: " + first.string() + "\n");
  EXPECT_EQ(log->Lines(), (std::vector<std::string>{"Transferring log is saved to file: " + second.string()}));
  now.second = 51;
  ASSERT_TRUE(log->SaveLogToFile());
  EXPECT_TRUE(fs::exists(LogFile("09-12-2026 08-33-51.txt")));
}

TEST_F(TransferLogTest, MissingLogPathStopsAutomaticSaving) {
  const fs::path missing = dir_ / "missing";
  settings.SetLogPath(missing.string());
  settings.SetLinesToLog(100);
  for (int i = 0; i < 101; ++i) log->AddLogEntry(2, "x");
  EXPECT_FALSE(log->ErrMsgPanelVisible());
  log->AddLogEntry(2, "trigger");
  EXPECT_TRUE(log->ErrMsgPanelVisible());
  EXPECT_EQ(log->ErrMsgPanelCaption(), "Can not create folder \"logs\": " + (missing / "logs").string());
  EXPECT_FALSE(log->AutoSaveLog());
  EXPECT_EQ(log->Lines().size(), 102u);  // lines kept
  // Even once the folder could be made, no automatic save is tried again.
  fs::create_directories(missing);
  for (int i = 0; i < 200; ++i) log->AddLogEntry(2, "y");
  EXPECT_EQ(log->Lines().size(), 302u);
  EXPECT_FALSE(fs::exists(missing / "logs"));
}

TEST_F(TransferLogTest, SavingOffAndWriteFailure) {
  settings.SetSaveLog(false);
  TransferLog quiet(settings, loop, [this] { return now; });
  EXPECT_FALSE(quiet.AutoSaveLog());
  for (int i = 0; i < 1100; ++i) quiet.AddLogEntry(1, "r");
  EXPECT_EQ(quiet.Lines().size(), 1100u);

  // The file cannot be written: the log reports it and keeps its lines.
  fs::create_directories(dir_ / "logs" / "09-12-2026 08-33-50.txt.tmp");
  log->AddLogEntry(0, "kept");
  EXPECT_FALSE(log->SaveLogToFile(true));
  const std::string path = LogFile("09-12-2026 08-33-50.txt").string();
  EXPECT_EQ(log->Lines(), (std::vector<std::string>{" Send: kept", "Error saving log to file: " + path}));
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(TransferLogTest, FoldersFollowLogPath) {
  settings.SetLogPath("");
  EXPECT_EQ(log->LogFolder(), "logs");
  EXPECT_EQ(log->DebugLogPath(), "debug.log");
  settings.SetLogPath("/var/x/");
  EXPECT_EQ(log->LogFolder(), "/var/x/logs");
  settings.SetLogPath("/var/x");
  EXPECT_EQ(log->DebugLogPath(), "/var/x/debug.log");
}

TEST_F(TransferLogTest, CompilationLog) {
  log->WriteDebugLog("off");
  EXPECT_FALSE(fs::exists(dir_ / "debug.log"));
  settings.SetAddCompilationInfoToLog(true);
  log->WriteDebugLog("first");
  log->WriteDebugLog("second");
  EXPECT_EQ(ReadFile(dir_ / "debug.log"), "first\r\nsecond\r\n");
  settings.SetLogPath((dir_ / "missing").string());
  log->WriteDebugLog("lost");
  EXPECT_FALSE(settings.AddCompilationInfoToLog());
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}
