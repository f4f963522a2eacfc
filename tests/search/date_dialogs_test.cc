#include "search/date_dialogs.h"

#include <gmock/gmock.h>

#include "search_fixture.h"

namespace zelka::testing {
namespace {

using ::testing::ElementsAre;
using Shown = std::vector<std::string>;

class DatePickerTest : public SearchTest {
 protected:
  // Shows an entry page whose element zlk_A1 holds `value`, and opens the
  // picker on it; `script` plays the user.
  void OpenOn(const std::string& value, bool time_mode, ScriptedHost::DialogScript script) {
    host.DefinePage("FORM/A.HTM", {PageElement{"zlk_A0", "text", "x"},
                                   PageElement{"zlk_A1", "text", value}});
    host.Navigate(View::kEntry, "FORM/A.HTM");
    ctx.picker.target_element = "zlk_A1";
    ctx.picker.time_mode = time_mode;
    host.QueueDialog(std::move(script));
    ShowDatePicker(ctx, host, env);
  }

  // The calendar day and the two lists the picker opened with.
  std::vector<std::string> Start(const std::string& value, bool time_mode = true) {
    std::vector<std::string> start;
    OpenOn(value, time_mode, [&](Dialog& d, ScriptedHost&) {
      start = {d.Find("Cal")->value, d.Find("cbHour")->value, d.Find("cbMinutes")->value};
    });
    return start;
  }

  // Opens the picker on `value` in time mode, sends `events` until one closes
  // it, and tells whether they closed it, whether it was accepted and what was picked.
  std::string Pick(const std::string& value, const std::vector<DialogEvent>& events) {
    std::string state = "open";
    OpenOn(value, true, [&](Dialog& d, ScriptedHost& h) {
      for (size_t i = 0; i < events.size() && !d.closed; ++i) h.Send(d, events[i]);
      if (d.closed) state = "closed";
    });
    return state + (ctx.picker.accepted ? ", accepted " : ", not accepted ") + ctx.picker.picked.IsoDateTime();
  }
};

TEST_F(DatePickerTest, OpensOnThePageValueOrOnNow) {
  const Shown now = {"2026-12-06", "14", "37"};
  const std::pair<std::string, Shown> cases[] = {
      {"2003.04.01", {"2003-04-01", "00", "00"}},       {"2003/04/01 13:05", {"2003-04-01", "13", "05"}},
      {"2003.04.01 13:05", {"2003-04-01", "13", "05"}}, {"平成15年4月1日", {"2003-04-01", "00", "00"}},
      {"", now}, {"abc", now}, {"2003.13.01", now}};
  for (const auto& [value, start] : cases) EXPECT_EQ(Start(value), start) << value;
  ctx.picker.target_element = "zlk_missing";
  std::string day;
  host.QueueDialog([&](Dialog& d, ScriptedHost&) { day = d.Find("Cal")->value; });
  ShowDatePicker(ctx, host, env);
  EXPECT_EQ(day, "2026-12-06");
}

TEST_F(DatePickerTest, LayoutAndTimeMode) {
  OpenOn("", true, [](Dialog& d, ScriptedHost&) {
    EXPECT_EQ(d.placement, Dialog::Placement::kPointer);
    const auto& hours = d.Find("cbHour")->options;
    const auto& minutes = d.Find("cbMinutes")->options;
    ASSERT_EQ(hours.size(), 24u);
    ASSERT_EQ(minutes.size(), 60u);
    EXPECT_EQ(hours.front() + hours.back() + minutes.front() + minutes.back(), "00230059");
    for (const char* id : {"lbJikan", "cbHour", "lbHm", "cbMinutes"}) EXPECT_TRUE(d.Find(id)->visible);
  });
  OpenOn("", false, [](Dialog& d, ScriptedHost&) {
    for (const char* id : {"lbJikan", "cbHour", "lbHm", "cbMinutes"}) EXPECT_FALSE(d.Find(id)->visible);
    EXPECT_TRUE(d.Find("Cal")->visible);
  });
  // Date alone: the hidden lists still carry the time of day.
  EXPECT_EQ(ctx.picker.picked, (Date{2026, 12, 6, 14, 37}));
}

// OK (or Enter on the calendar's day) accepts what the user set; Escape and
// the title bar do not (Enter elsewhere does nothing), and a day that cannot
// be read leaves the picked date.
TEST_F(DatePickerTest, OnlyOkAccepts) {
  const DialogEvent ok = Click("cmdOK", {{"Cal", "2004-02-29"}, {"cbHour", "23"}, {"cbMinutes", "59"}});
  EXPECT_EQ(Pick("2003.04.01", {ok}), "closed, accepted 2004-02-29 23:59:00");
  EXPECT_EQ(Pick("2003.04.01", {Key("Escape")}), "closed, not accepted 2003-04-01 00:00:00");
  EXPECT_EQ(Pick("2003.04.01", {Key("Enter"), Click("Cal", {{"Cal", "2005-01-02"}})}),
            "open, not accepted 2005-01-02 00:00:00");
  ctx.picker.picked = Date{1999, 9, 9};
  EXPECT_EQ(Pick("", {Click("cmdOK", {{"Cal", "2005-02-30"}})}), "closed, accepted 1999-09-09 00:00:00");
  ctx.picker.target_element = "zlk_A0";  // the field after it is zlk_A1
  host.QueueDialog([](Dialog& d, ScriptedHost& h) {
    DialogEvent enter = Key("Enter");
    enter.control = "Cal";
    h.Send(d, enter);
  });
  ShowDatePicker(ctx, host, env);
  EXPECT_TRUE(ctx.picker.accepted);
  EXPECT_EQ(ctx.picker.next_element, "zlk_A1");
}

}  // namespace
}  // namespace zelka::testing
