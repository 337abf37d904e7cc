#ifndef QUARNEL_TESTING_DATA_SOURCE_NAMES_H_
#define QUARNEL_TESTING_DATA_SOURCE_NAMES_H_

// The data source names that the settings file may hold but no data source
// can have, shared by the unit test of the check and the runs against a
// driver that would accept some of them.

#include <string>
#include <vector>

namespace quarnel::testing {

struct RefusedDataSourceName {
  std::string name;   // as the settings file holds it: code page 1250
  std::string shown;  // a piece of the refusal that says why, in UTF-8
};

// Empty, too long, or holding a control character or one of []{}(),;?*=!@\.
const std::vector<RefusedDataSourceName>& RefusedDataSourceNames();

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_DATA_SOURCE_NAMES_H_
