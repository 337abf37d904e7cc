#include "app/held_file_wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "testing/fails_cleanly.h"
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
      fault_env.on_pause = [&](int total) { pauses.push_back(total); };
      HeldFileWait env(&fault_env);
      const RunError error = lets_go_at == INT_MAX
                                 ? testing::RunErrorOf([&] { operation.run(env, dir); })
                                 : (operation.run(env, dir), RunError(0, ""));
      const int waited = fault_env.paused_ms;
      if (lets_go_at == INT_MAX) {
        EXPECT_EQ(error.number(), kErrFileInUse) << row;
        EXPECT_NE(error.description().find("Injected holder: "), std::string::npos) << row;
        EXPECT_NE(error.description().find("did not let go within 10 seconds"),
                  std::string::npos) << error.description();
      }
      // The wait ends within one longest pause of the moment it could.
      EXPECT_GE(waited, std::min(lets_go_at, kHeldFileWaitMilliseconds)) << row;
      EXPECT_LT(waited, std::min(lets_go_at, kHeldFileWaitMilliseconds) + 500) << row;
      // A short hold costs a short pause, the pauses grow up to 500 ms, and a
      // long hold is not tried in a spin.
      for (size_t i = 0; i < pauses.size(); ++i) {
        const int pause = pauses[i] - (i == 0 ? 0 : pauses[i - 1]);
        const int before = i == 0 ? 10 : pauses[i - 1] - (i == 1 ? 0 : pauses[i - 2]);
        EXPECT_EQ(pause, std::min(2 * before, 500)) << row << " pause " << i;
      }
      EXPECT_LE(pauses.size(), 25u) << row;
    }
  }

  // Any other failure ends the run at once.
  FaultEnv fault_env;
  fault_env.FailOperation(1, kErrPermissionDenied);
  HeldFileWait env(&fault_env);
  EXPECT_EQ(testing::RunErrorOf([&] { env.RemoveFile("/no/such/file"); }).number(),
            kErrPermissionDenied);
  EXPECT_EQ(fault_env.paused_ms, 0);
}

}  // namespace
}  // namespace quarnel
