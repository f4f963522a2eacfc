#include "store/store_startup.h"

#include <gmock/gmock.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/store.h"
#include "util/fake_env.h"

namespace zelka {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
constexpr int kRows = 20;
const char* const kLeftovers[] = {"ZELKA20.mdb.compact", "ZELKA20.mdb.part", "_ZELKA20.mdb.part",
                                  "_ZELKA20.mdb.new", "_ZELKA20.mdb.new.part"};

std::string Bytes(const std::string& path) {
  if (fs::is_directory(path)) return "<folder>";
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

class StartupTest : public ::testing::Test {
 protected:
  std::string Live() const { return dir_.Child(kDatabaseFile); }
  std::string Previous() const { return dir_.Child(kPreviousDatabaseFile); }

  // A store holding kRows - 1 intake rows, as a run left it; with many free
  // pages it is compacted at start, else copied.
  void MakeStoreWithRows(const std::string& path, bool many_free_pages = false) {
    Database::Create(path, catalogue_);
    auto db = Database::Open(path);
    db->InTransaction([&] {
      for (int64_t i = 1; i <= kRows; ++i)
        db->Execute("INSERT INTO [相談受付表] ([整理番号], [1-1]) VALUES (?1, ?2)", {i, "名" + std::to_string(i)});
    });
    db->DeleteKey("相談受付表", kRows);
    if (many_free_pages) {
      db->Execute("UPDATE [相談受付表] SET [5-9]=?", {std::string(20000, 'x')});
      db->Execute("UPDATE [相談受付表] SET [5-9]=NULL");
    }
    db->Close();
  }
  void MakeStoreWithRows(bool many_free_pages = false) { MakeStoreWithRows(Live(), many_free_pages); }

  static bool HoldsAllRows(const std::string& path) {
    try {
      auto db = Database::Open(path);
      auto rows = db->Query("SELECT count(*), sum([整理番号]) FROM [相談受付表]");
      return rows[0][0] == Value(int64_t{kRows - 1}) && rows[0][1] == Value(int64_t{(kRows - 1) * kRows / 2});
    } catch (const StoreError&) {
      return false;
    }
  }

  std::unique_ptr<Database> Start(Env& env, const RestoreQuestion& ask = {}, StoreStartup* report = nullptr) {
    return OpenProgramStore(dir_.path(), env, catalogue_, ask, report);
  }
  // A whole start: opened, closed and finished; false when a step failed.
  bool StartAndFinish(Env& env, const RestoreQuestion& ask = {}) {
    try {
      Start(env, ask)->Close();
    } catch (const StoreError&) {
      return false;
    }
    return FinishStoreStartup(dir_.path(), env).empty();
  }

  void ExpectNoLeftovers() {
    for (const char* leftover : kLeftovers) EXPECT_FALSE(fs::exists(dir_.Child(leftover))) << leftover;
  }

  // The guarantee: whatever happened, the next start finds every row, asking
  // to restore only where `may_ask` allows it.
  void ExpectNextStartFindsAllRows(bool may_ask = false) {
    int asked = 0;
    std::unique_ptr<Database> db;
    ASSERT_NO_THROW(db = Start(Env::Default(), [&](const std::string&) { return ++asked > 0; }));
    EXPECT_EQ(db->Query("SELECT count(*) FROM [相談受付表]")[0][0], Value(int64_t{kRows - 1}));
    db->Close();
    EXPECT_EQ(FinishStoreStartup(dir_.path(), Env::Default()), "");
    EXPECT_TRUE(HoldsAllRows(Previous()));
    if (!may_ask) {
      EXPECT_EQ(asked, 0);
    }
    ExpectNoLeftovers();
  }

  // Fails each file-changing step of the start in turn, then kills a start
  // (as a power cut would) just before it (`setup` runs before every
  // attempt): each failure is reported and leaves no temporary file, and the
  // next start finds every row, asking only when the start itself may ask.
  void BreakEveryStep(const std::function<void()>& setup, const RestoreQuestion& ask = {}) {
    const bool may_ask = static_cast<bool>(ask);
    setup();
    FaultInjectingEnv counting;
    ASSERT_TRUE(StartAndFinish(counting, ask));
    ASSERT_GE(counting.Changes(), 2);
    for (int step = 1; step <= counting.Changes(); ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      setup();
      FaultInjectingEnv env;
      env.FailNthChange(step);
      EXPECT_FALSE(StartAndFinish(env, ask));
      ExpectNoLeftovers();
      ExpectNextStartFindsAllRows(may_ask);
      setup();
      KillAStartBeforeStep(step, ask);
      ExpectNextStartFindsAllRows(may_ask);
    }
  }

  // Runs a whole start in a child process and kills it just before its nth
  // change of a file.
  void KillAStartBeforeStep(int step, const RestoreQuestion& ask) {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipe_fds[0]);
      FaultInjectingEnv env;
      env.OnChange([&](int count, EnvOp, const std::string&) {
        if (count != step) return;
        (void)!write(pipe_fds[1], "p", 1);
        for (;;) pause();  // waits here for the kill
      });
      StartAndFinish(env, ask);
      (void)!write(pipe_fds[1], "f", 1);
      _exit(0);
    }
    close(pipe_fds[1]);
    char reached = 0;
    ASSERT_EQ(read(pipe_fds[0], &reached, 1), 1);
    close(pipe_fds[0]);
    EXPECT_EQ(reached, 'p');
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }

  // A delivered app folder to lay a program directory out from, with the
  // state files of a used one that must not come along.
  const std::string& Source() {
    if (!fs::exists(source_.Child("catalogue"))) {
      fs::create_directories(source_.Child("catalogue"));
      fs::create_directories(source_.Child("FORM"));
      Env::Default().WriteFile(source_.Child("catalogue/items.tsv"), testing::kSmallCatalogue);
      Env::Default().WriteFile(source_.Child("FORM/A.HTM"), "<html></html>");
      for (const char* state : {"ZELKA20.lock", "_ZELKA20.mdb", "ZELKA20.mdb"})
        Env::Default().WriteFile(source_.Child(state), "state of a used program directory");
    }
    return source_.path();
  }

  testing::TempDir dir_, source_;
  Catalogue catalogue_ = testing::SmallCatalogue();
};

TEST_F(StartupTest, FirstStartCreatesAnEmptyStoreAndLaterStartsKeepThePreviousState) {
  StoreStartup report;
  auto db = Start(Env::Default(), {}, &report);
  EXPECT_TRUE(report.created);
  EXPECT_EQ(db->OpenTable("相談受付表").RecordCount(), 0);
  db->Close();
  EXPECT_EQ(FinishStoreStartup(dir_.path(), Env::Default()), "");
  EXPECT_TRUE(fs::exists(Previous()));

  // A file with many free pages is compacted, one with few only copied.
  for (bool many_free_pages : {true, false}) {
    SCOPED_TRACE(many_free_pages ? "compacted" : "copied");
    fs::remove(Live());
    MakeStoreWithRows(many_free_pages);
    auto before = fs::file_size(Live());
    db = Start(Env::Default(), {}, &report);
    EXPECT_FALSE(report.created || report.recovered || report.restored);
    EXPECT_EQ(fs::file_size(Live()) < before, many_free_pages);
    EXPECT_EQ(fs::exists(dir_.Child("_ZELKA20.mdb.new")), !many_free_pages);
    db->DeleteAll("相談受付表");  // work of this run
    db->Close();
    EXPECT_EQ(FinishStoreStartup(dir_.path(), Env::Default()), "");
    EXPECT_TRUE(HoldsAllRows(Previous()));
    EXPECT_FALSE(HoldsAllRows(Live()));
    ExpectNoLeftovers();
  }
}

// Every way the live file can be unusable, and its absence, beside a damaged
// or a good _ZELKA20.mdb: init refuses the folder; without a good copy
// nothing is asked, created or touched. With one, a batch open and a start
// without a question refuse with advice; a missing file is recovered without
// a question, while for an unusable one No touches nothing and Yes restores
// and keeps the damaged file aside. _ZELKA20.mdb stays as it is throughout.
TEST_F(StartupTest, AnUnusableOrMissingLiveFileNeverReplacesTheGoodPreviousOne) {
  const struct {
    const char* name;
    std::function<void(const std::string& live)> apply;
  } damages[] = {
      {"empty file", [](const std::string& p) { std::ofstream(p, std::ios::trunc); }},
      {"cut inside the header", [](const std::string& p) { fs::resize_file(p, 60); }},
      {"cut in a page", [](const std::string& p) { fs::resize_file(p, fs::file_size(p) - 100); }},
      {"cut to one page", [](const std::string& p) { fs::resize_file(p, 4096); }},
      {"random bytes",
       [](const std::string& p) {
         std::mt19937 random(7);
         std::string bytes(65536, '\0');
         for (char& c : bytes) c = static_cast<char>(random());
         std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
       }},
      {"database without the program's tables",
       [](const std::string& p) {
         fs::remove(p);
         sqlite3* db = nullptr;
         sqlite3_open(p.c_str(), &db);
         sqlite3_exec(db, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('x')", nullptr, nullptr, nullptr);
         sqlite3_close(db);
       }},
      {"folder",
       [](const std::string& p) {
         fs::remove(p);
         fs::create_directories(p + "/inside");
       }},
      {"missing, beside a journal of the lost file",
       [](const std::string& p) {
         fs::remove(p);
         Env::Default().WriteFile(p + "-journal", std::string(4096, '\x01'));
       }},
  };
  for (const auto& damage : damages)
    for (bool good_previous : {false, true}) {
      SCOPED_TRACE(std::string(damage.name) + (good_previous ? ", good previous" : ", damaged previous"));
      fs::remove_all(dir_.path());
      fs::create_directories(dir_.path());
      MakeStoreWithRows();
      damage.apply(Live());
      if (good_previous)
        MakeStoreWithRows(Previous());
      else
        Env::Default().WriteFile(Previous(), std::string(100, 'x'));
      const std::string live = Bytes(Live()), previous = Bytes(Previous());
      const bool missing = live == "<missing>";
      EXPECT_THROW(LayOutProgramDirectory(Source(), dir_.path(), Env::Default()), StoreError);
      std::string question;
      auto answer = [&](bool yes) { return [&, yes](const std::string& q) { return question = q, yes; }; };
      if (!good_previous) {
        EXPECT_THAT([&] { Start(Env::Default(), answer(true)); },
                    ThrowsMessage<StoreError>(AllOf(HasSubstr(Live()), HasSubstr("どちらのファイルも変えずに"))));
        EXPECT_EQ(question, "");
        EXPECT_TRUE(Bytes(Live()) == live && Bytes(Previous()) == previous);
        continue;
      }
      EXPECT_THAT([&] { OpenStoreForBatch(dir_.path(), Env::Default()); },
                  ThrowsMessage<StoreError>(AllOf(HasSubstr(Live()), HasSubstr("zelka --app-dir"))));
      StoreStartup report;
      if (missing) {
        Start(Env::Default(), {}, &report)->Close();
        EXPECT_TRUE(report.recovered);
        EXPECT_FALSE(fs::exists(Live() + "-journal"));
      } else {
        EXPECT_THROW(Start(Env::Default()), StoreError);
        EXPECT_THROW(Start(Env::Default(), answer(false)), StoreDeclined);
        EXPECT_THAT(question, AllOf(HasSubstr("ZELKA20.mdb を開けません"), HasSubstr("_ZELKA20.mdb から復元")));
        EXPECT_TRUE(Bytes(Live()) == live && Bytes(Previous()) == previous);
        ExpectNoLeftovers();
        Start(Env::Default(), answer(true), &report)->Close();
        EXPECT_TRUE(report.restored);
        EXPECT_TRUE(Bytes(report.set_aside) == live);
      }
      EXPECT_TRUE(HoldsAllRows(Live()));
      EXPECT_TRUE(Bytes(Previous()) == previous);
    }
}

// Init copies the delivered files, never a used directory's state, and
// makes an empty store; it refuses a folder that holds ZELKA20.mdb (the test
// above tries every kind of file beside _ZELKA20.mdb or in its place).
TEST_F(StartupTest, InitLaysOutAFreshDirectoryAndRefusesOneWithEitherDatabaseFile) {
  std::string app = dir_.Child("app");
  LayOutProgramDirectory(Source(), app, Env::Default());
  EXPECT_TRUE(fs::exists(app + "/FORM/A.HTM"));
  EXPECT_FALSE(fs::exists(app + "/_ZELKA20.mdb") || fs::exists(app + "/ZELKA20.lock"));
  EXPECT_TRUE(CheckStoreFile(app + "/ZELKA20.mdb", Env::Default(), StoreTableNames(catalogue_)).good());
  EXPECT_THROW(LayOutProgramDirectory(Source(), app, Env::Default()), StoreError);
}

TEST_F(StartupTest, TooLittleFreeSpaceStopsTheStartBeforeAnythingChanges) {
  MakeStoreWithRows();
  MakeStoreWithRows(Previous());
  const std::string live = Bytes(Live()), previous = Bytes(Previous());
  FaultInjectingEnv env;
  env.SetFreeSpace(live.size());
  EXPECT_THAT([&] { Start(env); }, ThrowsMessage<StoreError>(HasSubstr("空き容量")));
  EXPECT_EQ(env.Changes(), 0);
  EXPECT_TRUE(Bytes(Live()) == live);
  EXPECT_TRUE(Bytes(Previous()) == previous);
}

// Breaks each file-changing step of a compaction, a copy, a recovery of a
// missing file and a restore in turn.
TEST_F(StartupTest, AFailureOrAKillAtAnyStepLosesNothing) {
  auto fresh = [&](bool many_free_pages) {
    for (const auto& entry : fs::directory_iterator(dir_.path()))
      if (entry.path().filename() != kPreviousDatabaseFile) fs::remove_all(entry.path());
    MakeStoreWithRows(many_free_pages);
  };
  MakeStoreWithRows(Previous());
  auto yes = [](const std::string&) { return true; };
  BreakEveryStep([&] { fresh(true); });
  BreakEveryStep([&] { fresh(false); });
  BreakEveryStep([&] { fresh(false), fs::remove(Live()); });
  BreakEveryStep([&] { fresh(false), Env::Default().WriteFile(Live(), ""); }, yes);
}

// A copy that fails the thorough check never becomes _ZELKA20.mdb; while the
// live file fails it too, starts open it as it is and keep _ZELKA20.mdb.
TEST_F(StartupTest, AFailedThoroughCheckKeepsThePreviousFileUntilTheStoreIsSoundAgain) {
  MakeStoreWithRows(Previous());
  MakeStoreWithRows();
  const std::string previous = Bytes(Previous());
  Start(Env::Default())->Close();
  testing::DamageAnIndex(dir_.Child("_ZELKA20.mdb.new"));
  EXPECT_THAT(FinishStoreStartup(dir_.path(), Env::Default()), HasSubstr("probe"));
  EXPECT_TRUE(Bytes(Previous()) == previous && fs::exists(dir_.Child(kCheckFailedFile)));
  ExpectNoLeftovers();

  testing::DamageAnIndex(Live());
  StoreStartup report;
  Start(Env::Default(), {}, &report)->Close();
  EXPECT_THAT(report.suspect, HasSubstr("probe"));
  EXPECT_TRUE(Bytes(Previous()) == previous);

  sqlite3* db = nullptr;  // put right, the file is rotated again
  sqlite3_open(Live().c_str(), &db);
  sqlite3_exec(db, "PRAGMA writable_schema=ON; DELETE FROM sqlite_master WHERE name='probe'", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  Start(Env::Default(), {}, &report)->Close();
  EXPECT_EQ(report.suspect, "");
  EXPECT_FALSE(fs::exists(dir_.Child(kCheckFailedFile)));
  EXPECT_EQ(FinishStoreStartup(dir_.path(), Env::Default()), "");
  EXPECT_TRUE(HoldsAllRows(Previous()));
}

}  // namespace
}  // namespace zelka
