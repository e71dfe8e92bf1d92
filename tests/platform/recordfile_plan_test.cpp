// Every query a walk runs must seek in its key's index and read in index
// order: a plan that sorts or scans would make each page read cost the whole
// file.
#include "recordfile_fixture.h"

#include "platform/sqlitelayout.h"

#include <QFile>

#include <sqlite3.h>

namespace kestrel::test {
namespace {

using detail::SqlLayout;
using detail::WalkMode;

std::string plan(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* st = nullptr;
    std::string explain = "EXPLAIN QUERY PLAN " + sql;
    EXPECT_EQ(sqlite3_prepare_v2(db, explain.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db) << "\n" << sql;
    std::string out;
    while (sqlite3_step(st) == SQLITE_ROW) out += std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 3))) + "\n";
    sqlite3_finalize(st);
    return out;
}

TEST(RecordFilePlanTest, WalksSeekInTheKeyIndexWithoutSorting)
{
    TempDir dir;
    for (const FileDef* def : {&kPatient, &kItem, &kInsured}) {
        std::vector<unsigned char> buffer(std::size_t(def->recordLength));
        RecordFile file(*def, buffer.data());
        file.setDirectory(dir.path());
        ASSERT_EQ(file.create(), 0);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(file.name()).constData(), &db), SQLITE_OK);
        SqlLayout layout(*def);
        for (int key = 0; key < int(def->keys.size()); ++key) {
            const std::string index = std::string("USING INDEX ") + std::string(def->keys[std::size_t(key)].label);
            for (WalkMode mode : {WalkMode::Ends, WalkMode::FromValue, WalkMode::AtPos, WalkMode::After})
                for (bool forward : {true, false})
                    for (int range = 0; range <= layout.componentCount(key); ++range) {
                        std::string sql = layout.walk("main", key, mode, forward, range);
                        std::string p = plan(db, sql);
                        EXPECT_NE(p.find(index), std::string::npos) << sql << "\n" << p;
                        EXPECT_EQ(p.find("TEMP B-TREE"), std::string::npos) << sql << "\n" << p;
                        if (mode != WalkMode::Ends || range > 0)
                            EXPECT_NE(p.find("SEARCH"), std::string::npos) << sql << "\n" << p;
                    }
            std::string p = plan(db, layout.get("main", key));
            EXPECT_NE(p.find("SEARCH"), std::string::npos) << p;
            EXPECT_EQ(p.find("TEMP B-TREE"), std::string::npos) << p;
        }
        std::string p = plan(db, layout.walk("main", FileOrder, WalkMode::After, false, 0));
        EXPECT_NE(p.find("SEARCH"), std::string::npos) << p;
        EXPECT_EQ(p.find("TEMP B-TREE"), std::string::npos) << p;
        sqlite3_close(db);
    }
}

} // namespace
} // namespace kestrel::test
