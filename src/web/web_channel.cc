#include "web/web_channel.h"

#include "web/trace.h"

namespace zelka {

namespace {

// How many navigation answers the state keeps for tabs that ask late.
constexpr size_t kKeptNavigationReplies = 32;
// A tab that has not polled for this long is forgotten.
constexpr auto kClientMemory = std::chrono::minutes(5);

}  // namespace

UiChannel::UiChannel() : state_(Json::object()) {}

void UiChannel::Changed() {
  ++version_;
  ++activity_;
  changed_.notify_all();
}

void UiChannel::Set(const std::string& key, Json value) {
  std::lock_guard lock(mutex_);
  if (state_.contains(key) && state_[key] == value) return;
  state_[key] = std::move(value);
  Changed();
}

UiChannel::Json UiChannel::Get(const std::string& key) const {
  std::lock_guard lock(mutex_);
  return state_.contains(key) ? state_[key] : Json();
}

int UiChannel::Open(Json request) {
  std::lock_guard lock(mutex_);
  return OpenLocked(std::move(request));
}

int UiChannel::OpenLocked(Json request) {
  int id = next_id_++;
  if (TraceEnabled()) Trace("open " + std::to_string(id) + " " + request.value("kind", ""));
  request["id"] = id;
  requests_[id] = std::move(request);
  Changed();
  return id;
}

void UiChannel::Update(int id, Json request) {
  std::lock_guard lock(mutex_);
  if (!requests_.count(id)) return;
  request["id"] = id;
  requests_[id] = std::move(request);
  Changed();
}

void UiChannel::Close(int id) {
  std::lock_guard lock(mutex_);
  CloseLocked(id, true);
}

void UiChannel::CloseLocked(int id, bool announce) {
  requests_.erase(id);
  answers_.erase(id);
  posted_.erase(id);
  ++activity_;
  if (announce) Changed();
}

std::optional<UiChannel::Json> UiChannel::Await(int id) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return shutdown_ || !answers_[id].empty(); });
  if (shutdown_) return std::nullopt;
  Json answer = std::move(answers_[id].front());
  answers_[id].pop_front();
  return answer;
}

std::optional<UiChannel::Json> UiChannel::Call(Json request) {
  int id = Open(std::move(request));
  auto answer = Await(id);
  Close(id);
  return answer;
}

std::optional<UiChannel::Json> UiChannel::Ask(Json request, const Json& together) {
  int id = 0;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : together.items()) state_[key] = value;
    id = OpenLocked(std::move(request));
  }
  auto answer = Await(id);
  std::lock_guard lock(mutex_);
  CloseLocked(id, false);
  return answer;
}

int UiChannel::Post(Json request) { return Post(std::move(request), nullptr); }

int UiChannel::Post(Json request, long* quiet_since) {
  std::lock_guard lock(mutex_);  // marked before a tab can answer it
  const bool quiet = quiet_since && *quiet_since == activity_;
  int id = OpenLocked(std::move(request));
  posted_.insert(id);
  if (quiet_since) *quiet_since = quiet ? activity_ : -1;
  return id;
}

void UiChannel::AwaitDelivery(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  long wanted = version_;
  changed_.wait_for(lock, limit, [&] { return shutdown_ || delivered_ >= wanted; });
}

void UiChannel::Sleep(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, duration, [&] { return shutdown_; });
}

UiEvent UiChannel::WaitEvent(long* activity) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return shutdown_ || !events_.empty(); });
  if (shutdown_) {
    UiEvent shutdown;
    shutdown.kind = UiEvent::Kind::kShutdown;
    return shutdown;
  }
  UiEvent event = std::move(events_.front());
  events_.pop_front();
  ++activity_;
  if (activity) *activity = activity_;
  return event;
}

void UiChannel::ReplyNavigation(int id, bool proceed) {
  std::lock_guard lock(mutex_);
  navigation_replies_.emplace_back(id, proceed);
  while (navigation_replies_.size() > kKeptNavigationReplies) navigation_replies_.pop_front();
  Changed();
}

UiChannel::Json UiChannel::RequestsJson() const {
  Json list = Json::array();
  for (const auto& [id, request] : requests_) list.push_back(request);
  return list;
}

UiChannel::Json UiChannel::Snapshot(long since, std::chrono::milliseconds wait,
                                    const std::string& client) {
  std::unique_lock lock(mutex_);
  if (!client.empty()) clients_[client] = Clock::now();
  changed_.wait_for(lock, wait, [&] { return shutdown_ || version_ > since; });
  if (!client.empty()) clients_[client] = Clock::now();
  for (auto it = clients_.begin(); it != clients_.end();)
    it = Clock::now() - it->second > kClientMemory ? clients_.erase(it) : std::next(it);

  Json snapshot = state_;
  snapshot["version"] = version_;
  snapshot["requests"] = RequestsJson();
  Json replies = Json::object();
  for (const auto& [id, proceed] : navigation_replies_) replies[std::to_string(id)] = proceed;
  snapshot["navigationReplies"] = std::move(replies);
  snapshot["shutdown"] = shutdown_;
  if (TraceEnabled())
    Trace("deliver v" + std::to_string(version_) + " to " + client + " (asked since v" +
          std::to_string(since) + ")");
  if (version_ > delivered_) {
    delivered_ = version_;
    changed_.notify_all();
  }
  return snapshot;
}

bool UiChannel::Answer(int id, Json answer) {
  std::lock_guard lock(mutex_);
  if (shutdown_ || !requests_.count(id)) return false;
  if (TraceEnabled()) Trace("answer " + std::to_string(id));
  if (posted_.count(id)) {
    CloseLocked(id, false);
    return true;
  }
  ++activity_;
  answers_[id].push_back(std::move(answer));
  changed_.notify_all();
  return true;
}

int UiChannel::PushEvent(UiEvent event) {
  std::lock_guard lock(mutex_);
  if (event.kind == UiEvent::Kind::kNavigate) event.id = next_id_++;
  if (TraceEnabled()) Trace("event " + event.text);
  int id = event.id;
  ++activity_;
  events_.push_back(std::move(event));
  changed_.notify_all();
  return id;
}

std::optional<UiChannel::Json> UiChannel::Request(int id) const {
  std::lock_guard lock(mutex_);
  auto it = requests_.find(id);
  if (it == requests_.end()) return std::nullopt;
  return it->second;
}

void UiChannel::Shutdown() {
  std::lock_guard lock(mutex_);
  if (shutdown_) return;
  shutdown_ = true;
  Changed();
}

bool UiChannel::IsShutdown() const {
  std::lock_guard lock(mutex_);
  return shutdown_;
}

long UiChannel::Activity() const {
  std::lock_guard lock(mutex_);
  return activity_;
}

bool UiChannel::ClientSeenWithin(std::chrono::seconds window) const {
  std::lock_guard lock(mutex_);
  for (const auto& [client, seen] : clients_)
    if (Clock::now() - seen <= window) return true;
  return false;
}

}  // namespace zelka
