// The table functions: scripts' only way to the tables of the table manager. Most work on the
// active table and answer FALSE (0, -1, empty) without one; none raises an error of its own.
//
// Key lists (DBLocate, the direct accessors, DBCopyTable, DBInsertTable) are a variable of
// field names and a variable of values, read element by element; a single name or value may be
// given as a scalar.
//
// Choices where the names alone tell the behaviour:
//   DBAddField(name, type [, length])   a string field is 80 bytes long without a length.
//   DBRecordCount([table]), DBGetRecNo([table]), DBClearRecord([table]) and
//   DBDeleteTable([table])              act on the named table, else on the active one;
//                                       DBClearRecord removes the records, keeping the fields.
//   DBClearTable()                      removes the active table's fields and records.
//   DBCopy(table)                       makes the named table a complete copy of the active one.
//   DBCopyTable(table, ...), DBCopy     create a missing target as a game table; the active
//                                       table itself is refused.
//   DBGetTable(index, nameVar [, persistentVar])  writes the name (and whether the table is
//                                       persistent) of table index; FALSE outside the list.
#include "core/error.h"
#include "params/db_manager.h"
#include "params/function_call.h"
#include "params/param_host.h"
#include "params/script_text.h"
#include "params/system_functions.h"
#include "resources/file_manager.h"

namespace orin {

namespace {

constexpr int32_t kDefaultTextLength = 80;

const TCustomParam* OptionalArg(const FunctionCall& call, size_t i) {
  return call.Has(i) ? &call.Arg(i) : nullptr;
}

// The named table (argument i) when given, else the active table.
TDBTable* TableArg(FunctionCall& call, TDBManager& tables, size_t i) {
  return call.Has(i) ? tables.Find(call.Str(i)) : tables.ActiveTable();
}

// The target of a copy out of the active table: the named table, made when missing; null for
// the active table itself.
TDBTable* CopyTarget(TDBManager& tables, const std::string& name) {
  TDBTable* active = tables.ActiveTable();
  if (!active || name.empty()) return nullptr;
  TDBTable* target = tables.Find(name);
  if (target == active) return nullptr;
  if (!target) {
    const int32_t keep = tables.Active;
    tables.CreateTable(name, false);
    tables.Active = keep;
    target = tables.Find(name);
  }
  return target;
}

bool LoadTsvFile(FunctionCall& call, TDBTable& table) {
  TVrFileManager* files = call.Host.Desktop.FileManager();
  const std::string name = call.Str(0);
  if (!files || name.empty()) return false;
  MemoryStream content;
  try {
    files->LoadToStream(content, name);
  } catch (const Error&) {
    return false;
  }
  table.LoadTsv(SplitLines(content.View()));
  return true;
}

// DBDirectGet... / DBDirectSet...: (table, key names, key values, ignoreCase, partial, field,
// default or value).
void Direct(FunctionCall& call, TDBManager& tables) {
  TDBTable* table = nullptr;
  const int record = tables.DirectRecord(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3),
                                         call.Flag(4), &table);
  const int field = table ? table->Fields.IndexOf(call.Str(5)) : -1;
  const TCustomParam& value = call.Arg(6);
  bool done = false;
  switch (call.Code) {
    case 108: {  // DBDirectGetInt
      int32_t v = 0;
      call.ResultInt(table && table->GetInt(record, field, v) ? v : value.GetAsInt());
      return;
    }
    case 109:
      done = table && table->SetInt(record, field, value.GetAsInt());
      break;
    case 110: {  // DBDirectGetFloat
      long double v = 0;
      call.ResultFloat(table && table->GetFloat(record, field, v) ? v : value.GetAsFloat());
      return;
    }
    case 111:
      done = table && table->SetFloat(record, field, value.GetAsFloat());
      break;
    case 112: {  // DBDirectGetBool
      bool v = false;
      call.ResultFlag(table && table->GetFlag(record, field, v) ? v : value.GetAsFlag());
      return;
    }
    case 113:
      done = table && table->SetFlag(record, field, value.GetAsFlag());
      break;
    case 114: {  // DBDirectGetStr
      std::string v;
      call.ResultStr(table && table->GetStr(record, field, v) ? v : value.GetAsStr());
      return;
    }
    default:  // 115, DBDirectSetStr
      done = table && table->SetStr(record, field, value.GetAsStr());
      break;
  }
  call.ResultFlag(done);
}

}  // namespace

bool CallTableFunction(FunctionCall& call) {
  const int code = call.Code;
  if (!((code >= 87 && code <= 124) || code == 143 || code == 144)) return false;
  TDBManager& tables = call.Functions.Tables();
  TDBTable* active = tables.ActiveTable();

  switch (code) {
    case 87:  // DBCreateTable
      call.ResultFlag(tables.CreateTable(call.Str(0), call.Flag(1)));
      return true;
    case 88:  // DBSetActive
      call.ResultFlag(tables.SetActive(call.Str(0)));
      return true;
    case 101: {  // DBRecordCount
      TDBTable* t = TableArg(call, tables, 0);
      call.ResultInt(t ? t->RecordCount() : 0);
      return true;
    }
    case 107:  // DBLoadTsvFile
      call.ResultFlag(active && LoadTsvFile(call, *active));
      return true;
    case 108:
    case 109:
    case 110:
    case 111:
    case 112:
    case 113:
    case 114:
    case 115:
      Direct(call, tables);
      return true;
    case 116: {  // DBCopyTable
      TDBTable* target = CopyTarget(tables, call.Str(0));
      if (target) {
        std::vector<int> records;
        tables.ActiveTable()->Find(records, OptionalArg(call, 1), OptionalArg(call, 2),
                                   call.Flag(3, false), call.Flag(4, false));
        target->CopyFrom(*tables.ActiveTable(), records);
      }
      call.ResultFlag(target != nullptr);
      return true;
    }
    case 117: {  // DBDeleteTable
      TDBTable* t = TableArg(call, tables, 0);
      call.ResultFlag(t && tables.DeleteTable(std::string(t->Name)));
      return true;
    }
    case 118: {  // DBInsertTable
      TDBTable* source = tables.Find(call.Str(0));
      const bool ok = active && source && source->Fields == active->Fields;
      if (ok) {
        std::vector<int> records;
        source->Find(records, OptionalArg(call, 1), OptionalArg(call, 2), call.Flag(3, false),
                     call.Flag(4, false));
        for (int r : records) active->AppendRecord(source->RecordAt(r));
      }
      call.ResultFlag(ok);
      return true;
    }
    case 119: {  // DBCopy
      TDBTable* target = CopyTarget(tables, call.Str(0));
      if (target) {
        TDBTable& source = *tables.ActiveTable();
        std::vector<int> all;
        source.Find(all, nullptr, nullptr, false, false);
        target->CopyFrom(source, all);
        target->RecNo = source.RecNo;
      }
      call.ResultFlag(target != nullptr);
      return true;
    }
    case 122:  // DBGetActive
      call.ResultStr(active ? active->Name : std::string());
      return true;
    case 123: {  // DBGetRecNo
      TDBTable* t = TableArg(call, tables, 0);
      call.ResultInt(t ? t->RecNo : -1);
      return true;
    }
    case 124: {  // DBClearRecord
      TDBTable* t = TableArg(call, tables, 0);
      if (t) t->ClearRecords();
      call.ResultFlag(t != nullptr);
      return true;
    }
    case 143:  // DBGetTableCount
      call.ResultInt(tables.Count());
      return true;
    case 144: {  // DBGetTable
      const int32_t index = call.Int(0);
      const bool ok = index >= 0 && index < tables.Count();
      if (ok) {
        const TDBTable& t = tables[index];
        if (TCustomParam* v = call.Writable(1)) v->SetAsStr(t.Name);
        if (TCustomParam* v = call.Writable(2)) v->SetAsFlag(t.Kind != 0);
      }
      call.ResultFlag(ok);
      return true;
    }
    default:
      break;
  }

  // The rest needs the active table.
  // The rest needs the active table; without one the result keeps its fresh value.
  if (!active) return true;
  switch (code) {
    case 89: {  // DBAddField
      const int32_t type = call.Int(1);
      call.ResultFlag(type >= kTypeInt && type <= kTypeStr &&
                      active->AddField(call.Str(0), static_cast<uint8_t>(type),
                                       call.Int(2, kDefaultTextLength)) >= 0);
      break;
    }
    case 90:  // DBSetRecNo
      call.ResultFlag(active->SetRecNo(call.Int(0)));
      break;
    case 91:  // DBInsert
      active->Append();
      for (size_t i = 0; i < call.Count() && static_cast<int>(i) < active->Fields.Count(); ++i)
        active->SetValue(active->RecNo, static_cast<int>(i), call.Arg(i));
      call.ResultFlag(true);
      break;
    case 92:  // DBDelete
      call.ResultFlag(active->Delete());
      break;
    case 93: {  // DBGetInt
      int32_t v = 0;
      active->GetIntByName(call.Str(0), v);
      call.ResultInt(v);
      break;
    }
    case 94:
      call.ResultFlag(active->SetIntByName(call.Str(0), call.Int(1)));
      break;
    case 95: {  // DBGetFloat
      long double v = 0;
      active->GetFloatByName(call.Str(0), v);
      call.ResultFloat(v);
      break;
    }
    case 96:
      call.ResultFlag(active->SetFloatByName(call.Str(0), call.Float(1)));
      break;
    case 97: {  // DBGetBool
      bool v = false;
      active->GetFlagByName(call.Str(0), v);
      call.ResultFlag(v);
      break;
    }
    case 98:
      call.ResultFlag(active->SetFlagByName(call.Str(0), call.Flag(1)));
      break;
    case 99: {  // DBGetStr
      std::string v;
      active->GetStrByName(call.Str(0), v);
      call.ResultStr(v);
      break;
    }
    case 100:
      call.ResultFlag(active->SetStrByName(call.Str(0), call.Str(1)));
      break;
    case 102:
      call.ResultFlag(active->First());
      break;
    case 103:
      call.ResultFlag(active->Last());
      break;
    case 104:
      call.ResultFlag(active->Next());
      break;
    case 105:
      call.ResultFlag(active->Prior());
      break;
    case 106: {  // DBLocate
      std::vector<int> matches;
      active->Find(matches, &call.Arg(0), &call.Arg(1), call.Flag(2, false), call.Flag(3, false));
      if (!matches.empty()) active->RecNo = matches.front();
      call.ResultFlag(!matches.empty());
      break;
    }
    case 120:  // DBClearTable
      active->ClearAll();
      call.ResultFlag(true);
      break;
    case 121:  // DBSort
      active->Sort(&call.Arg(0), &call.Arg(1));
      call.ResultFlag(true);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace orin
