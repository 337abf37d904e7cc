#ifndef QUARNEL_DB_STEP_DEADLINE_H_
#define QUARNEL_DB_STEP_DEADLINE_H_

// The one deadline of the database step. Every ODBC call that may wait on the
// server (connecting, the DELETE or a query, disconnecting) runs under it, so
// that a silent start-up always ends, whatever the driver or the server does.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/odbc.h"

namespace quarnel {

// How long the database step's calls may wait on the server, all together,
// and how long after that a call still waiting is given to come back once it
// has been asked to stop, before the run ends without it.
struct DatabaseDeadline {
  std::chrono::milliseconds limit;
  std::chrono::milliseconds grace;
};

// The deadline of the database step that the program ships with, a constant
// and not a setting: its calls may wait 30 seconds on the server in all, a
// slow network included, and a call still waiting 5 seconds after that is
// given up and the run ended.
inline constexpr DatabaseDeadline kDatabaseDeadline{std::chrono::seconds(30),
                                                    std::chrono::seconds(5)};

// Bounds the calls of one connection to `data_source`. Only the time spent in
// those calls counts, so a box the user reads between them takes nothing from
// it. A driver's own timeouts are asked for from the time left; at the
// deadline a call that can be withdrawn is withdrawn (without waiting on the
// withdrawal), and a call still waiting `grace` later is given up: `give_up`
// is called with the error on the deadline's watchdog thread while the call
// still waits, and must report it and end the process. A call that comes
// back after the deadline, whatever its result, ends with that same error.
class StepDeadline final : public OdbcCallBound {
 public:
  StepDeadline(DatabaseDeadline deadline, std::string data_source,
               std::function<void(const RunError&)> give_up);
  ~StepDeadline() override;
  StepDeadline(const StepDeadline&) = delete;
  StepDeadline& operator=(const StepDeadline&) = delete;

  // The error a call that outlasts the deadline ends with: kErrDatabaseTimeout,
  // "what was waited for: data source: the server did not answer within N
  // seconds".
  RunError Overdue() const;

  long TimeoutSeconds() override;
  void Started(OdbcCall call, std::function<void()> cancel) override;
  void Ended() override;

 private:
  using Clock = std::chrono::steady_clock;

  // The watchdog thread's work for one call.
  void Watch();
  // Withdraws the waiting call, on a thread of its own.
  void Cancel();

  const DatabaseDeadline deadline_;
  const std::string data_source_;
  const std::function<void(const RunError&)> give_up_;

  std::chrono::milliseconds left_;  // of the limit, between calls
  OdbcCall call_ = OdbcCall::kConnect;
  Clock::time_point started_;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool waiting_ = false;     // a call is under way
  bool overdue_ = false;     // the deadline passed while it was
  bool cancelling_ = false;  // its withdrawal has not come back yet
  std::function<void()> cancel_;
  std::thread watchdog_;
  std::thread canceller_;
};

}  // namespace quarnel

#endif  // QUARNEL_DB_STEP_DEADLINE_H_
