// table_page_benchmark: how long `zarel browse` takes to compose a page with
// one "table" component (totals "all") over a 100,000-row, six-column table,
// against the database's own command-line client writing the same query's
// rows as HTML: `sqlite3 -html` on SQLite and, when a PostgreSQL server is
// given, `psql -H` on PostgreSQL. Then the memory a page of 1,000,000 rows
// adds per row.
//
// Every program runs as a child process writing its output to a file in the
// same folder. The baseline and `zarel browse` run in alternating pairs (the
// baseline first in one pair, second in the next); the program prints the
// medians of their wall and CPU times (user and system), the ratios of the
// medians, and the peak memory of each (the largest of its runs), and says
// whether each goal is met:
//   - wall and CPU time at most 1.0 times the baseline's, on each database;
//   - peak memory of the SQLite page at most 20 MB;
//   - the 1,000,000-row page at most 64 bytes more per row than the
//     100,000-row page (its growth over the 900,000 rows it adds).
// The SQLite and PostgreSQL pages must be the same bytes (the clock is fixed
// for the run); the program fails when they differ.
//
//   table_page_benchmark [ROWS] [PAIRS] [--pg URL] [--no-pg]
//                        [--million-rows N] [--compare PROGRAM]
//
// Defaults: 100,000 rows, 9 pairs, the server of ZAREL_TEST_PG when that is
// set, 1,000,000 rows for the memory growth (0 leaves it out). --compare runs
// a second zarel program (an older build, say) in the same alternation and
// prints its figures beside the first. With ZAREL_BENCH_KEEP=1 in the
// environment the folder with the sites and the outputs is kept (for
// profiling) and its path printed.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kQuery = "SELECT Name, ID, Qty, Price, Amount, Weight FROM Big";
// PostgreSQL folds unquoted names to lower case; the aliases keep the
// column headings of the SQLite page.
constexpr const char* kPostgresQuery =
    "SELECT name AS \"Name\", id AS \"ID\", qty AS \"Qty\", price AS \"Price\","
    " amount AS \"Amount\", weight AS \"Weight\" FROM big";
constexpr const char* kNow = "2026-12-05 14:05:09";

constexpr double kTimeGoal = 1.0;
constexpr double kPeakGoalMB = 20.0;
constexpr double kBytesPerRowGoal = 64.0;

struct ChildRun {
  double wall = 0;
  double cpu = 0;
  long peak_kilobytes = 0;
  int exit_status = 0;
};

// The runs of one program: its medians and its largest peak.
struct Series {
  std::string label;
  std::vector<std::string> arguments;
  std::string output;
  std::vector<ChildRun> runs;

  double MedianWall() const { return Median(&ChildRun::wall); }
  double MedianCpu() const { return Median(&ChildRun::cpu); }
  double PeakMB() const {
    long peak = 0;
    for (const ChildRun& run : runs) peak = std::max(peak, run.peak_kilobytes);
    return peak / 1024.0;
  }

 private:
  double Median(double ChildRun::*member) const {
    std::vector<double> values;
    for (const ChildRun& run : runs) values.push_back(run.*member);
    std::sort(values.begin(), values.end());
    if (values.empty()) return 0;
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  }
};

void Check(int result, sqlite3* database, const char* what) {
  if (result != SQLITE_OK && result != SQLITE_DONE && result != SQLITE_ROW) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(database));
  }
}

void Exec(sqlite3* database, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error != nullptr ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error(message);
  }
}

// The site tables, the same on both databases: one page holding one "table"
// component whose procedure reads the table Big.
std::string SiteTables(const std::string& query) {
  std::string quoted;
  for (char c : query) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return "CREATE TABLE XNav(ID INTEGER, Caption TEXT, Kind TEXT, Parent INTEGER, Proc TEXT,"
         " Param TEXT, Image INTEGER, Roles TEXT);"
         "INSERT INTO XNav VALUES(1, 'Bench', 'fixed', 0, NULL, NULL, 1, NULL);"
         "INSERT INTO XNav VALUES(2, 'Big', 'fixed', 1, NULL, NULL, 1, NULL);"
         "CREATE TABLE XWeb(ID INTEGER, Node INTEGER, Position INTEGER, Caption TEXT, Proc TEXT,"
         " Param TEXT, Type TEXT, Option1 TEXT, Option2 TEXT);"
         "INSERT INTO XWeb VALUES(1, 2, 1, 'Big table', 'BigTable', NULL, 'table', 'all', NULL);"
         "CREATE TABLE XScr(ID INTEGER, Name TEXT, Html TEXT);"
         "INSERT INTO XScr VALUES(1, 'front', '<html><body>Bench</body></html>');"
         "INSERT INTO XScr VALUES(2, 'page', '<html><body><div>');"
         "CREATE TABLE XProc(Name TEXT, Body TEXT);"
         "INSERT INTO XProc VALUES('BigTable', '" + quoted + "');";
}

// The SQLite report database with `rows` rows in Big.
void CreateSqliteSite(const std::string& path, int rows) {
  sqlite3* database = nullptr;
  if (sqlite3_open(path.c_str(), &database) != SQLITE_OK) {
    throw std::runtime_error("cannot create " + path);
  }
  Exec(database, SiteTables(kQuery) +
                     "CREATE TABLE Big(Name TEXT, ID INTEGER, Qty INTEGER, Price REAL,"
                     " Amount REAL, Weight REAL);");
  Exec(database, "BEGIN");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(database, "INSERT INTO Big VALUES(?, ?, ?, ?, ?, ?)", -1, &insert,
                           nullptr),
        database, "prepare");
  for (int row = 0; row < rows; ++row) {
    const std::string name = "Customer " + std::to_string(row % 5000);
    sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 2, row + 1);
    sqlite3_bind_int(insert, 3, (row * 7) % 100);
    sqlite3_bind_double(insert, 4, 0.25 * ((row * 13) % 4000));
    sqlite3_bind_double(insert, 5, 1234.5 + (row % 977) * 3.75);
    if (row % 10 == 0) {
      sqlite3_bind_null(insert, 6);
    } else {
      sqlite3_bind_double(insert, 6, (row % 50) / 8.0);
    }
    Check(sqlite3_step(insert), database, "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec(database, "COMMIT");
  sqlite3_close(database);
}

void PgExec(PGconn* connection, const std::string& sql) {
  PGresult* result = PQexec(connection, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  const std::string message = PQresultErrorMessage(result);
  PQclear(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw std::runtime_error("PostgreSQL: " + message);
  }
}

void IgnoreNotice(void*, const char*) {}

PGconn* PgConnect(const std::string& url) {
  PGconn* connection = PQconnectdb(url.c_str());
  if (PQstatus(connection) != CONNECTION_OK) {
    const std::string message = PQerrorMessage(connection);
    PQfinish(connection);
    throw std::runtime_error("cannot connect to PostgreSQL: " + message);
  }
  PQsetNoticeProcessor(connection, IgnoreNotice, nullptr);
  return connection;
}

// The URL with another database name (the path after the host).
std::string WithDatabase(const std::string& url, const std::string& name) {
  const std::size_t scheme = url.find("://");
  const std::size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  if (scheme == std::string::npos || slash == std::string::npos) {
    throw std::runtime_error("--pg takes a postgresql:// URL");
  }
  const std::size_t query = url.find('?', slash);
  return url.substr(0, slash + 1) + name + (query == std::string::npos ? "" : url.substr(query));
}

// A database of its own on the server, with the same site and rows as the
// SQLite one; dropped by DropPostgresSite.
std::string CreatePostgresSite(const std::string& url, const std::string& name, int rows) {
  PGconn* admin = PgConnect(url);
  try {
    PgExec(admin, "DROP DATABASE IF EXISTS " + name);
    PgExec(admin, "CREATE DATABASE " + name);
  } catch (...) {
    PQfinish(admin);
    throw;
  }
  PQfinish(admin);
  const std::string site_url = WithDatabase(url, name);
  PGconn* site = PgConnect(site_url);
  try {
    PgExec(site, SiteTables(kPostgresQuery) +
                     "CREATE TABLE Big(Name TEXT, ID INTEGER, Qty INTEGER,"
                     " Price DOUBLE PRECISION, Amount DOUBLE PRECISION, Weight DOUBLE PRECISION);"
                     "INSERT INTO Big SELECT 'Customer ' || (r % 5000), r + 1, (r * 7) % 100,"
                     " 0.25 * ((r * 13) % 4000), 1234.5 + (r % 977) * 3.75,"
                     " CASE WHEN r % 10 = 0 THEN NULL ELSE (r % 50) / 8.0 END"
                     " FROM generate_series(0, " + std::to_string(rows - 1) + ") AS r"
                     " ORDER BY r;"
                     "ANALYZE Big;");
  } catch (...) {
    PQfinish(site);
    throw;
  }
  PQfinish(site);
  return site_url;
}

void DropPostgresSite(const std::string& url, const std::string& name) {
  try {
    PGconn* admin = PgConnect(url);
    PQclear(PQexec(admin, ("DROP DATABASE IF EXISTS " + name).c_str()));
    PQfinish(admin);
  } catch (const std::exception&) {
  }
}

double Seconds(const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; }

// Runs the program with its standard output going to output_path; measures
// the wall time, the child's CPU time and its peak resident memory.
ChildRun RunChild(const std::vector<std::string>& arguments, const std::string& output_path) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int output = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (output < 0 || dup2(output, STDOUT_FILENO) < 0) _exit(126);
    close(output);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) throw std::runtime_error("wait4 failed");
  const auto end = std::chrono::steady_clock::now();

  ChildRun run;
  run.wall = std::chrono::duration<double>(end - start).count();
  run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.peak_kilobytes = usage.ru_maxrss;
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (run.exit_status != 0) {
    throw std::runtime_error(arguments[0] + " exited with status " +
                             std::to_string(run.exit_status));
  }
  return run;
}

// Runs every series once per pair, the order turning by one each pair, so
// that no program always runs first (or second) after another.
void RunAlternating(std::vector<Series*>& series, int pairs) {
  for (int pair = 0; pair < pairs; ++pair) {
    for (std::size_t turn = 0; turn < series.size(); ++turn) {
      Series& next = *series[(turn + static_cast<std::size_t>(pair)) % series.size()];
      next.runs.push_back(RunChild(next.arguments, next.output));
    }
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* Verdict(bool met) { return met ? "met" : "NOT met"; }

void PrintSeries(const Series& series) {
  std::printf("  %-24s %8.3f s %8.3f s %8.1f MB\n", series.label.c_str(), series.MedianWall(),
              series.MedianCpu(), series.PeakMB());
}

// Prints the figures of one database and answers whether its goals are met.
bool Report(const Series& baseline, const std::vector<const Series*>& pages, bool peak_goal) {
  std::printf("  %-24s %10s %10s %11s\n", "", "wall", "CPU", "peak");
  PrintSeries(baseline);
  for (const Series* page : pages) PrintSeries(*page);
  const Series& page = *pages.front();
  const double wall = page.MedianWall() / baseline.MedianWall();
  const double cpu = page.MedianCpu() / baseline.MedianCpu();
  bool met = wall <= kTimeGoal && cpu <= kTimeGoal;
  std::printf("  ratio wall %.2f, CPU %.2f (goal: at most %.1f) %s\n", wall, cpu, kTimeGoal,
              Verdict(wall <= kTimeGoal && cpu <= kTimeGoal));
  for (std::size_t i = 1; i < pages.size(); ++i) {
    std::printf("  %s: ratio wall %.2f, CPU %.2f\n", pages[i]->label.c_str(),
                pages[i]->MedianWall() / baseline.MedianWall(),
                pages[i]->MedianCpu() / baseline.MedianCpu());
  }
  if (peak_goal) {
    const bool small = page.PeakMB() <= kPeakGoalMB;
    std::printf("  peak memory %.1f MB (goal: at most %.0f MB) %s\n", page.PeakMB(), kPeakGoalMB,
                Verdict(small));
    met = met && small;
  }
  return met;
}

struct Options {
  int rows = 100000;
  int pairs = 9;
  int million_rows = 1000000;
  std::string pg_url;
  std::string compare;
};

Options ReadOptions(int argc, char** argv) {
  Options options;
  if (const char* url = std::getenv("ZAREL_TEST_PG")) options.pg_url = url;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(argument + " needs a value");
      return argv[++i];
    };
    if (argument == "--pg") {
      options.pg_url = value();
    } else if (argument == "--no-pg") {
      options.pg_url.clear();
    } else if (argument == "--million-rows") {
      options.million_rows = std::atoi(value().c_str());
    } else if (argument == "--compare") {
      options.compare = value();
    } else if (positional == 0) {
      options.rows = std::atoi(argument.c_str());
      ++positional;
    } else if (positional == 1) {
      options.pairs = std::atoi(argument.c_str());
      ++positional;
    } else {
      throw std::runtime_error("unexpected argument " + argument);
    }
  }
  if (options.rows <= 0 || options.pairs <= 0 || options.million_rows < 0) {
    throw std::runtime_error(
        "usage: table_page_benchmark [ROWS] [PAIRS] [--pg URL] [--no-pg] [--million-rows N]"
        " [--compare PROGRAM]");
  }
  return options;
}

std::vector<std::string> Browse(const std::string& program, const std::string& connection,
                                const std::string& folder) {
  return {program, "browse", connection, "--folder", folder, "--talking",
          "--now", kNow, "--click", "Bench\\Big"};
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ReadOptions(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "table_page_benchmark: %s\n", error.what());
    return 2;
  }
  std::string folder = (std::filesystem::temp_directory_path() / "zarel-table-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string pg_name = "zarel_table_bench_" + std::to_string(getpid());
  int exit_code = 0;
  try {
    bool all_met = true;
    const std::string database = folder + "/site.db";
    CreateSqliteSite(database, options.rows);
    std::printf("table page benchmark: %d rows x 6 columns, totals \"all\";"
                " medians of %d alternating pairs\n",
                options.rows, options.pairs);

    // Each page is composed in a folder of its own, so the pages can be
    // compared afterwards.
    auto page_series = [&](const std::string& label, const std::string& program,
                           const std::string& connection, const std::string& name) {
      const std::string page_folder = folder + "/" + name;
      std::filesystem::create_directory(page_folder);
      return Series{label, Browse(program, connection, page_folder), page_folder + "/browse.out",
                    {}};
    };

    std::printf("SQLite:\n");
    Series sqlite3_html{"sqlite3 -html", {"sqlite3", "-html", database, kQuery},
                        folder + "/sqlite3.html", {}};
    Series sqlite_page = page_series("zarel browse", ZAREL_PROGRAM, "sqlite:" + database, "sqlite");
    Series sqlite_compare = page_series("compared program", options.compare, "sqlite:" + database,
                                        "sqlite-compare");
    std::vector<Series*> sqlite_runs = {&sqlite3_html, &sqlite_page};
    if (!options.compare.empty()) sqlite_runs.push_back(&sqlite_compare);
    RunAlternating(sqlite_runs, options.pairs);
    const std::string sqlite_report = ReadAll(folder + "/sqlite/oReport.htm");
    if (sqlite_report.empty()) throw std::runtime_error("zarel browse wrote no report page");
    std::vector<const Series*> sqlite_pages = {&sqlite_page};
    if (!options.compare.empty()) sqlite_pages.push_back(&sqlite_compare);
    all_met = Report(sqlite3_html, sqlite_pages, true) && all_met;
    std::printf("  output: sqlite3 %.1f MB, page %.1f MB\n",
                std::filesystem::file_size(sqlite3_html.output) / 1048576.0,
                sqlite_report.size() / 1048576.0);

    if (!options.pg_url.empty()) {
      std::printf("PostgreSQL:\n");
      const std::string pg_site = CreatePostgresSite(options.pg_url, pg_name, options.rows);
      Series psql_html{"psql -H", {"psql", pg_site, "-X", "-q", "-H", "-c", kPostgresQuery},
                       folder + "/psql.html", {}};
      Series pg_page = page_series("zarel browse", ZAREL_PROGRAM, pg_site, "pg");
      Series pg_compare = page_series("compared program", options.compare, pg_site, "pg-compare");
      std::vector<Series*> pg_runs = {&psql_html, &pg_page};
      if (!options.compare.empty()) pg_runs.push_back(&pg_compare);
      RunAlternating(pg_runs, options.pairs);
      std::vector<const Series*> pg_pages = {&pg_page};
      if (!options.compare.empty()) pg_pages.push_back(&pg_compare);
      all_met = Report(psql_html, pg_pages, false) && all_met;
      const bool same = ReadAll(folder + "/pg/oReport.htm") == sqlite_report;
      std::printf("  the PostgreSQL page is the SQLite page, byte for byte: %s\n",
                  same ? "yes" : "NO");
      if (!same) exit_code = 1;
    } else {
      std::printf("PostgreSQL: left out (no --pg URL and no ZAREL_TEST_PG)\n");
    }

    if (options.million_rows > options.rows) {
      const std::string large = folder + "/large.db";
      CreateSqliteSite(large, options.million_rows);
      Series large_page = page_series("zarel browse", ZAREL_PROGRAM, "sqlite:" + large, "large");
      std::vector<Series*> large_runs = {&large_page};
      RunAlternating(large_runs, 1);
      const double growth = (large_page.PeakMB() - sqlite_page.PeakMB()) * 1048576.0 /
                            (options.million_rows - options.rows);
      const bool bounded = growth <= kBytesPerRowGoal;
      std::printf("%d-row page: peak %.1f MB, %.1f s; memory growth %.1f bytes per row over the"
                  " %d-row page (goal: at most %.0f) %s\n",
                  options.million_rows, large_page.PeakMB(), large_page.MedianWall(), growth,
                  options.rows, kBytesPerRowGoal, Verdict(bounded));
      all_met = all_met && bounded;
      if (!options.compare.empty()) {
        Series large_compare =
            page_series("compared program", options.compare, "sqlite:" + large, "large-compare");
        std::vector<Series*> compare_runs = {&large_compare};
        RunAlternating(compare_runs, 1);
        std::printf("  compared program: peak %.1f MB, %.1f s; growth %.1f bytes per row\n",
                    large_compare.PeakMB(), large_compare.MedianWall(),
                    (large_compare.PeakMB() - sqlite_compare.PeakMB()) * 1048576.0 /
                        (options.million_rows - options.rows));
      }
    }
    std::printf("all goals: %s\n", Verdict(all_met));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "table_page_benchmark: %s\n", error.what());
    exit_code = 1;
  }
  if (!options.pg_url.empty()) DropPostgresSite(options.pg_url, pg_name);
  const char* keep = std::getenv("ZAREL_BENCH_KEEP");
  if (keep != nullptr && std::string(keep) == "1") {
    std::printf("kept: %s\n", folder.c_str());
  } else {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  return exit_code;
}
