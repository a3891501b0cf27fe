// The PostgreSQL driver: statements with parameters, rows read as text and
// converted by column type, transactions, and the catalog lookups for
// procedures, functions and batch updates; as a link of the pool, its
// session settings (time limits), reset and cancelling.
#include "zarel/db/postgres_driver.h"

#include <libpq-fe.h>

#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/db/database_values.h"
#include "zarel/db/sql_text.h"

namespace zarel {

namespace {

// Type identifiers of the built-in types.
namespace oid {
constexpr Oid kBool = 16;
constexpr Oid kBytea = 17;
constexpr Oid kChar = 18;
constexpr Oid kName = 19;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kText = 25;
constexpr Oid kOid = 26;
constexpr Oid kJson = 114;
constexpr Oid kXml = 142;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kMoney = 790;
constexpr Oid kBpchar = 1042;
constexpr Oid kVarchar = 1043;
constexpr Oid kDate = 1082;
constexpr Oid kTime = 1083;
constexpr Oid kTimestamp = 1114;
constexpr Oid kTimestamptz = 1184;
constexpr Oid kTimetz = 1266;
constexpr Oid kNumeric = 1700;
constexpr Oid kJsonb = 3802;
}  // namespace oid

constexpr std::int32_t kLongSize = 2147483647;

struct ColumnType {
  int type;
  std::int32_t size;
};

ColumnType TypeOf(Oid type, int modifier) {
  switch (type) {
    case oid::kBool: return {fieldtype::kBoolean, 2};
    case oid::kBytea: return {fieldtype::kLongVarBinary, kLongSize};
    case oid::kInt2: return {fieldtype::kSmallInt, 2};
    case oid::kInt4: return {fieldtype::kInteger, 4};
    case oid::kInt8:
    case oid::kOid: return {fieldtype::kBigInt, 8};
    case oid::kFloat4: return {fieldtype::kSingle, 4};
    case oid::kFloat8: return {fieldtype::kDouble, 8};
    case oid::kNumeric: return {fieldtype::kNumeric, 19};
    case oid::kMoney: return {fieldtype::kCurrency, 8};
    case oid::kDate: return {fieldtype::kDBDate, 6};
    case oid::kTime:
    case oid::kTimetz: return {fieldtype::kDBTime, 6};
    case oid::kTimestamp:
    case oid::kTimestamptz: return {fieldtype::kDBTimeStamp, 16};
    case oid::kText:
    case oid::kJson:
    case oid::kJsonb:
    case oid::kXml: return {fieldtype::kLongVarWChar, kLongSize};
    case oid::kChar: return {fieldtype::kVarWChar, 1};
    case oid::kName: return {fieldtype::kVarWChar, 63};
    case oid::kBpchar:
    case oid::kVarchar: return {fieldtype::kVarWChar, modifier >= 4 ? modifier - 4 : 255};
    default: return {fieldtype::kVarWChar, 255};
  }
}

template <class Number>
std::optional<Number> ReadNumber(std::string_view text) {
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Money as the server writes it ("$1,234.56", "-$3.00", "($3.00)"): the
// decimal separator is the last "." or "," unless three digits follow it.
std::optional<Currency> ReadMoney(std::string_view text) {
  const bool negative = text.find('-') != std::string_view::npos || text.find('(') != std::string_view::npos;
  std::string digits;
  std::size_t separator = std::string::npos;
  for (char c : text) {
    if (IsAsciiDigit(c)) {
      digits += c;
    } else if (c == '.' || c == ',') {
      separator = digits.size();
    }
  }
  if (digits.empty()) return std::nullopt;
  std::string number = negative ? "-" : "";
  if (separator != std::string::npos && digits.size() - separator != 3) {
    number += digits.substr(0, separator) + "." + digits.substr(separator);
  } else {
    number += digits;
  }
  auto value = DecimalFromText(number);
  if (!value || value->Type() != VarType::kCurrency) return std::nullopt;
  return value->ToCurrency();
}

// Appends the value of one cell, read from the server's text by the type of
// its column.
void AppendValue(RecordTable& rows, Oid type, std::string_view text, const PGresult* result, int row,
                 int column) {
  switch (type) {
    case oid::kBool:
      return rows.AppendBoolean(text == "t");
    case oid::kInt2:
      if (auto n = ReadNumber<std::int16_t>(text)) return rows.AppendInteger(*n);
      break;
    case oid::kInt4:
      if (auto n = ReadNumber<std::int32_t>(text)) return rows.AppendLong(*n);
      break;
    case oid::kInt8:
    case oid::kOid:
      if (auto n = ReadNumber<std::int64_t>(text)) return rows.AppendLongLong(*n);
      break;
    case oid::kFloat4:
      if (auto n = ReadNumber<float>(text)) return rows.AppendSingle(*n);
      break;
    case oid::kFloat8:
      if (auto n = ReadNumber<double>(text)) return rows.AppendDouble(*n);
      break;
    case oid::kNumeric:
      if (auto n = DecimalFromText(text)) return rows.Append(*n);
      break;
    case oid::kMoney:
      if (auto n = ReadMoney(text)) return rows.AppendCurrency(*n);
      break;
    case oid::kDate:
    case oid::kTime:
    case oid::kTimetz:
    case oid::kTimestamp:
    case oid::kTimestamptz:
      if (auto date = ParseIsoDate(text)) return rows.AppendDate(*date);
      break;
    case oid::kBytea: {
      std::size_t length = 0;
      unsigned char* raw = PQunescapeBytea(
          reinterpret_cast<const unsigned char*>(PQgetvalue(result, row, column)), &length);
      if (raw == nullptr) Raise(errc::kOutOfMemory);
      const std::unique_ptr<unsigned char, decltype(&PQfreemem)> held(raw, PQfreemem);
      return rows.AppendBytes(std::string_view(reinterpret_cast<const char*>(raw), length));
    }
    default:
      break;
  }
  // Infinite dates, dates before Christ, types of no kind of their own:
  // the server's text.
  rows.AppendText(text);
}

struct ResultCloser {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultHandle = std::unique_ptr<PGresult, ResultCloser>;

struct ConnectionCloser {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using ConnectionHandle = std::unique_ptr<PGconn, ConnectionCloser>;

std::string TrimmedMessage(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

void IgnoreNotice(void*, const char*) {}

// What the catalog says about one column of a table.
struct ColumnSource {
  std::string table;  // "schema.table"
  std::string column;
  bool not_null = false;
  bool is_key = false;
};

struct CancelCloser {
  void operator()(PGcancel* cancel) const { PQfreeCancel(cancel); }
};
using CancelHandle = std::unique_ptr<PGcancel, CancelCloser>;

// The server's error codes (SQLSTATE) that limits cause.
constexpr std::string_view kQueryCanceled = "57014";
constexpr std::string_view kLockNotAvailable = "55P03";

class PostgresDriver final : public DatabaseDriver {
 public:
  PostgresDriver(ConnectionHandle connection, const LinkLimits& limits)
      : connection_(std::move(connection)), cancel_(PQgetCancel(connection_.get())), limits_(limits) {}

  Backend Kind() const override { return Backend::kPostgreSQL; }

  StatementResult Run(std::string_view sql, const std::vector<Variant>& params, bool with_sources) override {
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    std::vector<int> lengths(params.size(), 0);
    std::vector<int> formats(params.size(), 0);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const Variant& value = params[i];
      if (value.IsNull() || value.IsEmpty()) continue;
      if (value.Type() == VarType::kBytes) {
        const Bytes& bytes = value.AsBytes();
        texts[i].assign(bytes.begin(), bytes.end());
        formats[i] = 1;
      } else if (value.IsObject()) {
        Raise(errc::kTypeMismatch);
      } else {
        texts[i] = ParameterText(value);
      }
      values[i] = texts[i].data();
      lengths[i] = static_cast<int>(texts[i].size());
    }
    const std::string statement(sql);
    ResultHandle result;
    {
      Running running(running_);
      result.reset(PQexecParams(connection_.get(), statement.c_str(), static_cast<int>(params.size()), nullptr,
                                values.data(), lengths.data(), formats.data(), 0));
    }
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) Answered();
    return TakeResult(result.get(), with_sources);
  }

  StatementResult RunScript(std::string_view script, const std::vector<Variant>& params,
                            bool with_sources) override {
    bool numbered = false;
    for (const ParameterMarker& marker : FindMarkers(script, Backend::kPostgreSQL)) {
      if (marker.number > 0) numbered = true;
    }
    if (!numbered) return RunPlainScript(script, with_sources);
    // Each statement gets the arguments it names, as $1, $2 ... in the
    // order of their first use.
    StatementResult last;
    bool have_rows = false;
    for (std::string_view statement : SplitStatements(script, Backend::kPostgreSQL)) {
      std::vector<ParameterMarker> markers;
      for (const ParameterMarker& marker : FindMarkers(statement, Backend::kPostgreSQL)) {
        if (marker.number > 0) markers.push_back(marker);
      }
      std::map<int, int> position_of;
      std::vector<Variant> bound;
      for (const ParameterMarker& marker : markers) {
        if (static_cast<std::size_t>(marker.number) > params.size()) {
          Raise(errc::kDatabaseError, "No value given for parameter ?" + std::to_string(marker.number) + " (" +
                                          std::to_string(params.size()) + " given).");
        }
        if (position_of.emplace(marker.number, static_cast<int>(bound.size()) + 1).second) {
          bound.push_back(params[static_cast<std::size_t>(marker.number) - 1]);
        }
      }
      const std::string rewritten = ReplaceMarkers(statement, markers, [&](const ParameterMarker& marker) {
        return "$" + std::to_string(position_of[marker.number]);
      });
      StatementResult result = Run(rewritten, bound, with_sources);
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
    // The server answers COMMIT of a transaction in which a command failed
    // by rolling it back; that is no success.
    const std::string status = Exec("COMMIT");
    if (status != "COMMIT") {
      Raise(errc::kDatabaseError, "The transaction was rolled back because a command in it failed.");
    }
  }

  void Rollback() override {
    if (!InTransaction()) Raise(errc::kDatabaseError, "No transaction is pending.");
    Exec("ROLLBACK");
  }

  bool InTransaction() const override {
    const PGTransactionStatusType status = PQtransactionStatus(connection_.get());
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
  }

  bool StillValid() override {
    if (reset_sent_ && !FinishReset()) return false;
    return !LinkLost() && PQtransactionStatus(connection_.get()) == PQTRANS_IDLE;
  }

  void Reset() override {
    if (InTransaction()) Exec("ROLLBACK");
    // Back to the session as it was opened: settings (the time limits and
    // date style given at the start stay), temporary tables, prepared
    // statements, cursors, advisory locks, notifications. The answer is
    // read when the link is next taken (StillValid), so the caller does not
    // wait for the server here.
    if (PQsendQuery(connection_.get(), "DISCARD ALL") == 0) FailWith(nullptr);
    reset_sent_ = true;
  }

  bool Interrupt() override {
    if (!running_.load() || cancel_ == nullptr) return false;
    char error[256];
    return PQcancel(cancel_.get(), error, sizeof error) == 1;
  }

  bool LinkLost() const override {
    // Reading what the server may have sent (a notice that it is shutting
    // down, or the end of the stream) updates the connection's state.
    // A read takes what has arrived: a farewell message first, the end of
    // the stream at the next read.
    for (int read = 0; read < 3 && PQstatus(connection_.get()) == CONNECTION_OK &&
                       PQtransactionStatus(connection_.get()) != PQTRANS_ACTIVE;
         ++read) {
      if (PQconsumeInput(connection_.get()) == 0) break;
      PQisBusy(connection_.get());
    }
    return PQstatus(connection_.get()) == CONNECTION_BAD;
  }

  std::string Placeholder(int n) const override { return "$" + std::to_string(n); }

  std::string QuoteTableName(std::string_view base_table) const override {
    const std::size_t dot = base_table.find('.');
    if (dot == std::string_view::npos) return QuoteIdentifier(base_table);
    return QuoteIdentifier(base_table.substr(0, dot)) + "." + QuoteIdentifier(base_table.substr(dot + 1));
  }

  std::optional<std::string> FindProcedureBody(std::string_view name) override {
    // Where XProc is stays known for the link's life (a catalog lookup is
    // the dearest statement of a procedure call); when the table is gone
    // from there, it is looked up again.
    if (procedure_query_) {
      try {
        return BodyOf(name);
      } catch (const RuntimeError&) {
        procedure_query_.reset();
        if (InTransaction()) throw;  // the failure ended the transaction's use
      }
    }
    const StatementResult table = Run(
        "SELECT n.nspname, c.relname,"
        " (SELECT a.attname FROM pg_attribute a WHERE a.attrelid = c.oid AND a.attnum > 0"
        "   AND NOT a.attisdropped AND lower(a.attname) = 'name' LIMIT 1),"
        " (SELECT a.attname FROM pg_attribute a WHERE a.attrelid = c.oid AND a.attnum > 0"
        "   AND NOT a.attisdropped AND lower(a.attname) = 'body' LIMIT 1)"
        " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
        " WHERE lower(c.relname) = 'xproc' AND c.relkind IN ('r', 'v', 'm', 'p', 'f')"
        "   AND pg_table_is_visible(c.oid) LIMIT 1",
        {}, false);
    if (table.data.rows.Rows() == 0) return std::nullopt;
    std::vector<Variant> found;
    for (std::size_t c = 0; c < 4; ++c) found.push_back(table.data.rows.Value(0, c));
    if (found[2].IsNull() || found[3].IsNull()) {
      Raise(errc::kDatabaseError, "The table XProc needs the columns Name and Body.");
    }
    const std::string qualified = QuoteIdentifier(found[0].AsString()) + "." + QuoteIdentifier(found[1].AsString());
    procedure_query_ = "SELECT " + QuoteIdentifier(found[3].AsString()) + " FROM " + qualified + " WHERE lower(" +
                       QuoteIdentifier(found[2].AsString()) + ") = lower($1) LIMIT 1";
    return BodyOf(name);
  }

  std::optional<StatementResult> RunNativeProcedure(std::string_view name, const std::vector<Variant>& args) override {
    const std::optional<std::string> function = FindFunction(name, args.size());
    if (!function) return std::nullopt;
    std::string call = "SELECT * FROM " + *function + "(";
    for (std::size_t i = 0; i < args.size(); ++i) call += (i > 0 ? ", $" : "$") + std::to_string(i + 1);
    call += ")";
    return Run(call, args, false);
  }

  bool HasNativeProcedure(std::string_view name) override { return FindFunction(name, 0).has_value(); }

  // The quoted "schema"."function" that a procedure name calls (any letter
  // case; a schema may be given), preferring one that takes argc
  // arguments; none when there is no such function.
  std::optional<std::string> FindFunction(std::string_view name, std::size_t argc) {
    const std::size_t dot = name.find('.');
    const std::string schema(dot == std::string_view::npos ? std::string_view() : name.substr(0, dot));
    const std::string function(dot == std::string_view::npos ? name : name.substr(dot + 1));
    const StatementResult found = Run(
        "SELECT n.nspname, p.proname FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace"
        " WHERE p.prokind = 'f' AND lower(p.proname) = lower($1)"
        "   AND (CASE WHEN $2 = '' THEN pg_function_is_visible(p.oid) ELSE lower(n.nspname) = lower($2) END)"
        " ORDER BY (p.pronargs = $3::int) DESC LIMIT 1",
        {Variant(function), Variant(schema), Variant(static_cast<std::int32_t>(argc))}, false);
    if (found.data.rows.Rows() == 0) return std::nullopt;
    return QuoteIdentifier(found.data.rows.Value(0, 0).AsString()) + "." +
           QuoteIdentifier(found.data.rows.Value(0, 1).AsString());
  }

  std::vector<std::string> PrimaryKey(std::string_view table) override {
    const std::size_t dot = table.find('.');
    const std::string schema(dot == std::string_view::npos ? std::string_view() : table.substr(0, dot));
    const std::string name(dot == std::string_view::npos ? table : table.substr(dot + 1));
    const StatementResult key = Run(
        "SELECT a.attname FROM pg_index i"
        " JOIN pg_class c ON c.oid = i.indrelid JOIN pg_namespace n ON n.oid = c.relnamespace"
        " CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, ord)"
        " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = k.attnum"
        " WHERE i.indisprimary AND c.relname = $2"
        "   AND (CASE WHEN $1 = '' THEN pg_table_is_visible(c.oid) ELSE n.nspname = $1 END)"
        " ORDER BY k.ord",
        {Variant(schema), Variant(name)}, false);
    std::vector<std::string> columns;
    for (std::size_t row = 0; row < key.data.rows.Rows(); ++row) {
      columns.push_back(key.data.rows.Value(row, 0).AsString());
    }
    return columns;
  }

 private:
  // Marks a statement running while the link waits for the server, so
  // that Interrupt cancels it.
  class Running {
   public:
    explicit Running(std::atomic<bool>& flag) : flag_(flag) { flag_.store(true); }
    ~Running() { flag_.store(false); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    std::atomic<bool>& flag_;
  };

  [[noreturn]] void FailWith(const PGresult* result) const {
    const char* primary = result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (primary != nullptr && state != nullptr) {
      // The limits of the session, worded as on every backend.
      const std::string_view message(primary);
      if (state == kQueryCanceled && message.find("statement timeout") != std::string_view::npos) {
        Raise(errc::kDatabaseError, RanOutOfTimeMessage(limits_.statement_time_limit));
      }
      if (state == kQueryCanceled && message.find("user request") != std::string_view::npos) {
        Raise(errc::kDatabaseError, InterruptedMessage());
      }
      if (state == kLockNotAvailable && message.find("lock timeout") != std::string_view::npos) {
        Raise(errc::kDatabaseError, LockedMessage(limits_.lock_wait));
      }
    }
    if (primary != nullptr) Raise(errc::kDatabaseError, TrimmedMessage(primary));
    Raise(errc::kDatabaseError, TrimmedMessage(PQerrorMessage(connection_.get())));
  }

  std::optional<std::string> BodyOf(std::string_view name) {
    const StatementResult row = Run(*procedure_query_, {Variant(std::string(name))}, false);
    if (row.data.rows.Rows() == 0) return std::nullopt;
    return row.data.rows.Value(0, 0).TextOrEmpty();
  }

  // Reads the answer to the DISCARD ALL that Reset sent; false when it
  // failed (the link is then not reused).
  bool FinishReset() {
    reset_sent_ = false;
    bool done = true;
    while (PGresult* raw = PQgetResult(connection_.get())) {
      ResultHandle result(raw);
      if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) done = false;
    }
    return done;
  }

  // Runs a command without parameters; answers its command status.
  std::string Exec(const char* sql) {
    ResultHandle result;
    {
      Running running(running_);
      result.reset(PQexec(connection_.get(), sql));
    }
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) FailWith(result.get());
    Answered();
    return PQcmdStatus(result.get());
  }

  // Several statements sent at once; the last one with rows answers.
  StatementResult RunPlainScript(std::string_view script, bool with_sources) {
    const std::string text(script);
    Running running(running_);
    if (PQsendQuery(connection_.get(), text.c_str()) == 0) FailWith(nullptr);
    StatementResult last;
    bool have_rows = false;
    std::optional<RuntimeError> failure;
    ResultHandle rows_result;  // kept for describing its columns
    while (PGresult* raw = PQgetResult(connection_.get())) {
      ResultHandle result(raw);
      if (failure) continue;  // drain what is left
      try {
        StatementResult taken = TakeResult(result.get(), false);
        Answered();
        if (taken.has_columns) {
          last = std::move(taken);
          have_rows = true;
          if (with_sources) rows_result = std::move(result);
        } else if (!have_rows) {
          last.rows_affected = taken.rows_affected;
        }
      } catch (const RuntimeError& error) {
        failure = error;
      }
    }
    if (failure) throw *failure;
    if (rows_result != nullptr) DescribeSources(rows_result.get(), last.data);
    return last;
  }

  StatementResult TakeResult(const PGresult* result, bool with_sources) {
    StatementResult taken;
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_EMPTY_QUERY) {
      const char* affected = PQcmdTuples(const_cast<PGresult*>(result));
      taken.rows_affected = affected != nullptr && *affected != '\0' ? std::strtoll(affected, nullptr, 10) : 0;
      return taken;
    }
    if (status != PGRES_TUPLES_OK) FailWith(result);
    taken.has_columns = true;
    const int columns = PQnfields(result);
    const int rows = PQntuples(result);
    TableData& data = taken.data;
    std::vector<Oid> types(static_cast<std::size_t>(columns));
    data.fields.resize(static_cast<std::size_t>(columns));
    data.rows = RecordTable(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      FieldInfo& field = data.fields[static_cast<std::size_t>(c)];
      types[static_cast<std::size_t>(c)] = PQftype(result, c);
      const ColumnType type = TypeOf(PQftype(result, c), PQfmod(result, c));
      field.name = PQfname(result, c);
      field.type = type.type;
      field.defined_size = type.size;
      field.attributes = fieldattr::kMayBeNull | fieldattr::kIsNullable;
    }
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        if (PQgetisnull(result, r, c)) {
          data.rows.AppendNull();
        } else {
          const std::string_view text(PQgetvalue(result, r, c), static_cast<std::size_t>(PQgetlength(result, r, c)));
          AppendValue(data.rows, types[static_cast<std::size_t>(c)], text, result, r, c);
        }
      }
      data.rows.EndRow();
    }
    if (with_sources) DescribeSources(result, data);
    return taken;
  }

  // Fills base_table, base_column and the key and Null flags of the fields
  // that read a table column.
  void DescribeSources(const PGresult* result, TableData& data) {
    std::map<Oid, std::map<int, ColumnSource>> tables;
    for (int c = 0; c < PQnfields(result); ++c) {
      const Oid table = PQftable(result, c);
      const int column = PQftablecol(result, c);
      if (table == InvalidOid || column <= 0) continue;
      auto known = tables.find(table);
      if (known == tables.end()) known = tables.emplace(table, ReadTableColumns(table)).first;
      auto source = known->second.find(column);
      if (source == known->second.end()) continue;
      FieldInfo& field = data.fields[static_cast<std::size_t>(c)];
      field.base_table = source->second.table;
      field.base_column = source->second.column;
      field.is_key = source->second.is_key;
      if (field.is_key) field.attributes |= fieldattr::kKeyColumn;
      if (source->second.not_null) field.attributes &= ~(fieldattr::kMayBeNull | fieldattr::kIsNullable);
    }
  }

  std::map<int, ColumnSource> ReadTableColumns(Oid table) {
    const StatementResult columns = Run(
        "SELECT n.nspname || '.' || c.relname, a.attnum::int, a.attname, a.attnotnull,"
        " COALESCE(a.attnum = ANY(i.indkey::int2[]), false)"
        " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
        " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
        " LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary"
        " WHERE c.oid = $1::oid",
        {Variant(static_cast<std::int64_t>(table))}, false);
    std::map<int, ColumnSource> sources;
    const RecordTable& rows = columns.data.rows;
    for (std::size_t row = 0; row < rows.Rows(); ++row) {
      ColumnSource source;
      source.table = rows.Value(row, 0).AsString();
      source.column = rows.Value(row, 2).AsString();
      source.not_null = rows.Value(row, 3).AsBoolean();
      source.is_key = rows.Value(row, 4).AsBoolean();
      sources.emplace(rows.Value(row, 1).ToLong(), std::move(source));
    }
    return sources;
  }

  ConnectionHandle connection_;
  CancelHandle cancel_;  // a cancel request for this session, from any thread
  LinkLimits limits_;
  std::atomic<bool> running_{false};
  bool reset_sent_ = false;  // DISCARD ALL sent, its answer not yet read
  // The statement that reads a procedure's body from XProc, once found.
  std::optional<std::string> procedure_query_;
};

// The session settings every link starts with, as server options: dates in
// ISO form whatever the server's default, and the time limits. They are the
// session's defaults, so DISCARD ALL keeps them. Options the connection
// string gives come first; these follow and win.
std::string SessionOptions(const std::string& connection_info, const LinkLimits& limits) {
  std::string options;
  char* error = nullptr;
  if (PQconninfoOption* given = PQconninfoParse(connection_info.c_str(), &error)) {
    for (const PQconninfoOption* option = given; option->keyword != nullptr; ++option) {
      if (std::string_view(option->keyword) == "options" && option->val != nullptr) options = option->val;
    }
    PQconninfoFree(given);
  }
  if (error != nullptr) PQfreemem(error);
  if (!options.empty()) options += ' ';
  options += "-c datestyle=ISO,MDY -c statement_timeout=" + std::to_string(limits.statement_time_limit.count()) +
             " -c lock_timeout=" + std::to_string(limits.lock_wait.count());
  return options;
}

}  // namespace

bool IsPostgresKeywordForm(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  const std::string_view key = TrimSpaceOrTab(std::string_view(text.data(), equals));
  if (key.empty()) return false;
  PQconninfoOption* options = PQconndefaults();
  if (options == nullptr) Raise(errc::kOutOfMemory);
  bool known = false;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (key == option->keyword) known = true;
  }
  PQconninfoFree(options);
  return known;
}

std::unique_ptr<DatabaseDriver> OpenPostgresDatabase(const std::string& connection_info, const LinkLimits& limits) {
  // Defaults first: the connection text's own settings override them; the
  // session options last, holding the text's own options too.
  const std::string options = SessionOptions(connection_info, limits);
  const char* const keywords[] = {"connect_timeout", "client_encoding", "dbname", "options", nullptr};
  const char* const values[] = {"10", "UTF8", connection_info.c_str(), options.c_str(), nullptr};
  ConnectionHandle connection(PQconnectdbParams(keywords, values, 1));
  if (connection == nullptr) Raise(errc::kOutOfMemory);
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    Raise(errc::kDatabaseError, TrimmedMessage(PQerrorMessage(connection.get())));
  }
  PQsetNoticeProcessor(connection.get(), IgnoreNotice, nullptr);
  return std::make_unique<PostgresDriver>(std::move(connection), limits);
}

}  // namespace zarel
