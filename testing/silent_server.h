#ifndef QUARNEL_TESTING_SILENT_SERVER_H_
#define QUARNEL_TESTING_SILENT_SERVER_H_

// A database server that hangs, as far as its clients can tell.

#include <cstdint>

namespace quarnel::testing {

// Listens on 127.0.0.1:`port` until destroyed. The system accepts each
// connection into the listening queue, and nobody ever reads from it or
// answers. Throws std::runtime_error when the port cannot be had.
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
