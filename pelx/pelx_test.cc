#include "pelx/pelx.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "pelx/auth_file.h"
#include "pelx/cipher.h"
#include "platform/env.h"
#include "testing/process.h"
#include "testing/temp_dir.h"

namespace pelx {
namespace {

using quarnel::testing::Exists;
using quarnel::testing::RunProcess;
using quarnel::testing::ScopedTempDir;
using quarnel::testing::WriteFile;

class PelxTest : public ::testing::Test {
 protected:
  // The field read from `content` through a buffer of `capacity` bytes, or
  // the negative result as text.
  std::string Read(const std::string& content, AuthField field,
                   int32_t capacity = 64) {
    const std::string path = dir_.Join(kAuthFileName);
    WriteFile(path, content);
    std::string buffer(static_cast<std::size_t>(capacity), '#');
    const int32_t n = ReadAuthValue(path, field, buffer.data(), capacity);
    if (n < 0) return "error " + std::to_string(n);
    EXPECT_EQ(buffer[static_cast<std::size_t>(n)], '\0');
    return buffer.substr(0, static_cast<std::size_t>(n));
  }

  ScopedTempDir dir_;
};

TEST_F(PelxTest, CipherRoundTripsEveryByte) {
  std::string plain;
  for (int byte = 0; byte < 256; ++byte) plain.push_back(static_cast<char>(byte));
  std::string text = EncryptToHex(plain);
  ASSERT_EQ(text.size(), 512u);
  EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(DecryptHexInPlace(text.data(), text.size()), 256);
  EXPECT_EQ(text.substr(0, 256), plain);
}

TEST_F(PelxTest, CipherHidesRepeatedCharacters) {
  const std::string hex = EncryptToHex("aaaa");
  EXPECT_NE(hex.substr(0, 2), hex.substr(2, 2));
  EXPECT_NE(hex.substr(2, 2), hex.substr(4, 2));
}

TEST_F(PelxTest, BadHexIsRefusedAndLeftUntouched) {
  for (std::string text : {"ABC", "0G12", "12 4"}) {
    const std::string before = text;
    EXPECT_EQ(DecryptHexInPlace(text.data(), text.size()), PELX_BAD_TEXT) << before;
    EXPECT_EQ(text, before);
  }
  std::string lower = EncryptToHex("Tarvo");
  for (char& c : lower) c = static_cast<char>(std::tolower(c));
  EXPECT_EQ(DecryptHexInPlace(lower.data(), lower.size()), 5);
  EXPECT_EQ(lower.substr(0, 5), "Tarvo");
}

TEST_F(PelxTest, ReadsUserAndPasswordWhateverTheLineEnds) {
  const std::string user = EncryptToHex("op_user");
  const std::string password = EncryptToHex("S3cret pass");
  for (const char* end : {"\r\n", "\n", "\r"}) {
    for (const std::string& last : {std::string(end), std::string()}) {
      const std::string content = user + end + password + last;
      EXPECT_EQ(Read(content, AuthField::kUser), "op_user");
      EXPECT_EQ(Read(content, AuthField::kPassword), "S3cret pass");
    }
  }
  EXPECT_EQ(Read(user + "\r\n\r\n", AuthField::kPassword), "");
  EXPECT_EQ(Read(user + "\r\n" + password + "\r\n\r\n\n", AuthField::kUser), "op_user");
}

TEST_F(PelxTest, MalformedFileDeliversNothing) {
  const std::string user = EncryptToHex("u");
  const std::string bad = "error " + std::to_string(PELX_BAD_TEXT);
  EXPECT_EQ(Read("", AuthField::kUser), bad);
  EXPECT_EQ(Read(user + "\r\n", AuthField::kUser), bad);
  EXPECT_EQ(Read(user + "\r\n" + user + "\r\n" + user, AuthField::kUser), bad);
  EXPECT_EQ(Read("user\r\n" + user + "\r\n", AuthField::kUser), bad);
  EXPECT_EQ(Read(std::string(70000, '0') + "\r\n\r\n", AuthField::kPassword), bad);
}

TEST_F(PelxTest, MissingFileDeliversNothing) {
  char buffer[8];
  EXPECT_EQ(ReadAuthValue(dir_.Join("absent"), AuthField::kUser, buffer, 8),
            PELX_NO_FILE);
  EXPECT_EQ(ReadAuthValue(dir_.path(), AuthField::kUser, buffer, 8), PELX_NO_FILE);
}

TEST_F(PelxTest, ValueMustFitWithItsNul) {
  const std::string content = AuthFileContent("twelve chars", "p");
  EXPECT_EQ(Read(content, AuthField::kUser, 13), "twelve chars");
  EXPECT_EQ(Read(content, AuthField::kUser, 12),
            "error " + std::to_string(PELX_NO_ROOM));
  std::string buffer(12, '#');
  ReadAuthValue(dir_.Join(kAuthFileName), AuthField::kUser, buffer.data(), 12);
  EXPECT_EQ(buffer, std::string(12, '#'));
  EXPECT_EQ(ReadAuthValue(dir_.Join(kAuthFileName), AuthField::kUser, nullptr, 12),
            PELX_BAD_CALL);
  EXPECT_EQ(ReadAuthValue(dir_.Join(kAuthFileName), AuthField::kUser, buffer.data(), 0),
            PELX_BAD_CALL);
}

// --- The tool -------------------------------------------------------------

TEST_F(PelxTest, ToolWritesAFileTheLibraryReads) {
  const std::string path = dir_.Join(kAuthFileName);
  const auto result = RunProcess(TARVO_AUTH_WRITE, {path}, "db_admin\r\nPa55 word|x\r\n");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out + result.err, "");
#ifndef _WIN32  // Windows keeps no such permission bits
  const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
  EXPECT_EQ(std::filesystem::status(path).permissions() & others,
            std::filesystem::perms::none);
#endif
  char buffer[32];
  ASSERT_EQ(ReadAuthValue(path, AuthField::kUser, buffer, 32), 8);
  EXPECT_EQ(std::string(buffer), "db_admin");
  ASSERT_EQ(ReadAuthValue(path, AuthField::kPassword, buffer, 32), 11);
  EXPECT_EQ(std::string(buffer), "Pa55 word|x");
}

TEST_F(PelxTest, ToolWithoutPasswordWritesNothing) {
  const std::string path = dir_.Join(kAuthFileName);
  const auto result = RunProcess(TARVO_AUTH_WRITE, {path}, "only_user\n");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err.find("only_user"), std::string::npos);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(RunProcess(TARVO_AUTH_WRITE, {}, "u\np\n").exit_code, 2);
}

struct RefusedInput {
  std::string input;    // the two lines the tool reads
  std::string refused;  // which value its message names
  std::string value;    // what the message must not show
};

TEST_F(PelxTest, ToolRefusesValuesTheProgramCouldNotUseWhole) {
  const std::string path = dir_.Join(kAuthFileName);
  const std::vector<RefusedInput> cases = {
      {"\nSecretPw\n", "the user name is empty", "SecretPw"},
      {"\r\nSecretPw\r\n", "the user name is empty", "SecretPw"},
      {"db_admin\n\n", "the password is empty", "db_admin"},
      {"db_admin\r\n\r\n", "the password is empty", "db_admin"},
      {std::string("db_admin\nSecret\0Pw\n", 19), "the password holds a NUL", "Secret"},
      {std::string("db\0admin\nSecretPw\n", 18), "the user name holds a NUL", "admin"},
      {"db_admin\nSecret\rPw\n", "the password holds a NUL, CR or LF", "Secret"},
      {"db_admin\nSecretPw\r\r\n", "the password holds a NUL, CR or LF", "SecretPw"},
      {"db\radmin\nSecretPw\n", "the user name holds a NUL, CR or LF", "admin"},
  };
  for (const RefusedInput& c : cases) {
    const auto result = RunProcess(TARVO_AUTH_WRITE, {path}, c.input);
    EXPECT_EQ(result.exit_code, 1) << c.refused;
    EXPECT_NE(result.err.find(c.refused), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(c.value), std::string::npos) << result.err;
    EXPECT_FALSE(Exists(path)) << c.refused;
    std::filesystem::remove(path);  // so that one failure shows as one
  }
}

// --- The built library, loaded the way the program loads it ----------------

TEST_F(PelxTest, ExportedDecryptWorksInPlaceWithinItsBuffer) {
  auto env = quarnel::NewPlatformEnv(0, nullptr);
  auto library = env->OpenLibrary("PELX");
  auto decrypt = reinterpret_cast<PelxFunction>(library->Function("decryptFromHex"));

  const std::string hex = EncryptToHex("Plain");
  std::string buffer = hex + '\0' + "tail";
  EXPECT_EQ(decrypt(buffer.data(), static_cast<int32_t>(hex.size() + 1)), 5);
  EXPECT_EQ(buffer, "Plain" + hex.substr(5) + '\0' + "tail");

  std::string unterminated = hex;
  EXPECT_EQ(decrypt(unterminated.data(), static_cast<int32_t>(hex.size())),
            PELX_BAD_TEXT);
  EXPECT_EQ(unterminated, hex);
  EXPECT_EQ(decrypt(nullptr, 4), PELX_BAD_CALL);
}

}  // namespace
}  // namespace pelx
