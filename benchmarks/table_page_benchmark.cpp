// table_page_benchmark: how long `zarel browse` takes to compose a page with
// one "table" component (totals "all") over a 100,000-row, six-column SQLite
// table, against `sqlite3 -html` writing the same query's rows as HTML.
//
// Both programs run as child processes on the same database, each writing
// its output to a file in the same folder; each is run a few times and the
// fastest run counts. The program prints both times, their ratio (the goal
// is at most 1.5) and the peak memory of each child.
//
//   table_page_benchmark [ROWS] [RUNS]     defaults: 100000 rows, 3 runs
//
// With ZAREL_BENCH_KEEP=1 in the environment the folder with the site and
// both outputs is kept (for profiling) and its path printed.
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kQuery = "SELECT Name, ID, Qty, Price, Amount, Weight FROM Big";

struct ChildRun {
  double seconds = 0;
  long peak_kilobytes = 0;
  int exit_status = 0;
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

// The report database: the site tables with one page holding one "table"
// component, its procedure, and the table of rows it shows.
void CreateSite(const std::string& path, int rows) {
  sqlite3* database = nullptr;
  if (sqlite3_open(path.c_str(), &database) != SQLITE_OK) {
    throw std::runtime_error("cannot create " + path);
  }
  Exec(database,
       "CREATE TABLE XNav(ID INTEGER, Caption TEXT, Kind TEXT, Parent INTEGER, Proc TEXT,"
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
       "CREATE TABLE Big(Name TEXT, ID INTEGER, Qty INTEGER, Price REAL, Amount REAL,"
       " Weight REAL);");
  Exec(database, std::string("INSERT INTO XProc VALUES('BigTable', '") + kQuery + "');");
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

// Runs the program with its standard output going to output_path, and
// measures the wall time and the child's peak resident memory.
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
  run.seconds = std::chrono::duration<double>(end - start).count();
  run.peak_kilobytes = usage.ru_maxrss;
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

ChildRun Fastest(const std::vector<std::string>& arguments, const std::string& output_path,
                 int runs) {
  ChildRun best;
  for (int run = 0; run < runs; ++run) {
    ChildRun current = RunChild(arguments, output_path);
    if (current.exit_status != 0) {
      throw std::runtime_error(arguments[0] + " exited with status " +
                               std::to_string(current.exit_status));
    }
    if (run == 0 || current.seconds < best.seconds) best.seconds = current.seconds;
    if (current.peak_kilobytes > best.peak_kilobytes) best.peak_kilobytes = current.peak_kilobytes;
  }
  return best;
}

std::uintmax_t FileSize(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  std::string folder = (std::filesystem::temp_directory_path() / "zarel-table-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  int exit_code = 0;
  try {
    const std::string database = folder + "/site.db";
    std::printf("table page benchmark: %d rows x 6 columns, fastest of %d runs\n", rows, runs);
    CreateSite(database, rows);

    const ChildRun baseline =
        Fastest({"sqlite3", "-html", database, kQuery}, folder + "/sqlite3.html", runs);
    const ChildRun page = Fastest({ZAREL_PROGRAM, "browse", "sqlite:" + database, "--folder",
                                   folder, "--talking", "--click", "Bench\\Big"},
                                  folder + "/browse.out", runs);

    const std::string report = folder + "/oReport.htm";
    if (FileSize(report) == 0) throw std::runtime_error("zarel browse wrote no report page");
    std::printf("sqlite3 -html      %8.3f s  peak %7.1f MB  output %6.1f MB\n", baseline.seconds,
                baseline.peak_kilobytes / 1024.0, FileSize(folder + "/sqlite3.html") / 1048576.0);
    std::printf("zarel browse page  %8.3f s  peak %7.1f MB  output %6.1f MB\n", page.seconds,
                page.peak_kilobytes / 1024.0, FileSize(report) / 1048576.0);
    const double ratio = page.seconds / baseline.seconds;
    std::printf("ratio page / sqlite3 -html: %.2f (goal: at most 1.5) %s\n", ratio,
                ratio <= 1.5 ? "met" : "NOT met");
    std::printf("events of zarel browse: %s\n", (folder + "/browse.out").c_str());
    std::FILE* events = std::fopen((folder + "/browse.out").c_str(), "r");
    if (events != nullptr) {
      char line[512];
      for (int shown = 0; shown < 8 && std::fgets(line, sizeof line, events) != nullptr; ++shown) {
        std::printf("  %s", line);
      }
      std::fclose(events);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "table_page_benchmark: %s\n", error.what());
    exit_code = 1;
  }
  const char* keep = std::getenv("ZAREL_BENCH_KEEP");
  if (keep != nullptr && std::string(keep) == "1") {
    std::printf("kept: %s\n", folder.c_str());
  } else {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  return exit_code;
}
