#include "testing/odbc_testing.h"

#include "platform/odbc_link.h"

namespace quarnel::testing {

namespace {

// What masks nothing: a test's own login is no secret.
const Secret kNothingMasked;

}  // namespace

// The one way in to OdbcLink's own constructor, which it names as its friend.
class TestConnector {
 public:
  static std::unique_ptr<OdbcConnection> Connect(const std::string& connection_string,
                                                 const Secret& masked) {
    return std::unique_ptr<OdbcConnection>(
        new OdbcLink(Secret(connection_string), "(test connection)", masked, nullptr));
  }
};

std::unique_ptr<OdbcConnection> ConnectForTest(const std::string& connection_string) {
  return ConnectForTest(connection_string, kNothingMasked);
}

std::unique_ptr<OdbcConnection> ConnectForTest(const std::string& connection_string,
                                               const Secret& masked) {
  return TestConnector::Connect(connection_string, masked);
}

std::vector<std::string> QueryColumn(const std::string& connection_string,
                                     const std::string& query) {
  const std::unique_ptr<OdbcConnection> connection = ConnectForTest(connection_string);
  std::vector<std::string> values = connection->QueryColumn(query);
  connection->Close();
  return values;
}

}  // namespace quarnel::testing
