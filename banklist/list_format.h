#ifndef QUARNEL_BANKLIST_LIST_FORMAT_H_
#define QUARNEL_BANKLIST_LIST_FORMAT_H_

#include <string_view>

namespace quarnel {

// The first line of every bank code list the update writes: the 21 column
// names, each followed by "(C)", joined by "|". Whatever first line the old
// list had is dropped and this one takes its place.
inline constexpr std::string_view kHeaderLine =
    "BANKID(C)|TRRID(C)|ENGINEID(C)|NAME(C)|MTTO(C)|IPADDRESS(C)|PCPORT(C)|"
    "TVUPORT(C)|CERTFILENAME(C)|CONNTYPE(C)|ENTRYNAME(C)|TIMEOUT(C)|"
    "OUTPUTWINSIZE(C)|NUMDOC(C)|ICONFILENAME(C)|FIRSTCONNECTIONSTATUS(C)|"
    "HTTPS_CONNECTIONSTATUS(C)|HTTPS_IPADDRESS(C)|HTTPS_PCPORT(C)|"
    "HTTPS_CERTFILENAME(C)|HTTPS_CGIPATH(C)";

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_LIST_FORMAT_H_
