// The data module on a real embedded database in a temporary folder.
#include <gtest/gtest.h>

#include <memory>

#include "DM_db_source.h"
#include "TestSupport.h"

using db::DatasetState;
using db::Value;

namespace {

class DataModule : public ::testing::Test {
protected:
    void SetUp() override { dm = openIn(dir); }

    static std::unique_ptr<Tdm_db> openIn(const TempDir& d) {
        auto m = std::make_unique<Tdm_db>();
        m->DatabaseName = d.file(Tdm_db::FileName);
        m->Open();
        return m;
    }

    void addArticle(double code, const std::string& name, const Value& stat = {},
                    const Value& rate = 0, const Value& bar = {}) {
        auto& t = dm->froba;
        t.open();
        t.append();
        t.setField("F_ID_KASE", 1);
        t.setField("F_SIFRA_ROBE", code);
        t.setField("F_NAZIV_ROBE", name);
        t.setField("F_SIFRA_POR_STOPE", rate);
        t.setField("F_BAR_CODE", bar);
        t.setField("STAT", stat);
        t.post();
    }

    std::vector<std::string> namesInOrder() {
        std::vector<std::string> v;
        for (dm->froba.first(); !dm->froba.eof(); dm->froba.next())
            v.push_back(dm->froba.fieldByName("F_NAZIV_ROBE").asString());
        return v;
    }

    TempDir dir;
    std::unique_ptr<Tdm_db> dm;
};

TEST_F(DataModule, NewDatabaseHoldsTheSeedRows) {
    dm->Stope.open();
    std::vector<std::string> names;
    for (dm->Stope.first(); !dm->Stope.eof(); dm->Stope.next())
        names.push_back(dm->Stope.fieldByName("ID").asString() + "=" +
                        dm->Stope.fieldByName("NAZIV").asString());
    EXPECT_EQ(names, (std::vector<std::string>{"0=A", "1=E", "2=J", "3=K"}));
    dm->porstope.open();
    EXPECT_EQ(dm->porstope.recordCount(), 1);
}

TEST_F(DataModule, MaxGivesZeroOnEmptyTableThenTheHighestCode) {
    EXPECT_EQ(dm->max("F_roba", "f_sifra_robe", ""), 0);
    addArticle(7, "a");
    addArticle(12000, "b");
    addArticle(3, "c");
    EXPECT_EQ(dm->max("F_roba", "f_sifra_robe", ""), 12000);
    EXPECT_EQ(dm->max("F_roba", "f_sifra_robe", "f_sifra_robe < 10"), 7);
    EXPECT_EQ(dm->max("f_grupe_roba", "f_sifra_grupa", ""), 0);
}

TEST_F(DataModule, FailingStatementsReportThroughGreskaAndNeverThrow) {
    dm->greska = "earlier";
    EXPECT_EQ(dm->max("NO_SUCH_TABLE", "f_sifra_robe", ""), -1);
    EXPECT_EQ(dm->max("F_roba", "no_such_column", ""), -1);
    EXPECT_EQ(dm->greska, "earlier") << "max leaves greska alone";

    EXPECT_FALSE(dm->sqlexec("Updat f_roba set stat=null"));
    EXPECT_NE(dm->greska.find("Token unknown"), std::string::npos) << dm->greska;
    EXPECT_TRUE(dm->sqlexec("Update f_roba set stat=null where stat is not null"));
    EXPECT_EQ(dm->greska, "") << "a successful sqlexec clears greska";

    EXPECT_FALSE(dm->sqlopen("Select * from no_such_table"));
    EXPECT_NE(dm->greska.find("NO_SUCH_TABLE"), std::string::npos) << dm->greska;
    EXPECT_TRUE(dm->sqlopen("Select count(*) as cnt from f_roba"));
    EXPECT_NE(dm->greska, "") << "a successful sqlopen does not clear greska";
    EXPECT_EQ(dm->up.fieldByName("cnt").asInt(), 0);
}

TEST_F(DataModule, SqlopenLeavesItsResultOpenInUp) {
    addArticle(1, "a", "PRO");
    addArticle(2, "b", "OBR");
    addArticle(3, "c");
    ASSERT_TRUE(dm->sqlopen("Select * from f_roba where stat=" + quotedSql("PRO") +
                            " or stat=" + quotedSql("OBR") + " order by f_sifra_robe"));
    std::vector<std::string> seen;
    for (dm->up.first(); !dm->up.eof(); dm->up.next())
        seen.push_back(dm->up.fieldByName("F_NAZIV_ROBE").asString());
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(quotedSql("O'B"), "'O''B'");
}

TEST_F(DataModule, PostingADuplicateKeyFailsWithTheDatabaseMessageAndStaysInInsert) {
    addArticle(5, "first");
    try {
        addArticle(5, "second");
        FAIL() << "duplicate key was accepted";
    } catch (const db::DbError& e) {
        EXPECT_NE(std::string(e.what()).find("PK_F_ROBA"), std::string::npos) << e.what();
    }
    EXPECT_EQ(dm->froba.state(), DatasetState::Insert);
    dm->froba.cancel();
    EXPECT_EQ(dm->froba.recordCount(), 1);
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "first");
}

TEST_F(DataModule, PostingWithoutARequiredColumnFails) {
    dm->froba.open();
    dm->froba.append();
    dm->froba.setField("F_NAZIV_ROBE", "no code");
    try {
        dm->froba.post();
        FAIL() << "null code was accepted";
    } catch (const db::DbError& e) {
        EXPECT_NE(std::string(e.what()).find("F_SIFRA_ROBE"), std::string::npos) << e.what();
    }
}

TEST_F(DataModule, EmptyStatIsStoredAsNull) {
    addArticle(1, "a", "OBR");
    dm->froba.edit();
    dm->froba.setField("STAT", "");
    dm->froba.post();
    EXPECT_TRUE(dm->froba.fieldByName("STAT").isNull());
    EXPECT_EQ(dm->froba.fieldByName("STAT").asString(), "");
    ASSERT_TRUE(dm->sqlopen("Select count(*) as cnt from f_roba where stat is not null"));
    EXPECT_EQ(dm->up.fieldByName("CNT").asInt(), 0);
}

TEST_F(DataModule, TextIsCutToItsColumnWidth) {
    dm->f_grupe_roba.open();
    dm->f_grupe_roba.append();
    dm->f_grupe_roba.setField("F_SIFRA_GRUPA", 1);
    dm->f_grupe_roba.setField("F_NAZIV_GRUPA", std::string(33, 'G'));
    dm->f_grupe_roba.post();
    dm->f_objekat.open();
    dm->f_objekat.append();
    dm->f_objekat.setField("F_ID_KASE", 1);
    dm->f_objekat.setField("F_RBR", 1);
    dm->f_objekat.setField("F_NAZIV_FIRME", std::string(40, 'F'));
    dm->f_objekat.post();

    auto again = openIn(dir);
    dm.reset();
    again->f_grupe_roba.open();
    again->f_objekat.open();
    EXPECT_EQ(again->f_grupe_roba.fieldByName("F_NAZIV_GRUPA").asString(), std::string(32, 'G'));
    EXPECT_EQ(again->f_objekat.fieldByName("F_NAZIV_FIRME").asString(), std::string(31, 'F'));
}

TEST_F(DataModule, NamesKeepTheirCodePageBytesExactly) {
    std::string bytes;  // Windows-1250 / -1251 letters such as 0x8A, 0xC8, 0xE6, 0xFF
    for (int b = 0x80; b < 0x80 + 32; ++b) bytes += static_cast<char>(b == 0x80 + 5 ? 0xFF : b);
    addArticle(1, bytes);
    dm->f_operateri.open();
    dm->f_operateri.append();
    dm->f_operateri.setField("F_SIFRA_OPERATERA", 1);
    dm->f_operateri.setField("F_NAZIV_OPERATERA", "\xC8\xE8\xD0\xF0\x8A\x9A\x8E\x9E\xC6\xE6");
    dm->f_operateri.post();
    dm.reset();

    auto again = openIn(dir);
    again->froba.open();
    again->f_operateri.open();
    EXPECT_EQ(again->froba.fieldByName("F_NAZIV_ROBE").asString(), bytes);
    EXPECT_EQ(again->f_operateri.fieldByName("F_NAZIV_OPERATERA").asString(),
              "\xC8\xE8\xD0\xF0\x8A\x9A\x8E\x9E\xC6\xE6");
    ASSERT_TRUE(again->sqlopen("Select f_sifra_robe from f_roba where f_naziv_robe = " +
                               quotedSql(bytes)));
    EXPECT_EQ(again->up.recordCount(), 1) << "the bytes also match inside statements";
}

TEST_F(DataModule, OrderFollowsTheChosenIndexAndPostedRowsTakeTheirPlace) {
    addArticle(3, "Cokolada");
    addArticle(1, "Mlijeko");
    addArticle(2, "Banana");
    dm->froba.setIndexName("frobasifra");
    EXPECT_EQ(namesInOrder(), (std::vector<std::string>{"Mlijeko", "Banana", "Cokolada"}));
    dm->froba.setIndexName("naziv_robe");
    EXPECT_EQ(dm->froba.indexName(), "naziv_robe");
    EXPECT_EQ(namesInOrder(), (std::vector<std::string>{"Banana", "Cokolada", "Mlijeko"}));

    ASSERT_TRUE(dm->froba.locate("F_NAZIV_ROBE", "Banana"));
    dm->froba.edit();
    dm->froba.setField("F_NAZIV_ROBE", "Zito");
    dm->froba.post();
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "Zito") << "cursor follows the row";
    EXPECT_EQ(namesInOrder(), (std::vector<std::string>{"Cokolada", "Mlijeko", "Zito"}));
    addArticle(4, "Aronija");
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "Aronija");
    EXPECT_EQ(dm->froba.recNo(), 0);

    EXPECT_THROW(dm->froba.setIndexName("NO_SUCH_INDEX"), db::DbError);
    EXPECT_EQ(dm->froba.indexName(), "naziv_robe");
}

TEST_F(DataModule, LocateBookmarkAndRefresh) {
    addArticle(10, "Hljeb", {}, 0, "3870001");
    addArticle(20, "Hladnjak", {}, 0, "3870002");
    addArticle(30, "Sok");
    dm->froba.setIndexName("FROBASIFRA");

    EXPECT_TRUE(dm->froba.locate("F_SIFRA_ROBE", 20));
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "Hladnjak");
    EXPECT_TRUE(dm->froba.locate("F_NAZIV_ROBE", "Hlj", true));
    EXPECT_EQ(dm->froba.fieldByName("F_SIFRA_ROBE").asInt(), 10);
    EXPECT_FALSE(dm->froba.locate("F_NAZIV_ROBE", "hlj", true)) << "letter case must match";
    EXPECT_FALSE(dm->froba.locate("F_BAR_CODE", "387000"));
    EXPECT_EQ(dm->froba.fieldByName("F_SIFRA_ROBE").asInt(), 10) << "a miss leaves the row";

    dm->froba.locate("F_SIFRA_ROBE", 30);
    auto mark = dm->froba.bookmark();
    dm->froba.first();
    ASSERT_TRUE(dm->froba.gotoBookmark(mark));
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "Sok");

    // Changes made by statements show after a refresh, which keeps the current row.
    ASSERT_TRUE(dm->sqlexec("Update f_roba set stat=" + quotedSql("PRO") + ", f_sifra_por_stope=2 "
                            "where f_sifra_por_stope<>2"));
    ASSERT_TRUE(dm->sqlexec("Delete from f_roba where f_sifra_robe=10"));
    dm->froba.refresh();
    EXPECT_EQ(dm->froba.recordCount(), 2);
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "Sok");
    EXPECT_EQ(dm->froba.fieldByName("STAT").asString(), "PRO");
    EXPECT_FALSE(dm->froba.gotoBookmark({{Value(1.0), Value(10.0)}, 0})) << "deleted row";
}

TEST_F(DataModule, StopaImeLooksUpTheRateName) {
    addArticle(1, "a", {}, 2);
    addArticle(2, "b", {}, 7);
    addArticle(3, "c", {}, Value());
    dm->froba.setIndexName("frobasifra");
    std::vector<std::string> v;
    for (dm->froba.first(); !dm->froba.eof(); dm->froba.next())
        v.push_back(dm->froba.fieldByName("StopaIme").asString());
    EXPECT_EQ(v, (std::vector<std::string>{"J", "", ""}));
    EXPECT_TRUE(dm->Stope.active()) << "opening froba opens Stope for the lookup";
}

TEST_F(DataModule, StateChangesAreAnnounced) {
    dm->froba.open();
    std::vector<DatasetState> seen;
    int id = dm->froba.subscribe([&](db::Dataset::Event e) {
        if (e == db::Dataset::Event::StateChanged) seen.push_back(dm->froba.state());
    });
    dm->froba.append();
    dm->froba.setField("F_SIFRA_ROBE", 1);
    dm->froba.post();
    dm->froba.edit();
    dm->froba.cancel();
    dm->froba.edit();
    dm->froba.next();  // a pending edit ends with the next operation
    dm->froba.unsubscribe(id);
    dm->froba.append();
    using S = DatasetState;
    EXPECT_EQ(seen, (std::vector<S>{S::Insert, S::Browse, S::Edit, S::Browse, S::Edit, S::Browse}));
}

TEST_F(DataModule, EditingAnEmptyTableAddsItsFirstRow) {
    ASSERT_TRUE(dm->sqlexec("Delete from poreskestope"));
    dm->porstope.open();
    ASSERT_TRUE(dm->porstope.isEmpty());
    dm->porstope.edit();
    EXPECT_EQ(dm->porstope.state(), DatasetState::Insert);
    dm->porstope.setField("ID", 1);
    dm->porstope.setField("A", "17.5");
    dm->porstope.post();
    // A table without a key is still edited row by row.
    dm->porstope.edit();
    dm->porstope.setField("E", 99.99);
    dm->porstope.post();
    dm->porstope.refresh();
    EXPECT_EQ(dm->porstope.fieldByName("A").asString(), "17.5");
    EXPECT_EQ(dm->porstope.fieldByName("E").asString(), "99.99");
    EXPECT_EQ(dm->porstope.recordCount(), 1);
}

TEST_F(DataModule, BadValuesAreRefusedBeforeTheyReachTheRow) {
    dm->froba.open();
    dm->froba.append();
    EXPECT_THROW(dm->froba.setField("F_CIJENA_ROBE", "12,x"), db::DbError);
    EXPECT_THROW(dm->froba.setField("NO_SUCH_FIELD", 1), db::DbError);
    dm->froba.cancel();
    EXPECT_THROW(dm->froba.setField("F_CIJENA_ROBE", 1), db::DbError) << "not in edit mode";
    EXPECT_THROW(dm->froba.deleteRecord(), db::DbError) << "empty table";
}

TEST_F(DataModule, PostingARowThatWasDeletedMeanwhileFails) {
    addArticle(1, "a");
    dm->froba.edit();
    ASSERT_TRUE(dm->sqlexec("Delete from f_roba where f_sifra_robe=1"));
    dm->froba.setField("F_NAZIV_ROBE", "b");
    EXPECT_THROW(dm->froba.post(), db::DbError);
}

TEST_F(DataModule, DeleteRemovesTheRowAndMovesToTheNext) {
    addArticle(1, "a");
    addArticle(2, "b");
    addArticle(3, "c");
    dm->froba.setIndexName("frobasifra");
    dm->froba.locate("F_SIFRA_ROBE", 2);
    dm->froba.deleteRecord();
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "c");
    dm.reset();
    auto again = openIn(dir);
    EXPECT_EQ(again->max("f_roba", "f_sifra_robe", "f_sifra_robe < 3"), 1);
}

}  // namespace

namespace {

TEST(CommitBatch, ChangesInABatchAreCommittedInGroupsAndAtItsEnd) {
    TempDir dir;
    Tdm_db dm;
    dm.DatabaseName = dir.file(Tdm_db::FileName);
    dm.Open();
    dm.froba.open();
    auto count = [&] {  // as a second attachment sees it: committed rows only
        Tdm_db other;
        other.DatabaseName = dm.DatabaseName;
        other.Open();
        return other.max("f_roba", "f_sifra_robe", "");
    };
    {
        db::CommitBatch batch(dm.SQL, 3);
        for (int code = 1; code <= 4; ++code) {
            dm.froba.append();
            dm.froba.setField("F_SIFRA_ROBE", code);
            dm.froba.post();
        }
        EXPECT_EQ(count(), 3) << "every third change is committed";
    }
    EXPECT_EQ(count(), 4) << "and the rest when the batch ends";
    dm.froba.append();
    dm.froba.setField("F_SIFRA_ROBE", 5);
    dm.froba.post();
    EXPECT_EQ(count(), 5) << "after the batch, each change again at once";
}

}  // namespace
