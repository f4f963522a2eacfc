#include "store/store_startup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/store.h"
#include "util/fake_env.h"

namespace zelka {
namespace {

constexpr int kRows = 20;

class StartupTest : public ::testing::Test {
 protected:
  std::string Live() const { return dir_.Child(kDatabaseFile); }
  std::string Previous() const { return dir_.Child(kPreviousDatabaseFile); }

  // A store holding kRows intake rows, as a previous run left it.
  void MakeStoreWithRows() {
    Database::Create(Live(), catalogue_);
    auto db = Database::Open(Live());
    db->InTransaction([&] {
      for (int i = 1; i <= kRows; ++i) {
        Recordset rs = db->OpenTable("相談受付表");
        rs.AddNew();
        rs.Set("整理番号", int64_t{i});
        rs.Set("1-1", "名" + std::to_string(i));
        rs.Update();
      }
    });
    db->DeleteKey("相談受付表", kRows);  // leaves free pages for the compaction
    db->Close();
  }

  // Whether the file is a store holding all the rows.
  static bool HoldsAllRows(const std::string& path) {
    try {
      auto db = Database::Open(path);
      auto rows = db->Query("SELECT count(*), sum([整理番号]) FROM [相談受付表]");
      return rows[0][0] == Value(int64_t{kRows - 1}) &&
             rows[0][1] == Value(int64_t{(kRows - 1) * kRows / 2});
    } catch (const StoreError&) {
      return false;
    }
  }

  // The guarantee: whatever happened, the next plain start finds every row.
  void ExpectNextStartFindsAllRows() {
    std::unique_ptr<Database> db;
    ASSERT_NO_THROW(db = OpenProgramStore(dir_.path(), Env::Default(), catalogue_));
    auto rows = db->Query("SELECT count(*) FROM [相談受付表]");
    EXPECT_EQ(rows[0][0], Value(int64_t{kRows - 1}));
    db->Close();
    for (const char* leftover : {"ZELKA20.mdb.compact", "ZELKA20.mdb.part", "_ZELKA20.mdb.part"})
      EXPECT_FALSE(std::filesystem::exists(dir_.Child(leftover))) << leftover;
  }

  testing::TempDir dir_;
  Catalogue catalogue_ = testing::SmallCatalogue();
};

TEST_F(StartupTest, FirstStartCreatesAStoreAndLaterOnesKeepTheStateBeforeThem) {
  StoreStartup report;
  auto db = OpenProgramStore(dir_.path(), Env::Default(), catalogue_, &report);
  EXPECT_TRUE(report.created);
  EXPECT_EQ(db->OpenTable("相談受付表").RecordCount(), 0);
  EXPECT_TRUE(std::filesystem::exists(Previous()));
  db->Close();
  std::filesystem::remove(Live());

  MakeStoreWithRows();
  db = OpenProgramStore(dir_.path(), Env::Default(), catalogue_, &report);
  EXPECT_FALSE(report.created || report.recovered);
  db->DeleteAll("相談受付表");  // work of this run
  db->Close();
  EXPECT_TRUE(HoldsAllRows(Previous()));
  EXPECT_FALSE(HoldsAllRows(Live()));
}

TEST_F(StartupTest, CompactionShrinksTheFile) {
  MakeStoreWithRows();
  {
    auto db = Database::Open(Live());
    db->Execute("UPDATE [相談受付表] SET [5-9]=?", {std::string(20000, 'x')});
    db->Execute("UPDATE [相談受付表] SET [5-9]=NULL");
  }
  auto before = std::filesystem::file_size(Live());
  OpenProgramStore(dir_.path(), Env::Default(), catalogue_)->Close();
  EXPECT_LT(std::filesystem::file_size(Live()), before);
  EXPECT_TRUE(HoldsAllRows(Live()));
}

// A missing live file is recovered from the previous copy; a journal of the
// lost file is not replayed into the recovered one.
TEST_F(StartupTest, MissingLiveFileIsRecoveredFromThePreviousCopy) {
  MakeStoreWithRows();
  std::filesystem::rename(Live(), Previous());
  testing::WriteBytes(Live() + "-journal", std::string(4096, '\x01'));
  StoreStartup report;
  OpenProgramStore(dir_.path(), Env::Default(), catalogue_, &report)->Close();
  EXPECT_TRUE(report.recovered);
  EXPECT_FALSE(std::filesystem::exists(Live() + "-journal"));
  ExpectNextStartFindsAllRows();
}

TEST_F(StartupTest, LeftoversOfACrashedStartAreRemoved) {
  MakeStoreWithRows();
  for (const char* leftover : {"ZELKA20.mdb.compact", "ZELKA20.mdb.part", "_ZELKA20.mdb.part"})
    ASSERT_TRUE(Env::Default().WriteFile(dir_.Child(leftover), "half a file"));
  ExpectNextStartFindsAllRows();
}

TEST_F(StartupTest, ADamagedLiveFileIsReportedAndLeftAlone) {
  MakeStoreWithRows();
  OpenProgramStore(dir_.path(), Env::Default(), catalogue_)->Close();
  ASSERT_TRUE(Env::Default().WriteFile(Live(), std::string(8192, '\x5a')));
  try {
    OpenProgramStore(dir_.path(), Env::Default(), catalogue_);
    FAIL();
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find(Live()), std::string::npos) << e.what();
  }
  EXPECT_TRUE(HoldsAllRows(Previous()));  // the good copy is untouched
}

// Fails every file-changing step of the start in turn: each failure is
// reported, a good copy always survives, and the next start finds every row.
TEST_F(StartupTest, AFailureAtAnyStepLosesNothing) {
  MakeStoreWithRows();
  FaultInjectingEnv counting;
  OpenProgramStore(dir_.path(), counting, catalogue_)->Close();
  const int steps = counting.Changes();
  ASSERT_GE(steps, 3);
  for (int step = 1; step <= steps; ++step) {
    SCOPED_TRACE("failing step " + std::to_string(step));
    FaultInjectingEnv env;
    env.FailNthChange(step);
    try {
      OpenProgramStore(dir_.path(), env, catalogue_)->Close();
      ADD_FAILURE() << "the failure was not reported";
    } catch (const StoreError& e) {
      EXPECT_FALSE(std::string(e.what()).empty());
    }
    EXPECT_TRUE(HoldsAllRows(Live()) || HoldsAllRows(Previous()));
    ExpectNextStartFindsAllRows();
  }
}

TEST_F(StartupTest, AFailureWhileRecoveringLosesNothing) {
  MakeStoreWithRows();
  std::filesystem::rename(Live(), Previous());
  for (int step = 1; step <= 8; ++step) {
    SCOPED_TRACE("failing step " + std::to_string(step));
    std::filesystem::remove(Live());
    FaultInjectingEnv env;
    env.FailNthChange(step);
    try {
      OpenProgramStore(dir_.path(), env, catalogue_)->Close();
    } catch (const StoreError&) {
    }
    EXPECT_TRUE(HoldsAllRows(Previous()));
    ExpectNextStartFindsAllRows();
  }
}

// Kills a start-up at every step of the sequence (as a power cut would) and
// checks that the next start finds every row.
TEST_F(StartupTest, AStartKilledAtAnyStepLosesNothing) {
  MakeStoreWithRows();
  FaultInjectingEnv counting;
  OpenProgramStore(dir_.path(), counting, catalogue_)->Close();
  const int steps = counting.Changes();
  for (int step = 1; step <= steps; ++step) {
    SCOPED_TRACE("killed before step " + std::to_string(step));
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipe_fds[0]);
      FaultInjectingEnv env;
      env.OnChange([&](int count, EnvOp, const std::string&) {
        if (count != step) return;
        char paused = 'p';
        (void)!write(pipe_fds[1], &paused, 1);
        for (;;) pause();  // waits here for the kill
      });
      try {
        OpenProgramStore(dir_.path(), env, catalogue_)->Close();
      } catch (...) {
      }
      char finished = 'f';
      (void)!write(pipe_fds[1], &finished, 1);
      _exit(0);
    }
    close(pipe_fds[1]);
    char signal_byte = 0;
    ASSERT_EQ(read(pipe_fds[0], &signal_byte, 1), 1);
    close(pipe_fds[0]);
    EXPECT_EQ(signal_byte, 'p');
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ExpectNextStartFindsAllRows();
  }
}

TEST(LayOutTest, LaysOutAFreshDirectoryAndRefusesAnExistingStore) {
  testing::TempDir source, target;
  std::filesystem::create_directories(source.Child("catalogue"));
  std::filesystem::create_directories(source.Child("FORM"));
  ASSERT_TRUE(Env::Default().WriteFile(source.Child("catalogue/items.tsv"), testing::kSmallCatalogue));
  ASSERT_TRUE(Env::Default().WriteFile(source.Child("FORM/A.HTM"), "<html></html>"));
  ASSERT_TRUE(Env::Default().WriteFile(source.Child("ZELKA20.PRA"), "[RTF]\n"));
  std::string app = target.Child("app");
  LayOutProgramDirectory(source.path(), app, Env::Default());
  EXPECT_TRUE(std::filesystem::exists(app + "/FORM/A.HTM"));
  EXPECT_TRUE(std::filesystem::exists(app + "/ZELKA20.PRA"));
  auto db = Database::Open(app + "/ZELKA20.mdb");
  EXPECT_EQ(db->TableName("a"), "A");
  db->Close();
  EXPECT_THROW(LayOutProgramDirectory(source.path(), app, Env::Default()), StoreError);
}

}  // namespace
}  // namespace zelka
