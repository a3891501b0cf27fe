// The SQLite driver: statements, parameters, rows and their conversion to
// the system's values, transactions and the catalog lookups for procedures
// and batch updates; as a link of the pool, its time limits, lock waits,
// interruption and the check that its file is still the one at its path.
#include "zarel/db/sqlite_driver.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/db/database_values.h"
#include "zarel/db/sqlite_statements.h"

namespace zarel {

namespace {

// How the values of one column are read.
enum class ColumnKind {
  kSmallInt,
  kTinyInt,
  kInteger,
  kBigInt,
  kDouble,
  kNumeric,
  kMoney,
  kDate,
  kBoolean,
  kText,
  kBlob,
  kUndeclared,  // decided by the storage class of the values
};

struct ColumnPlan {
  ColumnKind kind = ColumnKind::kUndeclared;
  int type = fieldtype::kVarWChar;
  std::int32_t size = 0;
};

// Whether the text after a statement holds nothing more to run.
bool OnlyBlanks(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return IsSqlSpace(c); });
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The size in "VARCHAR(40)", or 0.
std::int32_t DeclaredLength(std::string_view declared) {
  const std::size_t open = declared.find('(');
  if (open == std::string_view::npos) return 0;
  std::int32_t length = 0;
  for (std::size_t i = open + 1; i < declared.size() && IsAsciiDigit(declared[i]); ++i) {
    if (length > 100000000) break;
    length = length * 10 + (declared[i] - '0');
  }
  return length;
}

constexpr std::int32_t kLongSize = std::numeric_limits<std::int32_t>::max();

ColumnPlan PlanFromDeclaredType(const char* declared_type) {
  ColumnPlan plan;
  if (declared_type == nullptr) return plan;
  const std::string declared = UpperAscii(declared_type);
  std::string base = declared.substr(0, declared.find('('));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  const auto set = [&plan](ColumnKind kind, int type, std::int32_t size) {
    plan.kind = kind;
    plan.type = type;
    plan.size = size;
  };
  if (Contains(base, "BIGINT")) {
    set(ColumnKind::kBigInt, fieldtype::kBigInt, 8);
  } else if (Contains(base, "SMALLINT")) {
    set(ColumnKind::kSmallInt, fieldtype::kSmallInt, 2);
  } else if (Contains(base, "TINYINT")) {
    set(ColumnKind::kTinyInt, fieldtype::kTinyInt, 1);
  } else if (Contains(base, "INT")) {
    set(ColumnKind::kInteger, fieldtype::kInteger, 4);
  } else if (base == "BOOLEAN" || base == "BOOL" || base == "BIT") {
    set(ColumnKind::kBoolean, fieldtype::kBoolean, 2);
  } else if (Contains(base, "DATETIME") || Contains(base, "TIMESTAMP")) {
    set(ColumnKind::kDate, fieldtype::kDBTimeStamp, 16);
  } else if (base == "DATE") {
    set(ColumnKind::kDate, fieldtype::kDBDate, 6);
  } else if (base == "TIME") {
    set(ColumnKind::kDate, fieldtype::kDBTime, 6);
  } else if (Contains(base, "MONEY") || base == "CURRENCY") {
    set(ColumnKind::kMoney, fieldtype::kCurrency, 8);
  } else if (Contains(base, "NUMERIC") || Contains(base, "DECIMAL")) {
    set(ColumnKind::kNumeric, fieldtype::kNumeric, 19);
  } else if (Contains(base, "REAL") || Contains(base, "DOUB") || Contains(base, "FLOA")) {
    set(ColumnKind::kDouble, fieldtype::kDouble, 8);
  } else if (Contains(base, "TEXT") || Contains(base, "CLOB")) {
    set(ColumnKind::kText, fieldtype::kLongVarWChar, kLongSize);
  } else if (Contains(base, "CHAR")) {
    const std::int32_t length = DeclaredLength(declared);
    set(ColumnKind::kText, fieldtype::kVarWChar, length > 0 ? length : 255);
  } else if (Contains(base, "BLOB") || base == "IMAGE" || Contains(base, "BINARY")) {
    set(ColumnKind::kBlob, fieldtype::kLongVarBinary, kLongSize);
  }
  return plan;
}

// A whole number as the narrowest of Small, Long and LongLong that holds it.
template <class Small>
void AppendFittingInteger(RecordTable& rows, sqlite3_int64 value) {
  if (value >= std::numeric_limits<Small>::min() && value <= std::numeric_limits<Small>::max()) {
    if constexpr (sizeof(Small) == 2) {
      rows.AppendInteger(static_cast<std::int16_t>(value));
    } else {
      rows.AppendLong(static_cast<std::int32_t>(value));
    }
  } else if (value >= std::numeric_limits<std::int32_t>::min() &&
             value <= std::numeric_limits<std::int32_t>::max()) {
    rows.AppendLong(static_cast<std::int32_t>(value));
  } else {
    rows.AppendLongLong(value);
  }
}

std::string_view TextOf(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  const int length = sqlite3_column_bytes(statement, column);
  return text == nullptr ? std::string_view() : std::string_view(text, static_cast<std::size_t>(length));
}

std::string_view BlobOf(sqlite3_stmt* statement, int column) {
  const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
  const int length = sqlite3_column_bytes(statement, column);
  return data == nullptr ? std::string_view() : std::string_view(data, static_cast<std::size_t>(length));
}

// Appends the value of one column of the current row, by the column's plan.
void AppendValue(RecordTable& rows, sqlite3_stmt* statement, int column, ColumnKind kind) {
  const int storage = sqlite3_column_type(statement, column);
  if (storage == SQLITE_NULL) return rows.AppendNull();
  if (storage == SQLITE_BLOB) return rows.AppendBytes(BlobOf(statement, column));
  switch (kind) {
    case ColumnKind::kSmallInt:
    case ColumnKind::kTinyInt:
      if (storage == SQLITE_INTEGER) {
        return AppendFittingInteger<std::int16_t>(rows, sqlite3_column_int64(statement, column));
      }
      break;
    case ColumnKind::kInteger:
      if (storage == SQLITE_INTEGER) {
        return AppendFittingInteger<std::int32_t>(rows, sqlite3_column_int64(statement, column));
      }
      break;
    case ColumnKind::kBigInt:
      if (storage == SQLITE_INTEGER) return rows.AppendLongLong(sqlite3_column_int64(statement, column));
      break;
    case ColumnKind::kDouble:
      if (storage != SQLITE_TEXT) return rows.AppendDouble(sqlite3_column_double(statement, column));
      break;
    case ColumnKind::kNumeric:
      if (storage == SQLITE_INTEGER) {
        const sqlite3_int64 whole = sqlite3_column_int64(statement, column);
        constexpr sqlite3_int64 kLimit = std::numeric_limits<std::int64_t>::max() / Currency::kScale;
        if (whole >= -kLimit && whole <= kLimit) return rows.AppendCurrency(Currency{whole * Currency::kScale});
        return rows.AppendDouble(static_cast<double>(whole));
      }
      if (storage == SQLITE_FLOAT) return rows.Append(DecimalFromDouble(sqlite3_column_double(statement, column)));
      if (auto number = DecimalFromText(TextOf(statement, column))) return rows.Append(*number);
      break;
    case ColumnKind::kMoney:
      if (storage == SQLITE_INTEGER) {
        return rows.AppendCurrency(Currency{sqlite3_column_int64(statement, column) * Currency::kScale});
      }
      if (storage == SQLITE_FLOAT) {
        return rows.AppendCurrency(Currency::FromDouble(sqlite3_column_double(statement, column)));
      }
      if (auto number = DecimalFromText(TextOf(statement, column))) {
        if (number->Type() == VarType::kCurrency) return rows.Append(*number);
      }
      break;
    case ColumnKind::kDate:
      if (storage == SQLITE_TEXT) {
        if (auto date = ReadDateText(TextOf(statement, column))) return rows.AppendDate(*date);
      }
      break;
    case ColumnKind::kBoolean:
      if (storage == SQLITE_INTEGER) return rows.AppendBoolean(sqlite3_column_int64(statement, column) != 0);
      if (storage == SQLITE_TEXT) {
        const std::string text = UpperAscii(TextOf(statement, column));
        if (text == "TRUE") return rows.AppendBoolean(true);
        if (text == "FALSE") return rows.AppendBoolean(false);
      }
      break;
    case ColumnKind::kText:
      if (storage == SQLITE_TEXT) return rows.AppendText(TextOf(statement, column));
      break;
    case ColumnKind::kBlob:
    case ColumnKind::kUndeclared:
      break;
  }
  // A value that does not fit its column's declared type comes as it is
  // stored.
  switch (storage) {
    case SQLITE_INTEGER:
      return rows.AppendLongLong(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
      return rows.AppendDouble(sqlite3_column_double(statement, column));
    default:
      return rows.AppendText(TextOf(statement, column));
  }
}

// Gives a column without a declared type the type of its values: whole
// numbers Long (or BigInt when one does not fit), numbers Double, bytes
// LongVarBinary, anything else text.
void SettleUndeclaredColumn(FieldInfo& field, RecordTable& rows, std::size_t column) {
  bool integers = false, doubles = false, texts = false, bytes = false, wide = false;
  for (std::size_t row = 0; row < rows.Rows(); ++row) {
    const CellView value = rows.Cell(row, column);
    switch (value.type) {
      case VarType::kLongLong:
        integers = true;
        if (value.whole < std::numeric_limits<std::int32_t>::min() ||
            value.whole > std::numeric_limits<std::int32_t>::max()) {
          wide = true;
        }
        break;
      case VarType::kDouble:
        doubles = true;
        break;
      case VarType::kBytes:
        bytes = true;
        break;
      case VarType::kNull:
        break;
      default:
        texts = true;
    }
  }
  if ((integers || doubles) && !texts && !bytes) {
    if (doubles) {
      field.type = fieldtype::kDouble;
      field.defined_size = 8;
      if (integers) {
        rows.ConvertColumn(column, [](const CellView& value) {
          return value.type == VarType::kLongLong ? Variant(static_cast<double>(value.whole)) : value.ToVariant();
        });
      }
    } else if (wide) {
      field.type = fieldtype::kBigInt;
      field.defined_size = 8;
    } else {
      field.type = fieldtype::kInteger;
      field.defined_size = 4;
      rows.ConvertColumn(column, [](const CellView& value) {
        return value.type == VarType::kLongLong ? Variant(static_cast<std::int32_t>(value.whole))
                                                : value.ToVariant();
      });
    }
  } else if (bytes && !integers && !doubles && !texts) {
    field.type = fieldtype::kLongVarBinary;
    field.defined_size = kLongSize;
  } else {
    field.type = fieldtype::kVarWChar;
    field.defined_size = 255;
  }
}

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;

// The file a path names: its device and inode.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino};
}

// Why a statement was stopped.
enum class StopReason { kNone, kTimeLimit, kInterrupted, kLockWait };

using SteadyClock = std::chrono::steady_clock;

// The progress handler runs every this many virtual machine steps.
constexpr int kProgressSteps = 1000;

class SQLiteDriver final : public DatabaseDriver {
 public:
  SQLiteDriver(DatabaseHandle db, std::string path, FileIdentity file, const LinkLimits& limits)
      : db_(std::move(db)),
        kept_(static_cast<std::size_t>(std::max(0, limits.statements_kept))),
        temp_schema_statement_(nullptr),
        path_(std::move(path)),
        file_(file),
        limits_(limits) {
    sqlite3_progress_handler(db_.get(), kProgressSteps, &SQLiteDriver::OnProgress, this);
    sqlite3_busy_handler(db_.get(), &SQLiteDriver::OnBusy, this);
    sqlite3_set_authorizer(db_.get(), &SQLiteDriver::OnAuthorize, this);
    temp_schema_version_ = TempSchemaVersion();
  }

  Backend Kind() const override { return Backend::kSQLite; }

  StatementResult Run(std::string_view sql, const std::vector<Variant>& params, bool with_sources) override {
    return RunScript(sql, params, with_sources);
  }

  StatementResult RunScript(std::string_view script, const std::vector<Variant>& params,
                            bool with_sources) override {
    StatementResult last;
    bool have_rows = false;
    const char* tail = script.data();
    const char* const end = script.data() + script.size();
    while (tail < end) {
      // Each statement, from its preparation on, runs under its own limit.
      Running running(*this);
      // A script of one statement that ran before is run again as it was
      // prepared; it is kept again once it has run to its end (a failure
      // drops it).
      const bool whole_script = tail == script.data();
      StatementHandle statement = whole_script ? kept_.Take(script) : nullptr;
      bool keep = statement != nullptr;
      if (statement) {
        tail = end;
      } else {
        sqlite3_stmt* raw = nullptr;
        const char* next = nullptr;
        const int code = sqlite3_prepare_v2(db_.get(), tail, static_cast<int>(end - tail), &raw, &next);
        statement.reset(raw);
        if (code != SQLITE_OK) Fail();
        tail = next;
        if (statement == nullptr) continue;  // blanks or a comment
        keep = whole_script && kept_.Enabled() && OnlyBlanks(std::string_view(next, static_cast<std::size_t>(end - next)));
      }
      StatementResult result = Execute(statement.get(), params, with_sources);
      if (keep) kept_.Keep(std::string(script), std::move(statement));
      if (result.has_columns) {
        last = std::move(result);
        have_rows = true;
      } else if (!have_rows) {
        last.rows_affected = result.rows_affected;
      }
    }
    return last;
  }

  void Begin() override {
    if (InTransaction()) Raise(errc::kDatabaseError, "A transaction is already pending.");
    Exec("BEGIN");
  }
  void Commit() override {
    if (!InTransaction()) Raise(errc::kDatabaseError, "No transaction is pending.");
    Exec("COMMIT");
  }
  void Rollback() override {
    if (!InTransaction()) Raise(errc::kDatabaseError, "No transaction is pending.");
    Exec("ROLLBACK");
  }
  bool InTransaction() const override { return sqlite3_get_autocommit(db_.get()) == 0; }

  bool StillValid() override {
    // A database renamed over the old one, or the old one removed: this
    // link would go on reading the old file, so it serves no one again.
    const std::optional<FileIdentity> now = IdentityOf(path_);
    return now && *now == file_;
  }

  void Reset() override {
    if (InTransaction()) Exec("ROLLBACK");
    // What a session may leave behind for the next user: an attached
    // database or temporary tables. Such a link is closed, not reused.
    if (sqlite3_db_name(db_.get(), 2) != nullptr) {
      Raise(errc::kDatabaseError, "The session attached another database.");
    }
    if (TempSchemaVersion() != temp_schema_version_) {
      Raise(errc::kDatabaseError, "The session made temporary tables.");
    }
    if (changed_setting_) {
      Raise(errc::kDatabaseError, "The session changed the setting " + *changed_setting_ + ".");
    }
  }

  bool Interrupt() override {
    if (!running_.load()) return false;
    interrupted_.store(true);
    return true;
  }

  std::string Placeholder(int n) const override { return "?" + std::to_string(n); }

  std::optional<std::string> FindProcedureBody(std::string_view name) override {
    // Where the table is there (nearly always), one statement reads the
    // row. Only when that statement cannot be made (no such table, or one
    // without those columns) is the catalog asked first, as below: a
    // missing table then means no body, and any other fault is reported
    // as the lookup by the table's own name reports it. A statement that
    // was stopped (interrupted, out of time, locked out) stays stopped.
    try {
      const StatementResult row = Run("SELECT Body FROM XProc WHERE Name = ?1 COLLATE NOCASE LIMIT 1",
                                      {Variant(std::string(name))}, false);
      if (row.data.rows.Rows() == 0) return std::nullopt;
      return row.data.rows.Value(0, 0).TextOrEmpty();
    } catch (const RuntimeError&) {
      if ((sqlite3_errcode(db_.get()) & 0xff) != SQLITE_ERROR || stop_ != StopReason::kNone) throw;
    }
    const StatementResult table = Run(
        "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name = 'XProc' COLLATE NOCASE",
        {}, false);
    if (table.data.rows.Rows() == 0) return std::nullopt;
    const StatementResult row =
        Run("SELECT Body FROM " + QuoteIdentifier(table.data.rows.Value(0, 0).AsString()) +
                " WHERE Name = ?1 COLLATE NOCASE LIMIT 1",
            {Variant(std::string(name))}, false);
    if (row.data.rows.Rows() == 0) return std::nullopt;
    return row.data.rows.Value(0, 0).TextOrEmpty();
  }

  std::vector<std::string> PrimaryKey(std::string_view table) override {
    const StatementResult key =
        Run("SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk", {Variant(std::string(table))}, false);
    std::vector<std::string> columns;
    for (std::size_t row = 0; row < key.data.rows.Rows(); ++row) {
      columns.push_back(key.data.rows.Value(row, 0).AsString());
    }
    return columns;
  }

 private:
  [[noreturn]] void Fail() const {
    const int code = sqlite3_errcode(db_.get());
    if (code == SQLITE_INTERRUPT || code == SQLITE_BUSY) {
      switch (stop_) {
        case StopReason::kTimeLimit: Raise(errc::kDatabaseError, RanOutOfTimeMessage(limits_.statement_time_limit));
        case StopReason::kInterrupted: Raise(errc::kDatabaseError, InterruptedMessage());
        case StopReason::kLockWait: Raise(errc::kDatabaseError, LockedMessage(limits_.lock_wait));
        case StopReason::kNone: break;
      }
    }
    Raise(errc::kDatabaseError, sqlite3_errmsg(db_.get()));
  }

  // Sets the deadline of one statement and marks it running, for the
  // progress and busy handlers and for Interrupt.
  class Running {
   public:
    explicit Running(SQLiteDriver& driver) : driver_(driver) {
      driver_.stop_ = StopReason::kNone;
      driver_.interrupted_.store(false);
      const auto limit = driver_.limits_.statement_time_limit;
      driver_.deadline_ = limit.count() > 0 ? SteadyClock::now() + limit : SteadyClock::time_point::max();
      driver_.running_.store(true);
    }
    ~Running() {
      driver_.running_.store(false);
      driver_.deadline_ = SteadyClock::time_point::max();
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    SQLiteDriver& driver_;
  };

  // Stops the statement once it is interrupted or past its deadline.
  static int OnProgress(void* context) {
    auto& driver = *static_cast<SQLiteDriver*>(context);
    if (driver.interrupted_.load(std::memory_order_relaxed)) {
      driver.stop_ = StopReason::kInterrupted;
      return 1;
    }
    if (SteadyClock::now() >= driver.deadline_) {
      driver.stop_ = StopReason::kTimeLimit;
      return 1;
    }
    return 0;
  }

  // Sees every statement as it is prepared: a PRAGMA given a value changes
  // the link for whoever takes it next, so it is remembered (reading a
  // PRAGMA changes nothing). Every statement is allowed.
  static int OnAuthorize(void* context, int action, const char* name, const char* value, const char*,
                         const char*) {
    auto* self = static_cast<SQLiteDriver*>(context);
    if (action == SQLITE_PRAGMA && value != nullptr && name != nullptr && !self->changed_setting_) {
      self->changed_setting_ = name;
    }
    return SQLITE_OK;
  }

  // Waits for another connection's lock, in growing steps, until it is
  // released, the lock wait or the statement's deadline is over, or the
  // statement is interrupted (answering 0 gives up with SQLITE_BUSY).
  static int OnBusy(void* context, int count) {
    static constexpr int kSteps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    auto& driver = *static_cast<SQLiteDriver*>(context);
    const SteadyClock::time_point now = SteadyClock::now();
    if (count == 0) driver.busy_since_ = now;
    if (driver.interrupted_.load()) {
      driver.stop_ = StopReason::kInterrupted;
      return 0;
    }
    if (now >= driver.deadline_) {
      driver.stop_ = StopReason::kTimeLimit;
      return 0;
    }
    SteadyClock::time_point until = driver.deadline_;
    if (driver.limits_.lock_wait.count() > 0) {
      const SteadyClock::time_point give_up = driver.busy_since_ + driver.limits_.lock_wait;
      if (now >= give_up) {
        driver.stop_ = StopReason::kLockWait;
        return 0;
      }
      until = std::min(until, give_up);
    }
    const std::chrono::milliseconds step(kSteps[std::min<std::size_t>(count, std::size(kSteps) - 1)]);
    std::this_thread::sleep_for(std::min<SteadyClock::duration>(step, until - now));
    return 1;
  }

  // The version of the link's temporary schema, read by one statement
  // prepared once per link (every return to the pool reads it).
  int TempSchemaVersion() {
    if (!temp_schema_statement_) {
      sqlite3_stmt* raw = nullptr;
      if (sqlite3_prepare_v2(db_.get(), "PRAGMA temp.schema_version", -1, &raw, nullptr) != SQLITE_OK) return -1;
      temp_schema_statement_.reset(raw);
    }
    sqlite3_stmt* statement = temp_schema_statement_.get();
    const int version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_reset(statement);
    return version;
  }

  void Exec(const char* sql) {
    Running running(*this);
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail();
  }

  void Bind(sqlite3_stmt* statement, const std::vector<Variant>& params) {
    const int count = sqlite3_bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
      if (static_cast<std::size_t>(index) > params.size()) {
        const char* name = sqlite3_bind_parameter_name(statement, index);
        Raise(errc::kDatabaseError, "No value given for parameter " +
                                        std::string(name != nullptr ? name : "?" + std::to_string(index)) +
                                        " (" + std::to_string(params.size()) + " given).");
      }
      const Variant& value = params[static_cast<std::size_t>(index) - 1];
      int code = SQLITE_OK;
      switch (value.Type()) {
        case VarType::kEmpty:
        case VarType::kNull:
          code = sqlite3_bind_null(statement, index);
          break;
        case VarType::kBoolean:
          code = sqlite3_bind_int(statement, index, value.AsBoolean() ? 1 : 0);
          break;
        case VarType::kInteger:
        case VarType::kLong:
        case VarType::kLongLong:
          code = sqlite3_bind_int64(statement, index, value.ToLongLong());
          break;
        case VarType::kSingle:
        case VarType::kDouble:
          code = sqlite3_bind_double(statement, index, value.ToDouble());
          break;
        case VarType::kCurrency: {
          const Currency money = value.ToCurrency();
          code = money.scaled % Currency::kScale == 0
                     ? sqlite3_bind_int64(statement, index, money.scaled / Currency::kScale)
                     : sqlite3_bind_double(statement, index, money.ToDouble());
          break;
        }
        case VarType::kBytes: {
          const Bytes& bytes = value.AsBytes();
          code = sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
          break;
        }
        case VarType::kObject:
          Raise(errc::kTypeMismatch);
        default: {
          const std::string text = ParameterText(value);
          code = sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
      }
      if (code != SQLITE_OK) Fail();
    }
  }

  StatementResult Execute(sqlite3_stmt* statement, const std::vector<Variant>& params, bool with_sources) {
    Bind(statement, params);
    StatementResult result;
    // The columns are read after the first step: a kept statement whose
    // tables changed since it was prepared is prepared again by that step,
    // and then describes the columns it has now.
    int code = sqlite3_step(statement);
    if (code != SQLITE_ROW && code != SQLITE_DONE) Fail();
    const int columns = sqlite3_column_count(statement);
    if (columns == 0) {
      while (code == SQLITE_ROW) code = sqlite3_step(statement);
      if (code != SQLITE_DONE) Fail();
      Answered();
      result.rows_affected = sqlite3_changes64(db_.get());
      return result;
    }
    result.has_columns = true;
    std::vector<ColumnPlan> plans(static_cast<std::size_t>(columns));
    TableData& data = result.data;
    data.fields.resize(plans.size());
    data.rows = RecordTable(plans.size());
    for (int c = 0; c < columns; ++c) {
      ColumnPlan& plan = plans[static_cast<std::size_t>(c)];
      plan = PlanFromDeclaredType(sqlite3_column_decltype(statement, c));
      FieldInfo& field = data.fields[static_cast<std::size_t>(c)];
      const char* name = sqlite3_column_name(statement, c);
      field.name = name != nullptr ? name : "";
      field.type = plan.type;
      field.defined_size = plan.size;
      field.attributes = fieldattr::kMayBeNull | fieldattr::kIsNullable;
      if (with_sources) DescribeSource(statement, c, field);
    }
    for (; code == SQLITE_ROW; code = sqlite3_step(statement)) {
      for (int c = 0; c < columns; ++c) AppendValue(data.rows, statement, c, plans[static_cast<std::size_t>(c)].kind);
      data.rows.EndRow();
    }
    if (code != SQLITE_DONE) Fail();
    Answered();
    for (std::size_t c = 0; c < plans.size(); ++c) {
      if (plans[c].kind == ColumnKind::kUndeclared) SettleUndeclaredColumn(data.fields[c], data.rows, c);
    }
    return result;
  }

  // The table and column a result column reads, with its key and Null flags.
  void DescribeSource(sqlite3_stmt* statement, int column, FieldInfo& field) {
    const char* table = sqlite3_column_table_name(statement, column);
    const char* origin = sqlite3_column_origin_name(statement, column);
    const char* database = sqlite3_column_database_name(statement, column);
    if (table == nullptr || origin == nullptr) return;
    field.base_table = table;
    field.base_column = origin;
    int not_null = 0, primary_key = 0, autoincrement = 0;
    if (sqlite3_table_column_metadata(db_.get(), database, table, origin, nullptr, nullptr, &not_null,
                                      &primary_key, &autoincrement) == SQLITE_OK) {
      field.is_key = primary_key != 0;
      if (field.is_key) field.attributes |= fieldattr::kKeyColumn;
      if (not_null != 0) field.attributes &= ~(fieldattr::kMayBeNull | fieldattr::kIsNullable);
    }
  }

  DatabaseHandle db_;
  // Declared after db_, so that its statements are finalized before the
  // database is closed.
  KeptStatements kept_;
  StatementHandle temp_schema_statement_;
  std::string path_;
  FileIdentity file_;
  LinkLimits limits_;
  int temp_schema_version_ = 0;
  // The first PRAGMA that set a value on this link (query_only,
  // foreign_keys, ...): such a link is not given to the next user.
  std::optional<std::string> changed_setting_;
  // The statement running now: its deadline, whether another thread asked
  // to stop it, and why it was stopped.
  std::atomic<bool> running_{false};
  std::atomic<bool> interrupted_{false};
  SteadyClock::time_point deadline_ = SteadyClock::time_point::max();
  SteadyClock::time_point busy_since_;
  StopReason stop_ = StopReason::kNone;
};

}  // namespace

std::unique_ptr<DatabaseDriver> OpenSQLiteDatabase(const std::string& path, const LinkLimits& limits) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
    Raise(errc::kDatabaseError, "The SQLite database file '" + path + "' does not exist.");
  }
  // The file the path names before and after opening: when both are the
  // same, the link has opened that file (and not one renamed over it in
  // between), and StillValid compares the path against it later.
  const std::optional<FileIdentity> before = IdentityOf(path);
  sqlite3* raw = nullptr;
  const int code = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  DatabaseHandle db(raw);
  if (code != SQLITE_OK) {
    Raise(errc::kDatabaseError, "Cannot open the SQLite database '" + path +
                                    "': " + (db != nullptr ? sqlite3_errmsg(db.get()) : sqlite3_errstr(code)));
  }
  sqlite3_extended_result_codes(db.get(), 1);
  // Until the driver installs its own lock handler: wait for a writer's lock
  // as long as a statement would.
  sqlite3_busy_timeout(db.get(), limits.lock_wait.count() > 0
                                     ? static_cast<int>(std::min<long long>(limits.lock_wait.count(), 86400000))
                                     : 86400000);
  // Reading the schema here turns a file that is no database into an error
  // at Open rather than at the first command.
  if (sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const bool locked = (sqlite3_errcode(db.get()) & 0xff) == SQLITE_BUSY;
    Raise(errc::kDatabaseError, "Cannot open the SQLite database '" + path + "': " +
                                    (locked ? LockedMessage(limits.lock_wait) : sqlite3_errmsg(db.get())));
  }
  const std::optional<FileIdentity> after = IdentityOf(path);
  if (!before || !after || !(*before == *after)) {
    Raise(errc::kDatabaseError, "The SQLite database file '" + path + "' was replaced while it was being opened.");
  }
  return std::make_unique<SQLiteDriver>(std::move(db), path, *after, limits);
}

}  // namespace zarel
