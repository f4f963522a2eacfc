// A program directory, a fake Env and a scripted host around one App, for the
// tests of the main window and its commands.
#pragma once

#include <gtest/gtest.h>

#include "shell/app.h"
#include "shell/main_window.h"
#include "store/store_startup.h"
#include "host/scripted_host.h"
#include "support/temp_dir.h"
#include "util/fake_env.h"

namespace zelka::testing {

class AppTest : public ::testing::Test {
 protected:
  UiEvent Status(View view, std::string text) {
    return {.kind = UiEvent::Kind::kStatusText, .view = view, .text = std::move(text)};
  }
  UiEvent Navigation(View view, std::string url, std::string post_data = "", int id = 1) {
    return {.kind = UiEvent::Kind::kNavigate, .view = view, .url = std::move(url),
            .post_data = std::move(post_data), .id = id};
  }
  UiEvent Menu(std::string id, View view = View::kMain) {
    return {.kind = UiEvent::Kind::kMenu, .view = view, .text = std::move(id)};
  }

  TempDir dir;
  FaultInjectingEnv env;
  ScriptedHost host;
  App app{env, host, dir.path()};
};

// An App on a freshly laid-out program directory with its store open.
class StoredAppTest : public AppTest {
 protected:
  void SetUp() override {
    LayOutProgramDirectory(SourceAppDir(), dir.path(), env);
    std::string error;
    ASSERT_TRUE(OpenStore(app, &error)) << error;
  }
  Database& db() { return *app.database(); }

  // An assessment with its AA row and a row in every section table A to S.
  void AddAssessment(int64_t number, const std::string& iso_date) {
    db().Execute("INSERT INTO [AA] ([整理番号], [AA-1]) VALUES (?1, 'サトウ ハナコ')", {number});
    for (char letter = 'A'; letter <= 'S'; ++letter)
      db().Execute("INSERT INTO [" + std::string(1, letter) + "] ([整理番号], [基準日]) VALUES (?1, ?2)",
                   {number, iso_date});
  }
};

}  // namespace zelka::testing
