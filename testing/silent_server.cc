#include "testing/silent_server.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stdexcept>
#include <string>

namespace quarnel::testing {

namespace {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void CloseSocket(Socket s) { closesocket(s); }
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void CloseSocket(Socket s) { close(s); }
#endif

}  // namespace

SilentServer::SilentServer(int port) {
#ifdef _WIN32
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
#endif
  const Socket s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) throw std::runtime_error("no socket for the silent server");
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<unsigned short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, 16) != 0) {
    CloseSocket(s);
    throw std::runtime_error("the silent server cannot listen on 127.0.0.1:" +
                             std::to_string(port));
  }
  socket_ = static_cast<std::intptr_t>(s);
}

SilentServer::~SilentServer() {
  CloseSocket(static_cast<Socket>(socket_));
#ifdef _WIN32
  WSACleanup();
#endif
}

}  // namespace quarnel::testing
