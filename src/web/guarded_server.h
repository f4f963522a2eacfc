// The HTTP server's front door. The library parses requests and routes them;
// accepting connections and reading them is done here, so that a client that
// is slow or silent holds no worker thread:
// - one gate thread waits on every connection that has no complete request
//   head yet, with a deadline for the whole head (not for each read) and one
//   for an idle connection, and hands a connection to a worker only once its
//   head is complete;
// - a worker reads the body with a deadline and a size limit for the whole
//   request (chunked or not), and writes the answer with a deadline;
// - requests that carry the tab's credentials go to the workers first, and
//   the others may occupy only a few workers at a time;
// - the connections a client holds without credentials are capped; over the
//   cap, idle ones are closed first, then the oldest.
// After an error answer (status 400 and above) the connection is closed, so
// an unread body is never taken for the next request; for a moment before,
// what the client still sends is read and dropped, so that it gets to read
// the answer.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zelka {

struct ConnectionLimits {
  std::chrono::milliseconds idle{5000};      // no request under way
  std::chrono::milliseconds head{5000};      // from a request's first byte to the end of its head
  std::chrono::milliseconds request{10000};  // from a request's first byte to the end of its body
  std::chrono::milliseconds write{10000};    // writing one answer
  size_t max_head = 16 * 1024;
  size_t max_body = 8 * 1024 * 1024;
  size_t per_client = 32;  // connections without credentials held per client address
  size_t held = 256;       // connections waiting for their next request, in all
  size_t workers = 16;
  size_t untrusted_workers = 4;  // of those, at most this many serve requests without credentials
};

// The request target of a request head ("GET /x HTTP/1.1\r\n…" -> "/x"),
// and the value of one of its header fields ("" when absent; the name is
// compared without regard to case).
std::string_view HeadTarget(std::string_view head);
std::string_view HeadField(std::string_view head, std::string_view name);

class GuardedServer : public httplib::Server {
 public:
  // Tells from a complete request head whether it carries the tab's
  // credentials. Only the order of service depends on it; the handlers decide
  // what a request may do.
  using Vouch = std::function<bool(std::string_view head)>;

  GuardedServer(ConnectionLimits limits, Vouch vouch);
  ~GuardedServer() override;

  // Listens on 127.0.0.1:port (0: any free port); the port, or -1.
  int Bind(int port);
  // Starts the gate and the workers; returns at once.
  void Serve();
  // Closes every connection and ends the threads; the workers' current
  // requests finish first.
  void Shutdown();

 private:
  using Clock = std::chrono::steady_clock;
  struct Connection;
  class ConnectionStream;

  void GateLoop();
  void WorkLoop();
  // These are called with mutex_ held.
  bool AcceptAll();  // false when the process has no descriptor left
  void ReadHead(Connection& c);
  void Queue(Connection& c);
  void Release(Connection& c, bool keep, bool linger);
  void Drain(Connection& c);
  void Evict(const std::string& client);
  void CloseLocked(Connection& c);
  void Wake();

  const ConnectionLimits limits_;
  const Vouch vouch_;
  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};  // tells the gate that a connection came back
  int stop_[2] = {-1, -1};  // readable once shutting down; never drained

  std::mutex mutex_;
  std::condition_variable ready_;
  bool stopping_ = false;
  std::list<Connection> connections_;
  std::deque<Connection*> trusted_queue_, untrusted_queue_;
  size_t untrusted_busy_ = 0;
  std::thread gate_;
  std::vector<std::thread> workers_;
};

}  // namespace zelka
