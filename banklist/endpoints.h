#ifndef QUARNEL_BANKLIST_ENDPOINTS_H_
#define QUARNEL_BANKLIST_ENDPOINTS_H_

// The servers that the update writes into bank rows, as plain text. Each is
// one value chosen when the program is built (CMake cache variables
// QUARNEL_HOST_SHARED, ..., QUARNEL_ADDR_EKBE_INTERNAL) and defined only in
// endpoints.cc. All are ASCII.

namespace quarnel {

// Shared e-banking server: plain connection and HTTPS connection.
extern const char HOST_SHARED[];
extern const char HOST_SHARED_TLS[];
// The own servers of single banks, plain and HTTPS.
extern const char HOST_KOBB[];
extern const char HOST_NOVB[];
extern const char HOST_EKBE[];
extern const char HOST_BACX[];
// Private-network address of the demonstration server.
extern const char HOST_DEMO[];
// Private-network address of EKBE's server for dial-up entries of the former HVB.
extern const char ADDR_EKBE_INTERNAL[];

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_ENDPOINTS_H_
