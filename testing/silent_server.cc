#include "testing/silent_server.h"

#ifdef _WIN32
#include <winsock2.h>
using Socket = SOCKET;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
using Socket = int;
#define closesocket close
#endif

#include <stdexcept>
#include <string>

namespace quarnel::testing {

SilentServer::SilentServer(int port) {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
#endif
  const Socket s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<unsigned short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, 16) != 0) {
    closesocket(s);
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  socket_ = static_cast<std::intptr_t>(s);
}

SilentServer::~SilentServer() { closesocket(static_cast<Socket>(socket_)); }

}  // namespace quarnel::testing
