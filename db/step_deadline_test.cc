#include "db/step_deadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarnel {
namespace {

using std::chrono::milliseconds;

constexpr DatabaseDeadline kShort{milliseconds(200), milliseconds(200)};

// Holds whoever waits on it until it is opened, as a call to a server that
// never answers holds its caller.
class Gate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

enum class Answer { kAtOnce, kWhenWithdrawn, kNever };

struct DeadlineCase {
  const char* label;
  OdbcCall call;
  bool can_withdraw;
  bool withdrawal_hangs;
  Answer answer;
  std::string error;  // what the call ends with; "" for nothing
  bool given_up;      // the run is ended while the call still waits
};

TEST(StepDeadlineTest, ACallThatDoesNotAnswerEndsTheRunWhateverTheDriverDoes) {
  const std::vector<DeadlineCase> cases = {
      {"answers", OdbcCall::kExecute, true, false, Answer::kAtOnce, "", false},
      {"withdrawn", OdbcCall::kExecute, true, false, Answer::kWhenWithdrawn,
       "Deleting the stored list: Tarvo: the server did not answer within 0.2 seconds", false},
      {"withdrawal hangs", OdbcCall::kExecute, true, true, Answer::kNever,
       "Deleting the stored list: Tarvo", true},
      {"connect never answers", OdbcCall::kConnect, false, false, Answer::kNever,
       "Connecting to the data source: Tarvo", true},
  };
  for (const DeadlineCase& c : cases) {
    Gate call;
    Gate withdrawal;
    std::vector<std::string> given_up;
    // In the program the process ends here; the test lets the calls go.
    StepDeadline deadline(kShort, "Tarvo", [&](const RunError& error) {
      given_up.push_back(error.description());
      call.Open();
      withdrawal.Open();
    });
    bool withdrawn = false;
    std::function<void()> cancel;
    if (c.can_withdraw) {
      cancel = [&] {
        withdrawn = true;
        if (c.answer == Answer::kWhenWithdrawn) call.Open();
        if (c.withdrawal_hangs) withdrawal.Wait();
      };
    }
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    deadline.Started(c.call, cancel);
    if (c.answer != Answer::kAtOnce) call.Wait();
    try {
      deadline.Ended();
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), kErrDatabaseTimeout) << c.label;
      error = e.description();
    }
    const auto spent = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.label << ": " << error;
    EXPECT_EQ(error.empty(), c.error.empty()) << c.label;
    EXPECT_EQ(withdrawn, c.can_withdraw && c.answer != Answer::kAtOnce) << c.label;
    EXPECT_EQ(given_up.size(), c.given_up ? 1u : 0u) << c.label;
    const auto least = c.given_up ? kShort.limit + kShort.grace
                                  : c.answer == Answer::kAtOnce ? milliseconds(0) : kShort.limit;
    EXPECT_GE(spent, least) << c.label;
  }
}

TEST(StepDeadlineTest, OnlyTheTimeInsideTheCallsCounts) {
  StepDeadline deadline({milliseconds(300), milliseconds(100)}, "Tarvo", [](const RunError&) {});
  // A driver that counts whole seconds and may end one early still ends no
  // call before the deadline does.
  EXPECT_GE(deadline.TimeoutSeconds(), 2);
  const auto call = [&](int ms) {
    deadline.Started(OdbcCall::kExecute, {});
    std::this_thread::sleep_for(milliseconds(ms));
    deadline.Ended();
  };
  for (int i = 0; i < 3; ++i) {
    call(20);
    // Between the calls, as while the success box waits for its click.
    std::this_thread::sleep_for(milliseconds(150));
  }
  EXPECT_THROW(call(250), RunError);
}

}  // namespace
}  // namespace quarnel
