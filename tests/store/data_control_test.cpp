// Data controls over real files made by our writer: connecting, record counts, sharing one
// open database, and errors that name their cause.
#include <gtest/gtest.h>

#include "store/connection_string.h"
#include "store/data_control.h"
#include "store/templates.h"
#include "support/files.h"

namespace vkdc {
namespace {

class DataControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(makeTemplate("3.0", dir_.path() + "/VKDB23.mdb").isOk());
        SampleOptions o;
        o.contacts = 30;
        ASSERT_TRUE(makeSample("2.0", dir_.path() + "/source.dbb", o).isOk());
    }

    std::string conn(const std::string& path, const std::string& password) {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + quoteConnectionValue(path) +
               ";Jet OLEDB:Database Password=" + password + ";";
    }

    testing_support::TempDir dir_;
    DatabaseRegistry registry_;
};

TEST_F(DataControlTest, RefreshOpensTheFirstRowWithAnExactCount) {
    DataControl c("Cont_Old", registry_, false);
    c.setConnectionString(
        sourceConnectionString(versionPair(PairId::k20to30), dir_.path() + "/source.dbb"));
    c.setRecordSource("SELECT * FROM Table_Contact");
    ASSERT_TRUE(c.Refresh().isOk());
    ASSERT_NE(nullptr, c.Recordset());
    EXPECT_EQ(30, c.Recordset()->RecordCount());
    BoundField name("g1", c, "Name");
    auto first = name.Text();
    ASSERT_TRUE(first.isOk());
    EXPECT_FALSE(first->empty());
    int seen = 1;
    while (c.Recordset()->MoveNext().isOk() && !c.Recordset()->atEnd())
        ++seen;
    EXPECT_EQ(30, seen);
    EXPECT_FALSE(c.Recordset()->MoveNext().isOk());  // past the end is an error, not a wrap
}

TEST_F(DataControlTest, RefusesOtherRecordSourcesProvidersAndPasswords) {
    DataControl c("X", registry_, false);
    c.setConnectionString(conn(dir_.path() + "/source.dbb", "7#%2=91@&^408!3"));
    for (const char* bad : {"SELECT * FROM Table_Other", "select * from Table_User",
                            "SELECT Name FROM Table_Contact", ""}) {
        c.setRecordSource(bad);
        EXPECT_FALSE(c.Refresh().isOk()) << bad;
        EXPECT_EQ(nullptr, c.Recordset());
    }
    c.setRecordSource("SELECT * FROM Table_User");
    c.setConnectionString(conn(dir_.path() + "/source.dbb", "Qe4^wT*9pLr2Zk8"));
    jet::Status st = c.Refresh();
    EXPECT_EQ(jet::Status::Code::kWrongPassword, st.code());
    c.setConnectionString("Provider=SQLOLEDB;Data Source=" + dir_.path() + "/source.dbb;");
    EXPECT_FALSE(c.Refresh().isOk());
}

TEST_F(DataControlTest, ControlsOnOneFileShareItAndStoredRowsAreSeen) {
    const std::string tpl = dir_.path() + "/VKDB23.mdb";
    DataControl a("Cats_New", registry_, true), b("Other", registry_, true);
    for (DataControl* c : {&a, &b}) {
        c->setConnectionString(conn(tpl, "7#%2=91@&^408!3"));
        c->setRecordSource("SELECT * FROM Table_Category");
        ASSERT_TRUE(c->Refresh().isOk());
    }
    BoundField f1("f1", a, "Category");
    ASSERT_TRUE(a.Recordset()->AddNew().isOk());
    ASSERT_TRUE(f1.setText("دوستان").isOk());
    ASSERT_TRUE(a.Recordset()->Update().isOk());
    ASSERT_TRUE(b.Refresh().isOk());
    EXPECT_EQ(1, b.Recordset()->RecordCount());
}

TEST_F(DataControlTest, ARowThatDoesNotFitFailsWithItsColumnAndStoresNothing) {
    const std::string tpl = dir_.path() + "/VKDB23.mdb";
    DataControl c("User_New", registry_, true);
    c.setConnectionString(conn(tpl, "7#%2=91@&^408!3"));
    c.setRecordSource("SELECT * FROM Table_User");
    ASSERT_TRUE(c.Refresh().isOk());
    BoundField user("b1", c, "UserName");
    ASSERT_TRUE(c.Recordset()->AddNew().isOk());
    ASSERT_TRUE(user.setText(std::string(256, 'x')).isOk());
    jet::Status st = c.Recordset()->Update();
    ASSERT_FALSE(st.isOk());
    EXPECT_NE(std::string::npos, st.message().find("UserName")) << st.message();
    EXPECT_FALSE(c.Recordset()->Update().isOk());  // the failed row is gone, not pending
    ASSERT_TRUE(c.Refresh().isOk());
    EXPECT_EQ(0, c.Recordset()->RecordCount());
}

}  // namespace
}  // namespace vkdc
