// The table manager and the table functions as scripts call them.
#include <gtest/gtest.h>

#include "fake_param_host.h"
#include "params/db_manager.h"
#include "resources/file_manager.h"
#include "resources/stream.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::ExpectEvals;
using test::ScriptRuntime;

// A game table "people" (name str 10, age int, score float, ok flag) with three records, active.
void MakePeople(ScriptRuntime& rt) {
  ExpectEvals(rt, {
                      {"DBCreateTable(\"people\", FALSE)", "flag TRUE"},
                      {"DBAddField(\"name\", 4, 10)", "flag TRUE"},
                      {"DBAddField(\"age\", 1)", "flag TRUE"},
                      {"DBAddField(\"score\", 2)", "flag TRUE"},
                      {"DBAddField(\"ok\", 3)", "flag TRUE"},
                      {"DBInsert(\"Ann\", 31, 2.5, TRUE)", "flag TRUE"},
                      {"DBInsert(\"Ben\", \"22\", 3.5)", "flag TRUE"},
                      {"DBInsert(\"Cy\", 40, 1, FALSE, \"ignored\")", "flag TRUE"},
                  });
}

TEST(TableFunctions, CreateActivateAndDelete) {
  ScriptRuntime rt;
  rt.Declare(kTypeStr, "n");
  rt.Declare(kTypeFlag, "p");
  ExpectEvals(rt, {
                      {"DBGetActive()", "str "},
                      {"DBCreateTable(\"\", FALSE)", "flag FALSE"},
                      {"DBCreateTable(\"save\", TRUE)", "flag TRUE"},
                      {"DBAddField(\"x\", 1)", "flag TRUE"},
                      {"DBInsert(5)", "flag TRUE"},
                      {"DBCreateTable(\"game\", FALSE)", "flag TRUE"},
                      {"DBAddField(\"y\", 1)", "flag TRUE"},
                      {"DBInsert(6)", "flag TRUE"},
                      {"DBGetTableCount()", "int 2"},
                      {"DBGetActive()", "str game"},
                      // An existing table is emptied unless persistent is asked for.
                      {"DBCreateTable(\"SAVE\", FALSE)", "flag TRUE"},
                      {"DBRecordCount()", "int 0"},
                      {"DBAddField(\"x\", 1)", "flag TRUE"},
                      {"DBInsert(5)", "flag TRUE"},
                      {"DBCreateTable(\"save\", TRUE)", "flag TRUE"},
                      {"DBRecordCount()", "int 1"},
                      {"DBCreateTable(\"game\", FALSE)", "flag TRUE"},
                      {"DBRecordCount()", "int 0"},
                      {"DBRecordCount(\"save\")", "int 1"},
                      {"DBRecordCount(\"none\")", "int 0"},
                      {"DBGetTable(0, n, p)", "flag TRUE"},
                      {"n", "str save"},
                      {"p", "flag TRUE"},
                      {"DBGetTable(2, n)", "flag FALSE"},
                      {"DBSetActive(\"nothing\")", "flag FALSE"},
                      {"DBSetActive(\"Save\")", "flag TRUE"},
                      // Deleting another table keeps the active one (looked up by name).
                      {"DBCreateTable(\"first\", FALSE)", "flag TRUE"},
                      {"DBSetActive(\"game\")", "flag TRUE"},
                      {"DBDeleteTable(\"save\")", "flag TRUE"},
                      {"DBGetActive()", "str game"},
                      {"DBDeleteTable()", "flag TRUE"},
                      {"DBGetActive()", "str "},
                      {"DBGetTableCount()", "int 1"},
                      {"DBDeleteTable()", "flag FALSE"},
                  });
}

TEST(TableFunctions, WithoutAnActiveTable) {
  ScriptRuntime rt;
  ExpectEvals(rt, {
                      {"DBAddField(\"a\", 1)", "flag FALSE"},
                      {"DBInsert(1)", "flag FALSE"},
                      {"DBSetRecNo(0)", "flag FALSE"},
                      {"DBGetInt(\"a\")", "int 0"},
                      {"DBGetStr(\"a\")", "str "},
                      {"DBSetInt(\"a\", 1)", "flag FALSE"},
                      {"DBFindFirst()", "flag FALSE"},
                      {"DBLocate(\"a\", 1)", "flag FALSE"},
                      {"DBGetRecNo()", "int -1"},
                      {"DBRecordCount()", "int 0"},
                      {"DBClearTable()", "flag FALSE"},
                      {"DBClearRecord()", "flag FALSE"},
                      {"DBDelete()", "flag FALSE"},
                      {"DBCopy(\"x\")", "flag FALSE"},
                      {"DBCopyTable(\"x\")", "flag FALSE"},
                      {"DBLoadTsvFile(\"a.tsv\")", "flag FALSE"},
                      {"DBGetTableCount()", "int 0"},
                  });
}

TEST(TableFunctions, RecordsFieldsAndSearch) {
  ScriptRuntime rt;
  MakePeople(rt);
  TCustomParam& keys = *rt.Declare(kTypeStr, "keys").Value;
  TCustomParam& values = *rt.Declare(kTypeStr, "values").Value;
  rt.Declare(kTypeFlag, "desc");
  keys.SetDims({2});
  keys.SetStrAt(0, "age");
  keys.SetStrAt(1, "ok");
  values.SetDims({2});
  values.SetStrAt(0, "22");
  values.SetStrAt(1, "FALSE");
  ExpectEvals(rt, {
                      {"DBAddField(\"NAME\", 4)", "flag FALSE"},
                      {"DBAddField(\"bad\", 7)", "flag FALSE"},
                      {"DBRecordCount()", "int 3"},
                      {"DBGetRecNo()", "int 2"},
                      {"DBGetStr(\"name\")", "str Cy"},
                      {"DBGetBool(\"ok\")", "flag FALSE"},
                      {"DBFindFirst()", "flag TRUE"},
                      {"DBGetStr(\"name\") ++ DBGetInt(\"age\")", "str Ann31"},
                      {"DBGetFloat(\"score\")", "float 2.5"},
                      {"DBGetInt(\"score\")", "int 2"},
                      {"DBFindPrior()", "flag FALSE"},
                      {"DBFindNext()", "flag TRUE"},
                      {"DBGetInt(\"age\")", "int 22"},
                      {"DBGetStr(\"missing\")", "str "},
                      {"DBSetStr(\"name\", \"Benjamin Long\")", "flag TRUE"},
                      {"DBGetStr(\"name\")", "str Benjamin L"},
                      {"DBSetInt(\"score\", 4)", "flag TRUE"},
                      {"DBSetFloat(\"age\", 22.5)", "flag TRUE"},
                      {"DBGetInt(\"age\")", "int 22"},
                      {"DBSetBool(\"ok\", TRUE)", "flag TRUE"},
                      {"DBSetBool(\"missing\", TRUE)", "flag FALSE"},
                      {"DBFindLast()", "flag TRUE"},
                      {"DBFindNext()", "flag FALSE"},
                      {"DBSetRecNo(3)", "flag FALSE"},
                      {"DBSetRecNo(-1)", "flag TRUE"},
                      {"DBGetStr(\"name\")", "str "},
                      {"DBLocate(\"name\", \"cy\")", "flag FALSE"},
                      {"DBLocate(\"name\", \"cy\", TRUE)", "flag TRUE"},
                      {"DBGetRecNo()", "int 2"},
                      {"DBLocate(\"name\", \"EN\", TRUE, TRUE)", "flag TRUE"},
                      {"DBGetRecNo()", "int 1"},
                      {"DBLocate(keys, values)", "flag FALSE"},
                      {"DBLocate(\"age\", 40)", "flag TRUE"},
                      {"DBGetStr(\"name\")", "str Cy"},
                      {"DBLocate(\"age\", 41)", "flag FALSE"},
                      {"DBGetRecNo()", "int 2"},
                      {"SetArray(desc, 1)", "int 0"},
                      {"desc[0] = TRUE", "none"},
                      {"DBSort(\"score\", desc)", "flag TRUE"},
                      {"DBFindFirst()", "flag TRUE"},
                      {"DBGetStr(\"name\")", "str Benjamin L"},
                      {"DBDelete()", "flag TRUE"},
                      {"DBGetStr(\"name\")", "str Ann"},
                      {"DBClearRecord()", "flag TRUE"},
                      {"DBRecordCount()", "int 0"},
                      {"DBInsert(\"Dee\")", "flag TRUE"},
                      {"DBClearTable()", "flag TRUE"},
                      {"DBGetStr(\"name\")", "str "},
                      {"DBInsert(1)", "flag TRUE"},
                      {"DBRecordCount()", "int 1"},
                  });
}

TEST(TableFunctions, DirectAccessAndCopies) {
  ScriptRuntime rt;
  MakePeople(rt);
  ExpectEvals(rt, {
                      {"DBDirectGetInt(\"people\", \"name\", \"Ben\", FALSE, FALSE, \"age\", -1)",
                       "int 22"},
                      {"DBDirectGetInt(\"people\", \"name\", \"Bob\", FALSE, FALSE, \"age\", -1)",
                       "int -1"},
                      {"DBDirectGetStr(\"PEOPLE\", \"age\", 40, FALSE, FALSE, \"name\", \"?\")",
                       "str Cy"},
                      {"DBDirectGetStr(\"nobody\", \"age\", 40, FALSE, FALSE, \"name\", \"?\")",
                       "str ?"},
                      {"DBDirectGetFloat(\"people\", \"name\", \"a\", TRUE, TRUE, \"score\", 0)",
                       "float 2.5"},
                      {"DBDirectGetBool(\"people\", \"name\", \"Cy\", FALSE, FALSE, \"nope\", TRUE)",
                       "flag TRUE"},
                      {"DBDirectSetInt(\"people\", \"name\", \"Cy\", FALSE, FALSE, \"age\", 41)",
                       "flag TRUE"},
                      {"DBDirectSetStr(\"people\", \"name\", \"Zed\", FALSE, FALSE, \"age\", 1)",
                       "flag FALSE"},
                      {"DBDirectSetBool(\"people\", \"name\", \"Cy\", FALSE, FALSE, \"ok\", TRUE)",
                       "flag TRUE"},
                      {"DBDirectSetFloat(\"people\", \"name\", \"Cy\", FALSE, FALSE, \"x\", 1)",
                       "flag FALSE"},
                      {"DBDirectGetInt(\"people\", \"ok\", TRUE, FALSE, FALSE, \"age\", 0)",
                       "int 31"},
                      // Copy out: the target is made, cleared, and gets the selected records.
                      {"DBCopyTable(\"adults\", \"ok\", TRUE)", "flag TRUE"},
                      {"DBGetActive()", "str people"},
                      {"DBRecordCount(\"adults\")", "int 2"},
                      {"DBCopyTable(\"people\")", "flag FALSE"},
                      {"DBCopyTable(\"all\")", "flag TRUE"},
                      {"DBRecordCount(\"all\")", "int 3"},
                      // Insert: only from a table with the same fields.
                      {"DBInsertTable(\"adults\", \"age\", 41)", "flag TRUE"},
                      {"DBRecordCount()", "int 4"},
                      {"DBGetStr(\"name\")", "str Cy"},
                      {"DBInsertTable(\"all\")", "flag TRUE"},
                      {"DBRecordCount()", "int 7"},
                      {"DBInsertTable(\"people\")", "flag TRUE"},
                      {"DBRecordCount()", "int 14"},
                      {"DBCreateTable(\"other\", FALSE)", "flag TRUE"},
                      {"DBAddField(\"name\", 4, 9)", "flag TRUE"},
                      {"DBInsertTable(\"people\")", "flag FALSE"},
                      {"DBInsertTable(\"missing\")", "flag FALSE"},
                      {"DBSetActive(\"people\")", "flag TRUE"},
                      {"DBSetRecNo(1)", "flag TRUE"},
                      {"DBCopy(\"snapshot\")", "flag TRUE"},
                      {"DBSetActive(\"snapshot\")", "flag TRUE"},
                      {"DBRecordCount()", "int 14"},
                      {"DBGetRecNo()", "int 1"},
                      {"DBGetStr(\"name\")", "str Ben"},
                  });
}

TEST(TableFunctions, LoadTsvFileThroughTheFileManager) {
  test::TempDir dir;
  dir.Write("data/items.tsv", "id int\tname str 8\r\n1\tsword\r\n2\tshield\r\n\r\n3\tpotion\\n!\r\n");
  TempFolder temp(dir.Path());
  PendingDeletes pending;
  TVrFileManager files(temp, pending, {});
  files.SetBaseFolder(dir.Path());
  ScriptRuntime rt;
  rt.host.files = &files;
  ExpectEvals(rt, {
                      {"DBLoadTsvFile(\"data\\\\items.tsv\")", "flag FALSE"},
                      {"DBCreateTable(\"items\", FALSE)", "flag TRUE"},
                      {"DBLoadTsvFile(\"data\\\\missing.tsv\")", "flag FALSE"},
                      {"DBLoadTsvFile(\"DATA\\\\ITEMS.TSV\")", "flag TRUE"},
                      {"DBRecordCount()", "int 3"},
                      {"DBLocate(\"id\", 3)", "flag TRUE"},
                      {"DBGetStr(\"name\")", "str potion\r\n"},
                      {"DBLocate(\"name\", \"shield\")", "flag TRUE"},
                      {"DBGetInt(\"id\")", "int 2"},
                  });
}

TEST(TDBManager, GameAndPersistentSetsAreSavedApart) {
  ScriptRuntime rt;
  MakePeople(rt);
  ExpectEvals(rt, {
                      {"DBCreateTable(\"status\", TRUE)", "flag TRUE"},
                      {"DBAddField(\"cleared\", 3)", "flag TRUE"},
                      {"DBInsert(TRUE)", "flag TRUE"},
                      {"DBCreateTable(\"empty\", FALSE)", "flag TRUE"},
                      {"DBSetActive(\"people\")", "flag TRUE"},
                      {"DBSetRecNo(1)", "flag TRUE"},
                  });
  MemoryStream game, persistent;
  rt.tables.SaveTables(game, false);
  rt.tables.SaveTables(persistent, true);
  // Layout of a set: version 100, the table count, then per table its class code.
  EXPECT_EQ(game.View().substr(0, 9), std::string("\x64\0\0\0\x02\0\0\0\0", 9));
  EXPECT_EQ(persistent.View().substr(0, 9), std::string("\x64\0\0\0\x01\0\0\0\0", 9));

  // A new game drops the game tables only.
  rt.tables.ClearGameTables();
  EXPECT_EQ(rt.tables.Count(), 1);
  EXPECT_EQ(rt.tables.Active, -1);

  game.SetPosition(0);
  rt.tables.LoadTables(game, false);
  EXPECT_EQ(game.Remaining(), 0);
  EXPECT_EQ(rt.tables.Count(), 3);
  ExpectEvals(rt, {
                      {"DBGetActive()", "str people"},
                      {"DBGetRecNo()", "int 1"},
                      {"DBGetStr(\"name\")", "str Ben"},
                      {"DBRecordCount(\"status\")", "int 1"},
                  });

  // Loading the persistent set replaces the persistent tables and leaves the game ones.
  rt.Eval("DBSetActive(\"status\")");
  rt.Eval("DBInsert(FALSE)");
  persistent.SetPosition(0);
  rt.tables.LoadTables(persistent, true);
  EXPECT_EQ(rt.tables.Count(), 3);
  ExpectEvals(rt, {
                      {"DBGetActive()", "str status"},
                      {"DBRecordCount()", "int 1"},
                      {"DBGetBool(\"cleared\")", "flag TRUE"},
                      {"DBRecordCount(\"people\")", "int 3"},
                  });

  // A game set saved with no active table restores none.
  TDBManager other;
  other.CreateTable("t", false);
  other.Active = -1;
  MemoryStream noActive;
  other.SaveTables(noActive, false);
  noActive.SetPosition(0);
  rt.tables.LoadTables(noActive, false);
  EXPECT_EQ(rt.tables.Active, -1);
  EXPECT_EQ(rt.tables.Count(), 2);

  MemoryStream damaged;
  damaged.Assign(std::string("\x64\0\0\0\xff\xff\0\0", 8));
  EXPECT_THROW(rt.tables.LoadTables(damaged, false), Error);
}

}  // namespace
}  // namespace orin
