#ifndef QUARNEL_PLATFORM_ODBC_TESTING_H_
#define QUARNEL_PLATFORM_ODBC_TESTING_H_

// For tests: reads back what a run left in a database.

#include <string>
#include <vector>

namespace quarnel::testing {

// The first column of every row that `query` returns, as text, in the order
// returned; a NULL comes back as "(null)". Connects anew for each call.
// Throws RunError as OpenOdbcConnection does.
std::vector<std::string> QueryColumn(const std::string& connection_string,
                                     const std::string& query);

}  // namespace quarnel::testing

#endif  // QUARNEL_PLATFORM_ODBC_TESTING_H_
