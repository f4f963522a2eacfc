#include "web/guarded_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

namespace zelka {

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t npos = std::string_view::npos;
// Room for the framing of a chunked body on top of the body itself.
constexpr size_t kFramingAllowance = 64 * 1024;
// How long the gate stops accepting when the process has no descriptor left.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
// How long, and for how many bytes, a connection closed after an error
// answer still takes in what the client sends.
constexpr auto kLinger = std::chrono::seconds(2);
constexpr size_t kLingerBytes = 16 * 1024 * 1024;

// The length of the head at the start of `text` (up to and with its blank
// line), or npos while it is incomplete.
size_t HeadEnd(std::string_view text) {
  size_t crlf = text.find("\r\n\r\n");
  size_t lf = text.find("\n\n");
  size_t end = crlf == npos ? npos : crlf + 4;
  if (lf != npos && lf + 2 < end) end = lf + 2;
  return end;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void ReadAddress(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len)
                : getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  char text[INET_ADDRSTRLEN] = "";
  if (rc == 0) inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  ip = text;
  port = rc == 0 ? ntohs(addr.sin_port) : 0;
}

// A connection as the eviction sees it.
struct HeldConnection {
  bool trusted = false;  // its last request carried the tab's credentials
  bool idle = false;     // no byte of a request yet
  Clock::time_point since;  // idle or mid-head since
};

// The connection to close first: one without credentials before one with,
// an idle one before one in the middle of a request, the older first.
size_t PickVictim(const std::vector<HeldConnection>& held) {
  auto rank = [](const HeldConnection& c) { return std::make_tuple(c.trusted, !c.idle, c.since); };
  return std::min_element(held.begin(), held.end(),
                          [&](const auto& a, const auto& b) { return rank(a) < rank(b); }) -
         held.begin();
}

}  // namespace

std::string_view HeadTarget(std::string_view head) {
  std::string_view line = head.substr(0, head.find_first_of("\r\n"));
  size_t start = line.find(' ');
  if (start == npos) return {};
  size_t end = line.find(' ', start + 1);
  return line.substr(start + 1, end == npos ? npos : end - start - 1);
}

std::string_view HeadField(std::string_view head, std::string_view name) {
  for (size_t at = head.find('\n'); at != npos && at + 1 < head.size();) {
    size_t end = head.find('\n', at + 1);
    std::string_view line = head.substr(at + 1, end == npos ? npos : end - at - 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    size_t colon = line.find(':');
    if (colon != npos && SameIgnoringCase(line.substr(0, colon), name)) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
      return value;
    }
    at = end;
  }
  return {};
}

struct GuardedServer::Connection {
  int fd = -1;
  std::string client;  // the peer's address
  std::string in;      // bytes received; those from `pos` on are not used yet
  size_t pos = 0;
  // kLingering: closed for writing after an error answer; what the client
  // still sends is read and dropped for a moment, so that the answer is not
  // lost in the reset that closing on unread bytes would cause.
  enum class State { kWaiting, kQueued, kServing, kLingering } state = State::kWaiting;
  Clock::time_point idle_since, head_since;  // kLingering: closes at idle_since + linger
  bool trusted = false;      // its last complete head carried credentials
  bool counted = false;      // occupies one of the workers for requests without credentials
  bool close_after = false;  // the answer under way is the connection's last
  std::list<Connection>::iterator self;

  std::string_view Pending() const { return std::string_view(in).substr(pos); }
};

// One request's reading and writing on a connection that the worker owns,
// from the bytes the gate has read on: reads stop at the request's deadline
// and at its size limit, writes at the answer's deadline, both at shutdown.
class GuardedServer::ConnectionStream : public httplib::Stream {
 public:
  ConnectionStream(Connection& c, const ConnectionLimits& limits, int stop_fd)
      : c_(c),
        limits_(limits),
        stop_fd_(stop_fd),
        read_deadline_(c.head_since + limits.request),
        allowed_(HeadEnd(c.Pending()) + limits.max_body + kFramingAllowance) {}

  bool is_readable() const override { return !c_.Pending().empty() || Await(POLLIN, read_deadline_); }
  bool is_writable() const override { return Await(POLLOUT, WriteDeadline()); }

  ssize_t read(char* ptr, size_t size) override {
    if (c_.Pending().empty()) {
      c_.in.clear();
      c_.pos = 0;
      ssize_t got = Fill();
      if (got <= 0) return got;
    }
    size_t n = std::min(size, c_.Pending().size());
    if (delivered_ + n > allowed_) {  // a body over the limit, however it is framed
      c_.close_after = true;
      return -1;
    }
    std::memcpy(ptr, c_.in.data() + c_.pos, n);
    c_.pos += n;
    delivered_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    NoteStatus(std::string_view(ptr, size));
    for (;;) {
      ssize_t n = ::send(c_.fd, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && Await(POLLOUT, WriteDeadline())) continue;
      c_.close_after = true;
      return -1;
    }
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ReadAddress(c_.fd, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ReadAddress(c_.fd, false, ip, port);
  }
  socket_t socket() const override { return c_.fd; }

 private:
  ssize_t Fill() {
    char buffer[64 * 1024];
    for (;;) {
      ssize_t n = ::recv(c_.fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        c_.in.append(buffer, static_cast<size_t>(n));
        return n;
      }
      if (n == 0) return 0;
      if (errno == EINTR) continue;
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && Await(POLLIN, read_deadline_)) continue;
      c_.close_after = true;
      return -1;
    }
  }

  bool Await(short events, Clock::time_point deadline) const {
    for (;;) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd fds[2] = {{c_.fd, events, 0}, {stop_fd_, POLLIN, 0}};
      int rc = ::poll(fds, 2, static_cast<int>(left));
      if (rc < 0 && errno == EINTR) continue;
      if (rc <= 0 || fds[1].revents) return false;
      if (fds[0].revents) return true;  // ready, or closed: the next call tells which
    }
  }

  Clock::time_point WriteDeadline() const {
    if (!writing_) {
      writing_ = true;
      write_deadline_ = Clock::now() + limits_.write;
    }
    return write_deadline_;
  }

  // The answer's status line opens its first write; an error answer ends the
  // connection.
  void NoteStatus(std::string_view data) {
    if (!expect_status_ || data.size() < 12 || data.substr(0, 7) != "HTTP/1.") return;
    int status = std::atoi(std::string(data.substr(9, 3)).c_str());
    if (status == 100) return;  // "100 Continue": the real answer follows
    expect_status_ = false;
    if (status >= 400) c_.close_after = true;
  }

  Connection& c_;
  const ConnectionLimits& limits_;
  const int stop_fd_;
  const Clock::time_point read_deadline_;
  const size_t allowed_;
  size_t delivered_ = 0;
  bool expect_status_ = true;
  mutable bool writing_ = false;
  mutable Clock::time_point write_deadline_;
};

GuardedServer::GuardedServer(ConnectionLimits limits, Vouch vouch)
    : limits_(limits), vouch_(std::move(vouch)) {
  if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0 || pipe2(stop_, O_NONBLOCK | O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("cannot create the server's pipes: ") + std::strerror(errno));
}

GuardedServer::~GuardedServer() {
  Shutdown();
  for (int fd : {wake_[0], wake_[1], stop_[0], stop_[1], listen_fd_})
    if (fd >= 0) ::close(fd);
}

int GuardedServer::Bind(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (port < 0 || port > 65535 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, SOMAXCONN) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return -1;
  }
  listen_fd_ = fd;
  return ntohs(addr.sin_port);
}

void GuardedServer::Serve() {
  gate_ = std::thread([this] { GateLoop(); });
  for (size_t i = 0; i < limits_.workers; ++i) workers_.emplace_back([this] { WorkLoop(); });
}

void GuardedServer::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ssize_t ignored = ::write(stop_[1], "x", 1);
  (void)ignored;
  Wake();
  ready_.notify_all();
  if (gate_.joinable()) gate_.join();
  for (auto& worker : workers_)
    if (worker.joinable()) worker.join();
  workers_.clear();
  std::lock_guard lock(mutex_);
  while (!connections_.empty()) CloseLocked(connections_.front());
}

void GuardedServer::Wake() {
  ssize_t ignored = ::write(wake_[1], "x", 1);
  (void)ignored;
}

void GuardedServer::CloseLocked(Connection& c) {
  if (c.state == Connection::State::kQueued) {
    for (auto* queue : {&trusted_queue_, &untrusted_queue_})
      queue->erase(std::remove(queue->begin(), queue->end(), &c), queue->end());
  }
  ::close(c.fd);
  connections_.erase(c.self);
}

void GuardedServer::GateLoop() {
  std::vector<pollfd> fds;
  std::vector<Connection*> polled;
  Clock::time_point accept_paused_until;
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const auto now = Clock::now();
    auto next = now + std::chrono::seconds(60);
    const bool accepting = now >= accept_paused_until;
    if (!accepting) next = accept_paused_until;
    fds.assign({{wake_[0], POLLIN, 0}, {accepting ? listen_fd_ : -1, POLLIN, 0}});
    polled.clear();
    for (auto it = connections_.begin(); it != connections_.end();) {
      Connection& c = *it++;
      if (c.state != Connection::State::kWaiting && c.state != Connection::State::kLingering) continue;
      auto deadline = c.state == Connection::State::kLingering ? c.idle_since + kLinger
                      : c.Pending().empty()                    ? c.idle_since + limits_.idle
                                                               : c.head_since + limits_.head;
      if (now >= deadline) {
        CloseLocked(c);
        continue;
      }
      next = std::min(next, deadline);
      fds.push_back({c.fd, POLLIN, 0});
      polled.push_back(&c);
    }
    lock.unlock();
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    int rc = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(wait, 0)));
    lock.lock();
    if (stopping_ || rc <= 0) continue;
    if (fds[0].revents) {
      char drain[256];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    // The connections polled are still waiting: only this thread changes a
    // waiting connection. Reads come before accepting, which may evict.
    for (size_t i = 0; i < polled.size(); ++i) {
      if (!fds[i + 2].revents) continue;
      if (polled[i]->state == Connection::State::kLingering)
        Drain(*polled[i]);
      else
        ReadHead(*polled[i]);
    }
    if (fds[1].revents && !AcceptAll()) accept_paused_until = Clock::now() + kAcceptPause;
  }
  // Shutting down: what waits or is queued is closed; the workers close
  // the connections they serve.
  for (auto it = connections_.begin(); it != connections_.end();) {
    Connection& c = *it++;
    if (c.state != Connection::State::kServing) CloseLocked(c);
  }
}

bool GuardedServer::AcceptAll() {
  for (;;) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len,
                       SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return errno != EMFILE && errno != ENFILE;  // nothing more to accept now
    }
    int one = 1;
    // Answers go out at once: with Nagle's delay every reply that is written
    // in more than one piece waits for the browser's delayed ACK.
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    Evict(text);
    Connection& c = connections_.emplace_back();
    c.self = std::prev(connections_.end());
    c.fd = fd;
    c.client = text;
    c.idle_since = Clock::now();
  }
}

void GuardedServer::Evict(const std::string& client) {
  auto make_room = [this](auto counts, size_t cap) {
    for (;;) {
      std::vector<Connection*> held;
      std::vector<HeldConnection> view;
      for (auto& c : connections_) {
        if (c.state == Connection::State::kServing || !counts(c)) continue;
        bool idle = c.state == Connection::State::kLingering ||
                    (c.state == Connection::State::kWaiting && c.Pending().empty());
        held.push_back(&c);
        view.push_back({c.trusted, idle, idle ? c.idle_since : c.head_since});
      }
      if (held.size() < cap || held.empty()) return;
      CloseLocked(*held[PickVictim(view)]);
    }
  };
  make_room([&](const Connection& c) { return !c.trusted && c.client == client; }, limits_.per_client);
  make_room([](const Connection&) { return true; }, limits_.held);
}

void GuardedServer::ReadHead(Connection& c) {
  char buffer[16 * 1024];
  for (;;) {
    ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      if (c.Pending().empty()) c.head_since = Clock::now();
      c.in.append(buffer, static_cast<size_t>(n));
      if (HeadEnd(c.Pending()) != npos) return Queue(c);
      if (c.Pending().size() > limits_.max_head) return CloseLocked(c);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    return CloseLocked(c);  // closed by the client, or broken
  }
}

void GuardedServer::Drain(Connection& c) {
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0 && (c.pos += static_cast<size_t>(n)) <= kLingerBytes) continue;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    return CloseLocked(c);  // the client is done, or has sent enough
  }
}

void GuardedServer::Queue(Connection& c) {
  std::string_view pending = c.Pending();
  c.trusted = vouch_ && vouch_(pending.substr(0, HeadEnd(pending)));
  c.state = Connection::State::kQueued;
  (c.trusted ? trusted_queue_ : untrusted_queue_).push_back(&c);
  ready_.notify_all();
}

void GuardedServer::WorkLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ready_.wait(lock, [&] {
      return stopping_ || !trusted_queue_.empty() ||
             (!untrusted_queue_.empty() && untrusted_busy_ < limits_.untrusted_workers);
    });
    if (stopping_) return;
    Connection* c = nullptr;
    if (!trusted_queue_.empty()) {
      c = trusted_queue_.front();
      trusted_queue_.pop_front();
    } else {
      c = untrusted_queue_.front();
      untrusted_queue_.pop_front();
      c->counted = true;
      ++untrusted_busy_;
    }
    c->state = Connection::State::kServing;
    lock.unlock();

    ConnectionStream stream(*c, limits_, stop_[0]);
    c->close_after = false;
    bool closed = false;
    bool answered = process_request(stream, false, closed, nullptr);

    lock.lock();
    Release(*c, answered && !closed && !c->close_after, answered && c->close_after);
  }
}

void GuardedServer::Release(Connection& c, bool keep, bool linger) {
  if (c.counted) {
    c.counted = false;
    --untrusted_busy_;
    ready_.notify_all();
  }
  if (linger && !stopping_ && ::shutdown(c.fd, SHUT_WR) == 0) {
    c.state = Connection::State::kLingering;
    c.idle_since = Clock::now();
    c.in.clear();
    c.pos = 0;  // counts the bytes dropped
    return Wake();
  }
  if (!keep || stopping_) return CloseLocked(c);
  c.in.erase(0, c.pos);
  c.pos = 0;
  c.state = Connection::State::kWaiting;
  c.idle_since = c.head_since = Clock::now();
  if (HeadEnd(c.Pending()) != npos) return Queue(c);  // a request sent on ahead
  Wake();
}

}  // namespace zelka
