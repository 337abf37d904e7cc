#include "app/held_file_wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::FaultEnv;
using testing::ScopedTempDir;
using testing::WriteFile;

// Each operation the wait covers, on files that exist when it starts.
const struct Operation {
  const char* name;
  std::function<void(Env&, const ScopedTempDir&)> run;
} kOperations[] = {
    {"open", [](Env& env, const ScopedTempDir& d) { env.OpenForReading(d.Join("a")); }},
    {"create", [](Env& env, const ScopedTempDir& d) { env.CreateForWriting(d.Join("n")); }},
    {"copy", [](Env& env, const ScopedTempDir& d) { env.CopyWholeFile(d.Join("a"), d.Join("c")); }},
    {"delete", [](Env& env, const ScopedTempDir& d) { env.RemoveFile(d.Join("b")); }},
    {"rename", [](Env& env, const ScopedTempDir& d) { env.RenameOver(d.Join("b"), d.Join("a")); }},
};

// The holder lets go once the counted wait reaches `lets_go_at` ms; the
// pauses are counted, never slept.
TEST(HeldFileWaitTest, AHeldFileIsTriedAgainUntilItsHolderLetsGoOrTheBoundIsOver) {
  for (const int lets_go_at : {0, 20, 2000, kHeldFileWaitMilliseconds, INT_MAX}) {
    for (const Operation& operation : kOperations) {
      const std::string row = std::string(operation.name) + " @" + std::to_string(lets_go_at);
      ScopedTempDir dir;
      WriteFile(dir.Join("a"), "a");
      WriteFile(dir.Join("b"), "b");
      FaultEnv fault_env;
      fault_env.held_until_ms = lets_go_at;
      std::vector<int> pauses;
      int last_total = 0;
      fault_env.on_pause = [&](int total) {
        pauses.push_back(total - last_total);
        last_total = total;
      };
      HeldFileWait env(&fault_env);
      int error = 0;
      std::string description;
      try {
        operation.run(env, dir);
      } catch (const RunError& e) {
        error = e.number();
        description = e.description();
      }
      const int waited = fault_env.paused_ms;
      if (lets_go_at == INT_MAX) {
        EXPECT_EQ(error, kErrFileInUse) << row;
        EXPECT_NE(description.find("Injected holder: "), std::string::npos) << description;
        EXPECT_NE(description.find("did not let go within 10 seconds"), std::string::npos)
            << description;
        EXPECT_GE(waited, kHeldFileWaitMilliseconds) << row;
      } else {
        EXPECT_EQ(error, 0) << row << ": " << description;
        EXPECT_GE(waited, lets_go_at) << row;
      }
      // The wait ends within one longest pause of the moment it could.
      EXPECT_LT(waited, std::min(lets_go_at, kHeldFileWaitMilliseconds) + 500) << row;
      // A short hold costs a short pause; a long one is not tried in a spin.
      if (!pauses.empty()) {
        EXPECT_EQ(pauses.front(), 20) << row;
      }
      for (const int pause : pauses) EXPECT_LE(pause, 500) << row;
      EXPECT_LE(pauses.size(), 25u) << row;
    }
  }
}

TEST(HeldFileWaitTest, AnyOtherFailureEndsTheRunAtOnce) {
  ScopedTempDir dir;
  WriteFile(dir.Join("a"), "a");
  WriteFile(dir.Join("b"), "b");
  for (const Operation& operation : kOperations) {
    FaultEnv fault_env;
    fault_env.FailOperation(1, kErrPermissionDenied);
    HeldFileWait env(&fault_env);
    EXPECT_THROW(operation.run(env, dir), RunError) << operation.name;
    EXPECT_EQ(fault_env.paused_ms, 0) << operation.name;
  }
}

}  // namespace
}  // namespace quarnel
