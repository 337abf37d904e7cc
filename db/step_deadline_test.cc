#include "db/step_deadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace quarnel {
namespace {

using std::chrono::milliseconds;

TEST(StepDeadlineTest, ACallThatNeverReturnsIsGivenUpThoughItsWithdrawalHangsToo) {
  const DatabaseDeadline times{milliseconds(200), milliseconds(200)};
  // The call and its withdrawal both wait until the run is given up, as
  // they do on a frozen server.
  std::promise<void> given_up;
  const std::shared_future<void> frozen = given_up.get_future().share();
  std::string report;
  bool withdrawn = false;
  StepDeadline deadline(times, "Tarvo", [&](const RunError& error) {
    report = error.description();
    given_up.set_value();  // where the program's process ends
  });
  const auto start = std::chrono::steady_clock::now();
  deadline.Started(OdbcCall::kExecute, [&] {
    withdrawn = true;
    frozen.wait();
  });
  frozen.wait();
  EXPECT_THROW(deadline.Ended(), RunError);
  EXPECT_GE(std::chrono::steady_clock::now() - start, times.limit + times.grace);
  EXPECT_TRUE(withdrawn);
  EXPECT_EQ(report.rfind("Deleting the stored list: Tarvo: ", 0), 0u) << report;
  EXPECT_NE(report.find(" 0.2 seconds"), std::string::npos) << report;
}

TEST(StepDeadlineTest, TimeBetweenTheCallsIsNotCounted) {
  StepDeadline deadline({milliseconds(300), milliseconds(100)}, "Tarvo", [](const RunError&) {});
  const auto call = [&](int ms) {
    deadline.Started(OdbcCall::kExecute, {});
    std::this_thread::sleep_for(milliseconds(ms));
    deadline.Ended();
  };
  call(20);
  // As while the success message waits for its click.
  std::this_thread::sleep_for(milliseconds(400));
  call(20);
  EXPECT_THROW(call(300), RunError);
}

}  // namespace
}  // namespace quarnel
