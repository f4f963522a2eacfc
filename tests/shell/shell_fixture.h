// A program directory, a fake Env and a scripted host around one App, for the
// tests of the main window and its commands.
#pragma once

#include <gtest/gtest.h>

#include "shell/app.h"
#include "shell/scripted_host.h"
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

}  // namespace zelka::testing
