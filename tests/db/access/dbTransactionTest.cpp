// Several statements as one change: kept whole at Commit, rolled back when the guard goes
// uncommitted (an error on the way), and one transaction at a time.
#include <gtest/gtest.h>

#include "db/access/qorDatabaseController.h"
#include "db/access/qorDatabaseTransaction.h"
#include "db/objects/zuzDatabase.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMemoryFile.h"
#include "tests/db/dbTestUtil.h"

namespace {

using namespace zuz;  // the error code names
using zuz::test::ErrorCodeOf;

constexpr const char* kPath = "/mem/db/plan.zuz";

class DbTransaction : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      TZuzDataBase db(&fs_);
      db.SetDataBaseName(kPath);
      db.CreateDatabase();
    }
    controller_.OpenDatabase(kPath);
    controller_.Execute("CREATE TABLE T (Id AUTOINC, Name VARCHAR(20), PRIMARY KEY (Id))");
  }
  int Rows() { return controller_.LookupInteger("SELECT COUNT(*) FROM T"); }

  TMemoryFileSystem fs_;
  TqorDatabaseController controller_{&fs_};
};

TEST_F(DbTransaction, CommittedStatementsStayAndAnUncommittedGuardRollsBack) {
  {
    TqorDatabaseTransaction transaction(controller_);
    controller_.Execute("INSERT INTO T (Name) VALUES ('a')");
    controller_.Execute("INSERT INTO T (Name) VALUES ('b')");
    // The transaction sees its own rows.
    EXPECT_EQ(controller_.NewId("Id", "T"), 2);
    transaction.Commit();
  }
  EXPECT_EQ(Rows(), 2);
  try {
    TqorDatabaseTransaction transaction(controller_);
    controller_.Execute("INSERT INTO T (Name) VALUES ('c')");
    controller_.Execute("INSERT INTO T (Nonsense) VALUES ('d')");
    transaction.Commit();
    FAIL() << "the bad statement ran";
  } catch (const EZuzDatabaseError&) {
  }
  EXPECT_EQ(Rows(), 2);
  EXPECT_FALSE(controller_.Database().InTransaction());
  // Reopened, the file holds the committed rows only.
  controller_.OpenDatabase(kPath);
  EXPECT_EQ(Rows(), 2);
}

TEST_F(DbTransaction, OnlyOneAtATime) {
  TqorDatabaseTransaction outer(controller_);
  EXPECT_EQ(ErrorCodeOf([&] { TqorDatabaseTransaction inner(controller_); }),
            ZUZ_ERR_TRANSACTION_ACTIVE);
  controller_.Execute("INSERT INTO T (Name) VALUES ('a')");
  outer.Commit();
  EXPECT_EQ(Rows(), 1);
}

}  // namespace
