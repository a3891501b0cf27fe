// read_recordset_benchmark: DAL::ReadRecordset of a 100,000-row, six-column
// SQLite table (integer, double, numeric, date, short text, long text)
// against a bare loop over the SQLite C API that reads the same values into
// rows of its own in the same run.
//
// Each measurement runs in a child process of its own, so that its peak
// memory is its own. The two run in alternating pairs (the bare loop first
// in one pair, second in the next); the program prints the medians of their
// wall and CPU times, the ratios of the medians and the peak memory of each
// (the largest of its runs), and whether the goals are met: at most 1.1
// times the bare loop's time, wall and CPU, and no more peak memory than
// the bare loop's.
//
//   read_recordset_benchmark [ROWS] [PAIRS]     defaults: 100000 rows, 9 pairs
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "zarel/data/dal.h"
#include "zarel/db/recordset.h"

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr const char* kQuery = "SELECT ID, Weight, Price, Shipped, Name, Notes FROM Orders";

void Exec(sqlite3* database, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error != nullptr ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error(message);
  }
}

void CreateTable(const std::string& path, int rows) {
  sqlite3* database = nullptr;
  if (sqlite3_open(path.c_str(), &database) != SQLITE_OK) throw std::runtime_error("cannot create " + path);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(database, sqlite3_close);
  Exec(database,
       "CREATE TABLE Orders(ID INTEGER PRIMARY KEY, Weight DOUBLE, Price NUMERIC(10,2),"
       " Shipped DATE, Name VARCHAR(40), Notes TEXT)");
  Exec(database, "BEGIN");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(database, "INSERT INTO Orders VALUES(?,?,?,?,?,?)", -1, &insert, nullptr);
  const std::string notes(200, 'n');
  for (int row = 1; row <= rows; ++row) {
    char date[16];
    std::snprintf(date, sizeof date, "2026-%02d-%02d", row % 12 + 1, row % 28 + 1);
    const std::string name = "Customer " + std::to_string(row % 977);
    sqlite3_bind_int(insert, 1, row);
    sqlite3_bind_double(insert, 2, row * 0.37);
    sqlite3_bind_double(insert, 3, (row % 10000) / 100.0);
    sqlite3_bind_text(insert, 4, date, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 5, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 6, notes.c_str(), -1, SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(database));
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec(database, "COMMIT");
}

// The baseline: the same query stepped through the C API, every value kept
// in a row of plain members, as a program without a recordset would.
struct BareRow {
  std::int64_t id;
  double weight;
  double price;
  std::string shipped;
  std::string name;
  std::string notes;
};

std::size_t ReadBare(const std::string& path) {
  sqlite3* database = nullptr;
  if (sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    throw std::runtime_error("cannot open " + path);
  }
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(database, sqlite3_close);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(database, kQuery, -1, &statement, nullptr);
  std::vector<BareRow> rows;
  auto text = [statement](int column) {
    const unsigned char* value = sqlite3_column_text(statement, column);
    return value == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(value));
  };
  while (sqlite3_step(statement) == SQLITE_ROW) {
    rows.push_back(BareRow{sqlite3_column_int64(statement, 0), sqlite3_column_double(statement, 1),
                           sqlite3_column_double(statement, 2), text(3), text(4), text(5)});
  }
  sqlite3_finalize(statement);
  return rows.size();
}

std::size_t ReadThroughDal(const std::string& path) {
  zarel::DAL dal;
  dal.ConnectionString("sqlite:" + path);
  std::shared_ptr<zarel::Recordset> recordset;
  if (!dal.ReadRecordset(kQuery, recordset)) throw std::runtime_error("ReadRecordset failed");
  return static_cast<std::size_t>(recordset->RecordCount());
}

struct Measurement {
  double seconds = 0;
  double cpu_seconds = 0;
  long peak_kilobytes = 0;
  std::size_t rows = 0;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

// Runs reader in a child process and answers its time, row count and peak
// memory.
Measurement MeasureInChild(std::size_t (*reader)(const std::string&), const std::string& path) {
  int channel[2];
  if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    close(channel[0]);
    Measurement result;
    try {
      const auto start = SteadyClock::now();
      const double cpu_start = CpuSeconds();
      result.rows = reader(path);
      result.cpu_seconds = CpuSeconds() - cpu_start;
      result.seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "read_recordset_benchmark: %s\n", error.what());
      _exit(1);
    }
    const ssize_t written = write(channel[1], &result, sizeof result);
    _exit(written == static_cast<ssize_t>(sizeof result) ? 0 : 1);
  }
  close(channel[1]);
  Measurement result;
  const ssize_t got = read(channel[0], &result, sizeof result);
  close(channel[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (got != static_cast<ssize_t>(sizeof result) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("a measurement failed");
  }
  result.peak_kilobytes = usage.ru_maxrss;
  return result;
}

// The medians of a series of measurements and its largest peak.
struct Summary {
  double seconds = 0;
  double cpu_seconds = 0;
  long peak_kilobytes = 0;
  std::size_t rows = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Summary Summarize(const std::vector<Measurement>& runs) {
  Summary summary;
  std::vector<double> wall, cpu;
  for (const Measurement& run : runs) {
    wall.push_back(run.seconds);
    cpu.push_back(run.cpu_seconds);
    summary.peak_kilobytes = std::max(summary.peak_kilobytes, run.peak_kilobytes);
    summary.rows = run.rows;
  }
  summary.seconds = Median(wall);
  summary.cpu_seconds = Median(cpu);
  return summary;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int pairs = argc > 2 ? std::atoi(argv[2]) : 9;
  if (rows <= 0 || pairs <= 0) {
    std::fprintf(stderr, "usage: read_recordset_benchmark [ROWS] [PAIRS]\n");
    return 2;
  }
  const fs::path folder = fs::temp_directory_path() / ("zarel-read-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string path = (folder / "orders.db").string();
  int status = 0;
  try {
    CreateTable(path, rows);
    std::vector<Measurement> bare_runs, dal_runs;
    for (int pair = 0; pair < pairs; ++pair) {
      if (pair % 2 == 0) bare_runs.push_back(MeasureInChild(ReadBare, path));
      dal_runs.push_back(MeasureInChild(ReadThroughDal, path));
      if (pair % 2 == 1) bare_runs.push_back(MeasureInChild(ReadBare, path));
    }
    const Summary bare = Summarize(bare_runs);
    const Summary dal = Summarize(dal_runs);
    if (bare.rows != static_cast<std::size_t>(rows) || dal.rows != static_cast<std::size_t>(rows)) {
      throw std::runtime_error("row counts differ");
    }
    std::printf("rows: %d, six columns, medians of %d alternating pairs\n", rows, pairs);
    std::printf("                      wall         CPU         peak\n");
    std::printf("bare SQLite loop:  %8.1f ms  %8.1f ms  %7.1f MB\n", bare.seconds * 1000,
                bare.cpu_seconds * 1000, bare.peak_kilobytes / 1024.0);
    std::printf("DAL ReadRecordset: %8.1f ms  %8.1f ms  %7.1f MB\n", dal.seconds * 1000,
                dal.cpu_seconds * 1000, dal.peak_kilobytes / 1024.0);
    const double wall = dal.seconds / bare.seconds;
    const double cpu = dal.cpu_seconds / bare.cpu_seconds;
    const bool fast = wall <= 1.1 && cpu <= 1.1;
    const bool small = dal.peak_kilobytes <= bare.peak_kilobytes;
    std::printf("ratio DAL / bare: wall %.2f, CPU %.2f (goal: at most 1.1) %s\n", wall, cpu,
                fast ? "met" : "NOT met");
    std::printf("peak memory DAL / bare: %.2f (goal: at most 1.0) %s\n",
                static_cast<double>(dal.peak_kilobytes) / static_cast<double>(bare.peak_kilobytes),
                small ? "met" : "NOT met");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "read_recordset_benchmark: %s\n", error.what());
    status = 1;
  }
  fs::remove_all(folder);
  return status;
}
