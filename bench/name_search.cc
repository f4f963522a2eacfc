// The name search of the two search dialogs over many clients:
//   name_search [CLIENTS=30000] [APP=app]
// Fills a temporary store with CLIENTS intake sheets (kana names written as
// users keep them, ヤマダ　ハナコ, one in twenty in half-width kana) and one
// assessment each, then runs each dialog's search as the user starts it
// (the query and the grid's rows) for names typed in several ways, and the
// plain LIKE query alone for comparison. Prints the median of 15 runs in ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "search/assessment_search.h"
#include "search/intake_search.h"
#include "host/scripted_host.h"
#include "store/catalogue.h"
#include "store/database.h"
#include "util/fake_env.h"

using namespace zelka;
namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 15;
const char* const kSyllables[] = {"ア", "イ", "カ", "キ", "サ", "シ", "タ", "チ", "ナ", "ハ",
                                  "マ", "ミ", "ヤ", "ラ", "リ", "ワ", "ダ", "ガ", "コ", "ト"};
const char* const kHalfSyllables[] = {"ｱ", "ｲ", "ｶ", "ｷ", "ｻ", "ｼ", "ﾀ", "ﾁ", "ﾅ", "ﾊ",
                                      "ﾏ", "ﾐ", "ﾔ", "ﾗ", "ﾘ", "ﾜ", "ﾀﾞ", "ｶﾞ", "ｺ", "ﾄ"};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The milliseconds one search takes, as the user's click starts it, and the rows found.
template <typename Show>
double TimeSearch(RecordContext& ctx, Env& env, const std::string& typed, size_t* rows, Show show) {
  ScriptedHost host;
  double ms = 0;
  host.QueueDialog([&](Dialog& d, ScriptedHost& h) {
    DialogEvent click;
    click.control = "cmdFind";
    click.values = {{"txtTaisyo", typed}};
    const auto start = std::chrono::steady_clock::now();
    h.Send(d, click);
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    *rows = d.Find("DBG")->rows.size();
  });
  show(ctx, host, env);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const long clients = argc > 1 ? std::stol(argv[1]) : 30000;
  const std::string app = argc > 2 ? argv[2] : "app";
  const fs::path dir = fs::temp_directory_path() / ("zelka-name-search-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "ZELKA20.mdb").string();
  Database::Create(path, Catalogue::Load(app + "/catalogue/items.tsv"));
  auto db = Database::Open(path);

  std::mt19937 random(20261207);
  db->InTransaction([&] {
    for (long n = 1; n <= clients; ++n) {
      const bool half = n % 20 == 0;
      std::string name;
      for (int part = 0; part < 2; ++part) {
        if (part) name += half ? " " : "　";
        for (int i = 0; i < 3; ++i) name += (half ? kHalfSyllables : kSyllables)[random() % 20];
      }
      if (n == clients / 2) name = "ヤマダ　ハナコ";
      db->Execute("INSERT INTO [相談受付表] ([整理番号], [1-1], [1-3-1]) VALUES (?1, ?2, '1937-03-04')",
                  {int64_t{n}, name});
      db->Execute("INSERT INTO [AA] ([整理番号], [AA-1]) VALUES (?1, ?2)", {int64_t{n}, name});
      db->Execute("INSERT INTO [A] ([整理番号], [基準日]) VALUES (?1, '2024-06-03')", {int64_t{n}});
    }
  });

  RecordContext ctx;
  ctx.db = db.get();
  FaultInjectingEnv env;
  const std::function<void()> no_run;
  auto intake = [](RecordContext& c, Host& h, Env&) { ShowIntakeSearch(c, h); };
  auto assessment = [&](RecordContext& c, Host& h, Env& e) { ShowAssessmentSearch(c, h, e, no_run); };

  std::printf("%ld clients; median of %d runs, ms (rows found)\n", clients, kRuns);
  std::printf("%-16s %18s %18s %14s\n", "typed", "intake dialog", "assessment dialog", "LIKE alone");
  for (const std::string typed : {"ヤマダ", "やまだ", "ﾔﾏﾀﾞ ﾊﾅｺ", "ヤマダハナコ", "カ", "xyz"}) {
    std::vector<double> in, as, like;
    size_t in_rows = 0, as_rows = 0;
    for (int run = 0; run < kRuns; ++run) {
      in.push_back(TimeSearch(ctx, env, typed, &in_rows, intake));
      as.push_back(TimeSearch(ctx, env, typed, &as_rows, assessment));
      const auto start = std::chrono::steady_clock::now();
      db->Query("SELECT [整理番号], [1-1], [受付日時], [1-3-1], [1-4-1], [1-4-2] FROM [相談受付表] "
                "WHERE [1-1] LIKE ? ESCAPE '\\' ORDER BY [整理番号]",
                {"%" + typed + "%"});
      like.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%-16s %10.1f (%5zu) %10.1f (%5zu) %14.1f\n", typed.c_str(), Median(in), in_rows, Median(as),
                as_rows, Median(like));
  }
  db.reset();
  fs::remove_all(dir);
  return 0;
}
