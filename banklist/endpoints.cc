#include "banklist/endpoints.h"

// The values come from the build (banklist/CMakeLists.txt), so that a site
// can point the rows at other servers without touching the tables.
#if !defined(QUARNEL_HOST_SHARED) || !defined(QUARNEL_HOST_SHARED_TLS) ||  \
    !defined(QUARNEL_HOST_KOBB) || !defined(QUARNEL_HOST_NOVB) ||          \
    !defined(QUARNEL_HOST_EKBE) || !defined(QUARNEL_HOST_BACX) ||          \
    !defined(QUARNEL_HOST_DEMO) || !defined(QUARNEL_ADDR_EKBE_INTERNAL)
#error "the endpoint values are set by banklist/CMakeLists.txt"
#endif

namespace quarnel {

const char HOST_SHARED[] = QUARNEL_HOST_SHARED;
const char HOST_SHARED_TLS[] = QUARNEL_HOST_SHARED_TLS;
const char HOST_KOBB[] = QUARNEL_HOST_KOBB;
const char HOST_NOVB[] = QUARNEL_HOST_NOVB;
const char HOST_EKBE[] = QUARNEL_HOST_EKBE;
const char HOST_BACX[] = QUARNEL_HOST_BACX;
const char HOST_DEMO[] = QUARNEL_HOST_DEMO;
const char ADDR_EKBE_INTERNAL[] = QUARNEL_ADDR_EKBE_INTERNAL;

}  // namespace quarnel
