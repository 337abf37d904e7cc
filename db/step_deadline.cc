#include "db/step_deadline.h"

#include <algorithm>
#include <utility>

namespace quarnel {

namespace {

const char* WaitedFor(OdbcCall call) {
  switch (call) {
    case OdbcCall::kConnect: return "Connecting to the data source";
    case OdbcCall::kExecute: return "Deleting the stored list";
    case OdbcCall::kQuery: return "Reading from the data source";
    case OdbcCall::kDisconnect: return "Disconnecting from the data source";
  }
  return "Waiting for the data source";
}

// "30" for whole seconds, "0.25" for less (the tests' short deadlines).
std::string SecondsText(std::chrono::milliseconds time) {
  std::string text = std::to_string(time.count() / 1000);
  const long long rest = time.count() % 1000;
  if (rest == 0) return text;
  std::string fraction = std::to_string(1000 + rest).substr(1);
  fraction.erase(fraction.find_last_not_of('0') + 1);
  return text + "." + fraction;
}

}  // namespace

StepDeadline::StepDeadline(DatabaseDeadline deadline, std::string data_source,
                           std::function<void(const RunError&)> give_up)
    : deadline_(deadline),
      data_source_(std::move(data_source)),
      give_up_(std::move(give_up)),
      left_(deadline.limit) {}

StepDeadline::~StepDeadline() = default;

RunError StepDeadline::Overdue() const {
  return RunError(kErrDatabaseTimeout, std::string(WaitedFor(call_)) + ": " + data_source_ +
                                           ": the server did not answer within " +
                                           SecondsText(deadline_.limit) + " seconds");
}

// One second more than is left, so that a driver's own timeout (some count
// whole seconds and may end up to one early) falls after the deadline and
// within the grace: what the run reports is then the deadline's error.
long StepDeadline::TimeoutSeconds() {
  const long long left_seconds = std::max<long long>(0, (left_.count() + 999) / 1000);
  return static_cast<long>(left_seconds) + 1;
}

void StepDeadline::Started(OdbcCall call, std::function<void()> cancel) {
  call_ = call;
  cancel_ = std::move(cancel);
  started_ = Clock::now();
  waiting_ = true;
  overdue_ = false;
  // A second thread, for as long as this call lasts: the calling thread is
  // inside the driver and cannot watch the time itself. Nothing else of the
  // program runs on it, and the rest of the program stays single-threaded.
  watchdog_ = std::thread(&StepDeadline::Watch, this);
}

void StepDeadline::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  const Clock::time_point deadline = started_ + left_;
  if (changed_.wait_until(lock, deadline, [this] { return !waiting_; })) return;
  overdue_ = true;
  if (cancel_) {
    cancelling_ = true;
    // Withdrawing the call may itself wait on the server without bound, so
    // it runs on a third thread that nobody waits for here.
    canceller_ = std::thread(&StepDeadline::Cancel, this);
  }
  if (changed_.wait_until(lock, deadline + deadline_.grace,
                          [this] { return !waiting_ && !cancelling_; })) {
    return;
  }
  const RunError error = Overdue();
  lock.unlock();
  // Nothing of the list has been touched and no lock is held yet, so the run
  // can end here while the call still waits.
  give_up_(error);
}

void StepDeadline::Cancel() {
  cancel_();
  std::lock_guard<std::mutex> lock(mutex_);
  cancelling_ = false;
  changed_.notify_all();
}

void StepDeadline::Ended() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_ = false;
  }
  changed_.notify_all();
  // The watchdog ends only once a withdrawal has come back (or the process
  // has been ended), so the call's handle is never freed under it.
  watchdog_.join();
  if (canceller_.joinable()) canceller_.join();
  left_ -= std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
  if (overdue_ || left_ <= std::chrono::milliseconds::zero()) throw Overdue();
}

}  // namespace quarnel
