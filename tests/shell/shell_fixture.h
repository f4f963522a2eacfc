// A program directory, a fake Env and a scripted host around one App, for the
// tests of the main window and its commands.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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
    UiEvent e;
    e.kind = UiEvent::Kind::kStatusText;
    e.view = view;
    e.text = std::move(text);
    return e;
  }
  UiEvent Navigation(View view, std::string url, std::string post_data = "", int id = 1) {
    UiEvent e;
    e.kind = UiEvent::Kind::kNavigate;
    e.view = view;
    e.url = std::move(url);
    e.post_data = std::move(post_data);
    e.id = id;
    return e;
  }
  UiEvent Menu(std::string id, View view = View::kMain) {
    UiEvent e;
    e.kind = UiEvent::Kind::kMenu;
    e.view = view;
    e.text = std::move(id);
    return e;
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
    Recordset aa = db().OpenTable("AA");
    aa.AddNew();
    aa.Set("整理番号", Value(number));
    aa.Set("AA-1", Value(std::string("サトウ ハナコ")));
    aa.Update();
    for (char letter = 'A'; letter <= 'S'; ++letter) {
      Recordset rows = db().OpenTable(std::string(1, letter));
      rows.AddNew();
      rows.Set("整理番号", Value(number));
      rows.Set("基準日", Value(iso_date));
      rows.Update();
    }
  }
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace zelka::testing
