#ifndef QUARNEL_TESTING_SILENT_SERVER_H_
#define QUARNEL_TESTING_SILENT_SERVER_H_

#include <cstdint>

namespace quarnel::testing {

// A server that hangs, as its clients see it: listens on 127.0.0.1:`port`
// until destroyed; the system accepts each connection into the queue, and
// nobody ever answers. Throws std::runtime_error when the port is taken.
class SilentServer {
 public:
  explicit SilentServer(int port);
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

 private:
  std::intptr_t socket_;
};

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_SILENT_SERVER_H_
