// The meeting point of the application thread and the HTTP threads: the whole
// UI state as the browser should show it (a JSON object with a version number),
// the open requests to the browser (modal boxes, dialogs, page operations) with
// their answers, and the queue of the user's events. The application thread
// changes the state and waits for answers; the HTTP threads hand out snapshots
// (long-polled) and deliver answers and events. Nothing here knows HTTP.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "host/host.h"

namespace zelka {

class UiChannel {
 public:
  using Json = nlohmann::json;
  using Clock = std::chrono::steady_clock;

  UiChannel();

  // --- Application thread ---------------------------------------------------
  // Replaces one top-level member of the state ("views", "progress", …).
  void Set(const std::string& key, Json value);
  Json Get(const std::string& key) const;

  // Opens a request to the browser (its "kind" says what it is) and returns
  // its id. Requests stay in the state, in the order opened, until closed, so
  // a reloaded tab sees them again.
  int Open(Json request);
  void Update(int id, Json request);
  void Close(int id);
  // Waits for the next answer to an open request; nullopt once shut down.
  std::optional<Json> Await(int id);
  // Open, Await, Close in one.
  std::optional<Json> Call(Json request);
  // Call for an operation on a tab's page (a form read, a page load). A tab
  // runs such a request once and skips it afterwards, so its closing is not
  // announced as a change of its own: the next change carries it. The tab's
  // open poll is then still waiting when the program asks its next request,
  // which reaches the tab without a further poll.
  // `together` holds top-level state members that change in the same step as
  // the request opens, so that no tab sees the one without the other.
  std::optional<Json> Ask(Json request, const Json& together = Json::object());
  // Opens a request that needs no answer (a write to a page): it stays in the
  // state until a tab answers it and then closes itself, unannounced as with
  // Ask. A tab runs page requests in order, so a later Call sees its effect;
  // not waiting saves the program a round trip per write.
  int Post(Json request);
  // Post for a request that leaves the page's form as it is (a status clear).
  // `*quiet_since` is an Activity() reading: when nothing else has happened
  // since, it is moved on past this post, otherwise it becomes -1.
  int Post(Json request, long* quiet_since);

  // Waits until some tab has received the state as it is now (or the time
  // has passed), so that a quick series of changes is seen step by step.
  void AwaitDelivery(std::chrono::milliseconds limit);
  // Sleeps, but wakes at once on shutdown.
  void Sleep(std::chrono::milliseconds duration);

  // The user's events, in order; kShutdown once shut down. `activity`, when
  // given, receives Activity() as it is once the event has been taken.
  UiEvent WaitEvent(long* activity = nullptr);
  // Navigation answers, kept in the state for the asking tab.
  void ReplyNavigation(int id, bool proceed);

  // --- HTTP threads ---------------------------------------------------------
  // The state once its version is above `since`, or after `wait` regardless
  // (a heartbeat). `client` names the polling tab, for BrowserConnected.
  Json Snapshot(long since, std::chrono::milliseconds wait, const std::string& client);
  // Delivers an answer to an open request; false when there is none with the id.
  bool Answer(int id, Json answer);
  // Queues a user event; a navigation event gets a fresh id, which is returned.
  int PushEvent(UiEvent event);
  // The open request with the given id, if any.
  std::optional<Json> Request(int id) const;

  // --- Any thread -----------------------------------------------------------
  void Shutdown();
  bool IsShutdown() const;
  bool ClientSeenWithin(std::chrono::seconds window) const;
  // Counts every change of the state, request closed, answer given and event
  // queued or taken: while it stays the same, nothing has passed between the
  // program and the tabs.
  long Activity() const;

 private:
  void Changed();  // caller holds mutex_
  int OpenLocked(Json request);  // caller holds mutex_
  void CloseLocked(int id, bool announce);  // caller holds mutex_
  Json RequestsJson() const;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Json state_;
  long version_ = 1;
  long delivered_ = 0;
  long activity_ = 0;
  int next_id_ = 1;
  bool shutdown_ = false;
  std::map<int, Json> requests_;  // by id, so in the order opened
  std::map<int, std::deque<Json>> answers_;
  std::set<int> posted_;  // requests that close on their first answer
  std::deque<UiEvent> events_;
  std::map<std::string, Clock::time_point> clients_;
  std::deque<std::pair<int, bool>> navigation_replies_;
};

}  // namespace zelka
