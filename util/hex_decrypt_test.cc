#include "util/hex_decrypt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pelx/pelx.h"
#include "testing/fails_cleanly.h"
#include "testing/process.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::ScopedTempDir;

class HexDecryptTest : public ::testing::Test {
 protected:
  HexDecryptTest() : env_(NewPlatformEnv(0, nullptr)) {}

  // The first line of an authentication file that the tool writes for
  // `user`: the user name as hex text.
  std::string HexFromTool(const std::string& user) {
    const std::string path = dir_.Join("auth.dat");
    const auto result = testing::RunProcess(TARVO_AUTH_WRITE, {path}, user + "\nx\n");
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::string content = testing::ReadFile(path);
    return content.substr(0, content.find('\r'));
  }

  int ErrorOf(std::string* text) {
    return testing::RunErrorOf([&] { DecryptHex(*env_, text); }).number();
  }

  ScopedTempDir dir_;
  std::unique_ptr<Env> env_;
};

TEST_F(HexDecryptTest, DecryptsTheToolsHexInPlace) {
  const std::string hex = HexFromTool("Tarvo user");
  std::string text = hex;
  EXPECT_EQ(DecryptHex(*env_, &text), "Tarvo user");
  EXPECT_EQ(text, "Tarvo user" + hex.substr(10));

  std::string empty;
  EXPECT_EQ(DecryptHex(*env_, &empty), "");
  EXPECT_EQ(empty, "");
}

TEST_F(HexDecryptTest, ANegativeLengthFailsAndLeavesTheText) {
  for (std::string text : {"ABC", "not hex!", "0G"}) {
    const std::string before = text;
    EXPECT_EQ(ErrorOf(&text), kErrInvalidCall);
    EXPECT_EQ(text, before);
  }
}

// A library that claims more plain text than the buffer holds.
int32_t Overclaiming(char* text, int32_t) {
  std::memcpy(text, "ok", 2);
  return 1000;
}

class OverclaimingEnv final : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string&) override {
    struct Library final : SharedLibrary {
      void* Function(const char*) override { return reinterpret_cast<void*>(Overclaiming); }
    };
    return std::make_unique<Library>();
  }
};

TEST_F(HexDecryptTest, ALengthBeyondTheTextGivesTheWholeText) {
  OverclaimingEnv env(env_.get());
  std::string text = "0011";
  EXPECT_EQ(DecryptHex(env, &text), "ok11");
  EXPECT_EQ(text, "ok11");
}

}  // namespace
}  // namespace quarnel
