// The "tarvo" schema extension loaded into SQLite the way the SQLite3 ODBC
// driver loads it.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <string>
#include <thread>

#include "testing/temp_dir.h"

namespace quarnel {
namespace {

class TarvoSchemaTest : public ::testing::Test {
 protected:
  ~TarvoSchemaTest() override { sqlite3_close(db_); }

  // Opens `file` and loads the extension, waiting `busy_ms` on a lock as a
  // driver's busy timeout would; the loader's message on failure.
  std::string OpenWithExtension(const std::string& file, int busy_ms = 0) {
    EXPECT_EQ(sqlite3_open(file.c_str(), &db_), SQLITE_OK);
    sqlite3_busy_timeout(db_, busy_ms);
    sqlite3_enable_load_extension(db_, 1);
    char* error = nullptr;
    if (sqlite3_load_extension(db_, QUARNEL_TARVO_SCHEMA_EXTENSION, nullptr, &error) ==
        SQLITE_OK) {
      return "";
    }
    std::string message = error != nullptr ? error : "failed";
    sqlite3_free(error);
    return message;
  }

  std::string Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return "";
    std::string message = error;
    sqlite3_free(error);
    return message;
  }

  int Count(const std::string& table) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db_, ("select count(*) from " + table).c_str(), -1, &statement,
                       nullptr);
    sqlite3_step(statement);
    const int count = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return count;
  }

  testing::ScopedTempDir dir_;
  sqlite3* db_ = nullptr;
};

TEST_F(TarvoSchemaTest, TheSchemaTarvoIsTheDatabaseItself) {
  ASSERT_EQ(OpenWithExtension(dir_.Join("tarvo.db")), "");
  EXPECT_EQ(Exec("create table tvfiletable (ft_uid text);"
                 "insert into tvfiletable values ('sifrant_bank.dat'), ('other')"),
            "");
  EXPECT_EQ(Exec("delete from tarvo.tvfiletable where ft_uid='sifrant_bank.dat'"), "");
  EXPECT_EQ(Count("main.tvfiletable"), 1);
  EXPECT_EQ(Count("tarvo.tvfiletable"), 1);
}

TEST_F(TarvoSchemaTest, ALockedDatabaseIsWaitedForRatherThanLeftWithoutTheSchema) {
  const std::string file = dir_.Join("tarvo.db");
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "create table tvfiletable (ft_uid text); begin exclusive",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  std::thread release([holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(holder, "commit", nullptr, nullptr, nullptr);
  });
  // A driver's busy timeout far shorter than the lock.
  EXPECT_EQ(OpenWithExtension(file, 20), "");
  release.join();
  sqlite3_close(holder);
  EXPECT_EQ(Exec("select count(*) from tarvo.tvfiletable"), "");
}

TEST_F(TarvoSchemaTest, ADatabaseWithoutAFileIsRefused) {
  EXPECT_NE(OpenWithExtension(":memory:").find("schema tarvo: the database has no file"),
            std::string::npos);
}

}  // namespace
}  // namespace quarnel
