#include "platform/env.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <linux/fs.h>
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/line_io.h"
#include "testing/temp_dir.h"
#ifndef _WIN32
#include "testing/inode_flag.h"
#endif

namespace quarnel {
namespace {

using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

class EnvTest : public ::testing::Test {
 protected:
  std::vector<std::string> ReadLines(const std::string& bytes) {
    const std::string path = dir_.Join("lines");
    WriteFile(path, bytes);
    std::unique_ptr<LineReader> reader = env_->OpenForReading(path);
    std::vector<std::string> lines;
    std::string line;
    while (!reader->AtEnd()) {
      reader->ReadLine(&line);
      lines.push_back(line);
    }
    reader->Close();
    return lines;
  }

  ScopedTempDir dir_;
  std::unique_ptr<Env> env_ = NewPlatformEnv(0, nullptr);
};

using Lines = std::vector<std::string>;

TEST_F(EnvTest, LineEndsAreCrLfLoneCrAndLoneLf) {
  EXPECT_EQ(ReadLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(ReadLines("a\r\n"), (Lines{"a"}));
  EXPECT_EQ(ReadLines("a\n\r"), (Lines{"a", ""}));
  EXPECT_EQ(ReadLines("\r\n\r\nx\r\n"), (Lines{"", "", "x"}));
  EXPECT_EQ(ReadLines(""), Lines{});
}

TEST_F(EnvTest, CrLfSplitAcrossReadBlocksIsOneLineEnd) {
  // Put the CR last in the reader's first block.
  const std::string first(kLineBlockSize - 1, 'x');
  EXPECT_EQ(ReadLines(first + "\r\nnext\r\n"), (Lines{first, "next"}));
  const std::string long_line(kLineBlockSize * 5 / 2, 'y');
  EXPECT_EQ(ReadLines(long_line + "\r\n" + long_line), (Lines{long_line, long_line}));
}

TEST_F(EnvTest, BytesAboveAsciiAndNulPassUnchanged) {
  std::string all;
  for (int b = 0x80; b <= 0xFF; ++b) all += static_cast<char>(b);
  all += std::string("\0z", 2);
  EXPECT_EQ(ReadLines(all + "\r\n"), Lines{all});
}

TEST_F(EnvTest, ReadingPastTheEndIsError62) {
  WriteFile(dir_.Join("one"), "x");
  std::unique_ptr<LineReader> reader = env_->OpenForReading(dir_.Join("one"));
  std::string line;
  reader->ReadLine(&line);
  try {
    reader->ReadLine(&line);
    FAIL() << "read past the end";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrInputPastEnd);
  }
}

TEST_F(EnvTest, WriterEndsEveryLineInCrLfWithoutByteOrderMark) {
  const std::string path = dir_.Join("out");
  WriteFile(path, "old content that must go");
  std::unique_ptr<LineWriter> writer = env_->CreateForWriting(path);
  writer->WriteLine("first");
  writer->WriteLine(std::string(100 * 1024, 'z'));
  writer->WriteLine("\xC8\x8A");
  writer->Close();
  EXPECT_EQ(ReadFile(path), "first\r\n" + std::string(100 * 1024, 'z') + "\r\n\xC8\x8A\r\n");
}

TEST_F(EnvTest, OnlyTheLiteralsBackslashesBecomeSeparators) {
  WriteFile(dir_.Join("f.dat"), "x");
  EXPECT_TRUE(env_->IsPresent(PathIn(dir_.path(), "\\f.dat"), Presence::kFilesOnly));
#ifdef _WIN32
  EXPECT_EQ(PathIn("C:\\", "\\a\\b"), "C:\\\\a\\b");
#else
  // A backslash in a folder's own name is no separator.
  EXPECT_EQ(PathIn("/x\\y", "\\a\\b"), "/x\\y/a/b");
#endif
}

TEST_F(EnvTest, PresenceAdmitsFoldersOnlyWhenAsked) {
  testing::MakeDirs(dir_.Join("RS"));
  WriteFile(dir_.Join("file"), "x");
  EXPECT_FALSE(env_->IsPresent(dir_.Join("RS"), Presence::kFilesOnly));
  EXPECT_TRUE(env_->IsPresent(dir_.Join("RS"), Presence::kFilesAndDirectories));
  EXPECT_TRUE(env_->IsPresent(dir_.Join("file"), Presence::kFilesOnly));
  EXPECT_TRUE(env_->IsPresent(dir_.Join("file"), Presence::kFilesAndDirectories));
  EXPECT_FALSE(env_->IsPresent(dir_.Join("none"), Presence::kFilesAndDirectories));
  EXPECT_TRUE(env_->FileExists(dir_.Join("file")));
  EXPECT_FALSE(env_->FileExists(dir_.Join("RS")));
  EXPECT_FALSE(env_->FileExists(dir_.Join("none")));
}

TEST_F(EnvTest, CopyReplacesAndReplaceRenamesOverTheTarget) {
  WriteFile(dir_.Join("a"), "new\r\n");
  WriteFile(dir_.Join("b"), "old old old\r\n");
  env_->CopyWholeFile(dir_.Join("a"), dir_.Join("b"));
  EXPECT_EQ(ReadFile(dir_.Join("b")), "new\r\n");

  WriteFile(dir_.Join("c"), "work\r\n");
  env_->RenameOver(dir_.Join("c"), dir_.Join("b"));
  EXPECT_EQ(ReadFile(dir_.Join("b")), "work\r\n");
  EXPECT_FALSE(testing::Exists(dir_.Join("c")));
}

#ifdef __linux__
TEST_F(EnvTest, CopyReadsFilesTheKernelCannotCopyItself) {
  // The kernel's own copy reports "nothing copied" for such files.
  env_->CopyWholeFile("/proc/self/cmdline", dir_.Join("copy"));
  EXPECT_NE(ReadFile(dir_.Join("copy")), "");
}
#endif

TEST_F(EnvTest, FailuresCarryClassicNumbersAndThePath) {
  const std::string missing = dir_.Join("missing.dat");
  try {
    env_->OpenForReading(missing);
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrFileNotFound);
    EXPECT_NE(e.description().find(missing), std::string::npos) << e.description();
  }
  try {
    env_->CopyWholeFile(missing, dir_.Join("x"));
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrFileNotFound);
  }
  testing::MakeDirs(dir_.Join("folder"));
  EXPECT_THROW(env_->OpenForReading(dir_.Join("folder")), RunError);
  EXPECT_THROW(env_->RemoveFile(dir_.Join("folder")), RunError);
  EXPECT_THROW(env_->CreateForWriting(dir_.Join("folder")), RunError);
  try {
    env_->CreateForWriting(dir_.Join("no/such/folder"));
    FAIL();
  } catch (const RunError& e) {
    // Windows tells a missing folder from a missing file; POSIX does not.
#ifdef _WIN32
    EXPECT_EQ(e.number(), kErrPathNotFound);
#else
    EXPECT_EQ(e.number(), kErrFileNotFound);
#endif
  }
  // An ordinary file where a folder is expected.
  WriteFile(dir_.Join("RS"), "x");
  try {
    env_->CopyWholeFile(dir_.Join("RS"), dir_.Join("RS/copy"));
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrPathNotFound);
  }
}

#ifndef _WIN32
// Odd things at the names the run reads and writes. Nothing may wait on a
// named pipe, nothing is written through a link, and a folder is never
// removed: each ends in an error that says what stands there, or, for a
// link at a name the run writes, in a new file of the run's own in its place.
TEST_F(EnvTest, OddThingsAtANameAreRefusedOrReplacedNeverFollowed) {
  ScopedTempDir outside;
  const std::string target = outside.Join("elsewhere");
  const std::string source = dir_.Join("source");
  enum Thing { kPipe, kLink, kFolder };
  struct Operation {
    const char* name;
    bool writes;
    std::function<void(Env&, const std::string&)> run;
  };
  const std::vector<Operation> operations = {
      {"read", false, [](Env& env, const std::string& at) { env.OpenForReading(at); }},
      {"copy from", false,
       [&](Env& env, const std::string& at) { env.CopyWholeFile(at, dir_.Join("copy")); }},
      {"copy to", true, [&](Env& env, const std::string& at) { env.CopyWholeFile(source, at); }},
      {"create", true, [](Env& env, const std::string& at) { env.CreateForWriting(at)->Close(); }},
      {"rename over", true,
       [&](Env& env, const std::string& at) { env.RenameOver(source, at); }},
  };
  for (const Thing thing : {kPipe, kLink, kFolder}) {
    for (const Operation& operation : operations) {
      const std::string at = dir_.Join("name");
      std::filesystem::remove_all(at);
      WriteFile(source, "source\r\n");
      WriteFile(target, "outside\r\n");
      if (thing == kPipe) {
        ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0);
      }
      if (thing == kLink) std::filesystem::create_symlink(target, at);
      if (thing == kFolder) testing::MakeDirs(at);
      const std::string label = std::string(operation.name) + " at a " +
                                (thing == kPipe ? "pipe" : thing == kLink ? "link" : "folder");
      std::string error;
      try {
        operation.run(*env_, at);
      } catch (const RunError& e) {
        error = e.description();
      }
      if (thing == kLink) {
        EXPECT_EQ(error, "") << label;
        EXPECT_EQ(ReadFile(target), "outside\r\n") << label;
        if (operation.writes) {
          EXPECT_FALSE(std::filesystem::is_symlink(at)) << label;
        }
      } else {
        const char* says = thing == kPipe ? "named pipe" : "Is a directory";
        EXPECT_NE(error.find(says), std::string::npos) << label << ": " << error;
        EXPECT_NE(error.find(at), std::string::npos) << label << ": " << error;
        EXPECT_EQ(std::filesystem::is_directory(at), thing == kFolder) << label;
      }
    }
  }
}
#endif

#ifndef _WIN32
// Whether a file may be deleted, and its folder changed, as the folder's
// rights and the flags of the file and the folder say. The tests run as
// root, whom no mode stops, so the rows take rights away with flags.
TEST_F(EnvTest, DeleteAndFolderAccessFollowRightsAndFlags) {
  enum Flagged { kNone, kFile, kFolder };
  struct Case {
    const char* name;
    Flagged flagged;
    int flag;
    Access file;    // DeleteAccess of the file
    Access folder;  // FolderAccess of its folder
  };
  const std::vector<Case> cases = {
      {"plain", kNone, 0, Access::kAllowed, Access::kAllowed},
      {"immutable file", kFile, FS_IMMUTABLE_FL, Access::kDenied, Access::kAllowed},
      {"append-only file", kFile, FS_APPEND_FL, Access::kDenied, Access::kAllowed},
      {"immutable folder", kFolder, FS_IMMUTABLE_FL, Access::kDenied, Access::kDenied},
      {"append-only folder", kFolder, FS_APPEND_FL, Access::kDenied, Access::kDenied},
  };
  int not_run = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string folder = dir_.Join(std::to_string(i));
    const std::string file = folder + "/sifrant_bank.dat";
    testing::MakeDirs(folder);
    WriteFile(file, "x");
    const testing::ScopedInodeFlag flag(c.flagged == kFolder ? folder : file, c.flag);
    if (c.flagged != kNone && !flag.set()) {
      ++not_run;
      continue;
    }
    EXPECT_EQ(env_->DeleteAccess(file), c.file) << c.name;
    EXPECT_EQ(env_->FolderAccess(folder), c.folder) << c.name;
    // Nothing at the name: nothing to keep.
    EXPECT_EQ(env_->DeleteAccess(folder + "/none"), Access::kAllowed) << c.name;
  }
  EXPECT_EQ(env_->DeleteAccess(dir_.path()), Access::kDenied) << "a folder is no file";
  EXPECT_EQ(env_->FolderAccess(dir_.Join("none")), Access::kDenied);
  if (not_run > 0) GTEST_SKIP() << not_run << " rows need flags, which this file system refuses";
}
#endif

TEST_F(EnvTest, ALockIsExclusiveUntilItsHolderLetsGo) {
  const std::string path = dir_.Join("lock");
  std::unique_ptr<FileLock> first = env_->TryLockFile(path);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(env_->TryLockFile(path), nullptr);
  first.reset();
  EXPECT_NE(env_->TryLockFile(path), nullptr);
  EXPECT_TRUE(testing::Exists(path));
}

TEST_F(EnvTest, ProgramTextBecomesCodePage1250) {
  EXPECT_EQ(env_->ToAnsi("AIK BANKA AD NI\xC5\xA0"), "AIK BANKA AD NI\x8A");
  EXPECT_EQ(env_->ToAnsi("RA\xC4\x8CUNI"), "RA\xC8UNI");
  EXPECT_EQ(env_->ToAnsi("plain"), "plain");
  EXPECT_EQ(env_->ToAnsi("\xE2\x82\xAC"), "\x80");         // euro sign exists in 1250
  EXPECT_EQ(env_->ToAnsi("a\xE4\xB8\xAD" "b"), "a?b");     // no CJK in 1250
}

TEST_F(EnvTest, MissingLibraryIsError48) {
  try {
    env_->OpenLibrary("NoSuchQuarnelLibrary");
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrDllLoad);
  }
}

}  // namespace
}  // namespace quarnel
