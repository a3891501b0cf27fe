// Page composition: ComposePage writes the report page oReport.htm of one
// navigation node (the page prefix with its placeholders filled, one block
// per component row of the node in position order, the optional path line
// and the closing tags), shows it in the browser and logs the view.
#include "zarel/engine/page_composition.h"

#include <array>
#include <chrono>
#include <exception>
#include <utility>

#include "zarel/base/clock.h"
#include "zarel/base/format.h"
#include "zarel/engine/clsdb_impl.h"
#include "zarel/engine/engine_text.h"
#include "zarel/engine/site_columns.h"

namespace zarel {

using namespace engine_text;

namespace {

// One renderer call with everything a dispatch entry needs.
struct Invocation {
  RenderContext& context;
  TextFile& report;
  std::shared_ptr<Recordset>& recordset;
  const ComponentRow& row;
  const ComponentRenderers& renderers;

  // An option as the renderers take it: trimmed, Null as a non-breaking
  // space.
  std::string Option(const Variant& option) const { return context.FormatValue(option, " "); }

  void TableGraph(bool row_graphs, bool total_graphs) const {
    renderers.table_graph(context, report, recordset, row.caption, row.number,
                          Option(row.first_option), Option(row.second_option), row_graphs,
                          total_graphs);
  }
};

using Dispatch = void (*)(const Invocation&);

struct ComponentType {
  std::string_view keyword;
  Dispatch render;  // nullptr: the query ran, nothing is written
};

constexpr std::array<ComponentType, 11> kComponentTypes{{
    {"header",
     [](const Invocation& call) {
       call.renderers.record_form(call.context, call.report, call.recordset, call.row.caption,
                                  call.row.number, true);
     }},
    {"htmlinject",
     [](const Invocation& call) {
       call.renderers.record_form(call.context, call.report, call.recordset, call.row.caption,
                                  call.row.number, false);
     }},
    {"image",
     [](const Invocation& call) {
       call.renderers.image_record(call.context, call.report, call.recordset, call.row.caption,
                                   call.row.number);
     }},
    {"thumbnail",
     [](const Invocation& call) {
       call.renderers.thumbnail_gallery(call.context, call.report, call.recordset,
                                        call.row.caption, call.row.number,
                                        call.row.first_option.TextOrEmpty());
     }},
    {"table",
     [](const Invocation& call) {
       call.renderers.totals_grid(call.context, call.report, call.recordset, call.row.caption,
                                  call.row.number, call.Option(call.row.first_option));
     }},
    {"tablegraphh", [](const Invocation& call) { call.TableGraph(true, false); }},
    {"tablegraphv", [](const Invocation& call) { call.TableGraph(false, true); }},
    {"tablegraph", [](const Invocation& call) { call.TableGraph(true, true); }},
    {"barchart",
     [](const Invocation& call) {
       call.renderers.bar_chart(call.context, call.report, call.recordset, call.row.caption,
                                call.row.number, call.Option(call.row.first_option));
     }},
    {"shape",
     [](const Invocation& call) {
       call.renderers.shape_report(call.context, call.report, call.recordset, call.row.caption,
                                   call.row.number);
     }},
    {"execute", nullptr},
}};

constexpr const char* kReadFailure = "Error Reading Data From Database";

// A component row as the diagnostics see it. It must not fail where the
// page itself does not (or not yet): a column that is missing or does not
// convert is left empty.
ComponentRun DescribeRun(const Array2D& rows, std::size_t row, std::int32_t node_id,
                         const std::string& query) {
  ComponentRun run;
  run.node_id = node_id;
  run.query = query;
  try {
    run.caption = rows.At(web_column::kCaption, row).TextOrEmpty();
    run.number = rows.At(web_column::kComponent, row).ToLong();
    run.type = LowerAscii(TrimBlanks(rows.At(web_column::kType, row).TextOrEmpty()));
  } catch (...) {
    // Reported by the page itself, in its own time.
  }
  return run;
}

}  // namespace

int OptionsRead(std::string_view type) {
  if (type == "tablegraphh" || type == "tablegraphv" || type == "tablegraph") return 2;
  if (type == "thumbnail" || type == "table" || type == "barchart") return 1;
  return 0;
}

bool RenderComponent(std::string_view type, RenderContext& context, TextFile& report,
                     std::shared_ptr<Recordset>& recordset, const ComponentRow& row,
                     const ComponentRenderers& renderers) {
  for (const ComponentType& known : kComponentTypes) {
    if (known.keyword != type) continue;
    if (known.render == nullptr) return false;
    known.render(Invocation{context, report, recordset, row, renderers});
    return true;
  }
  return false;
}

void clsDB::Impl::ComposePage(std::int32_t node_id) {
  // The root (ID 1) has no page of its own: the front page stays shown.
  if (node_id < 2) return;
  try {
    // The heading goes into the prefix for good, until the next reload.
    page_prefix_ = ReplaceAll(page_prefix_, "%StoreName%", heading_);
    const std::string date = Format(Variant(Clock::Now()), "dd Mmm yyyy hh:nn:ss AMPM");
    std::string header = ReplaceAll(page_prefix_, "%Date%", date, true);
    const std::string main_heading = SelectedNodeText();
    header = ReplaceAll(header, "%MainHeading%", main_heading, true);

    // The page is written beside the report file and takes its place when
    // Close() completes it. A step below that fails ends the page where it
    // is: what was written so far becomes the report file, as a page
    // written line by line would be (the browser is not pointed at it). A
    // failure of writing itself (a full disk, an I/O error) drops what was
    // written instead, so the report file stays the previous page, whole,
    // and nothing half-written is kept.
    TextFile report(report_file_path_);
    struct KeepWhatWasWritten {
      TextFile& file;
      ~KeepWhatWasWritten() {
        if (std::uncaught_exceptions() == 0 || file.Failed()) return;
        try {
          file.Close();
        } catch (...) {
          // The step's own failure is the one reported.
        }
      }
    } keep_what_was_written{report};
    report.WriteLine(header);
    // A failed write is remembered by the file rather than raised inside a
    // renderer, which would report it as its own failure and let the page
    // go on; the composition ends at once instead, reporting it once.
    const auto stop_if_failed = [&report] {
      if (report.Failed()) report.Close();
    };
    stop_if_failed();
    // (Hosts of this engine run no window message loop, so there are no
    // pending messages to let through here.)

    const std::shared_ptr<const Array2D> rows = web_rows_;
    // Component rows that were never loaded (a first load that found no
    // XWeb rows) end the page here, as reading an array that was never
    // filled does: no closing tags, no navigation, no log line.
    if (rows->IsEmpty()) Raise(errc::kSubscriptOutOfRange);
    const std::size_t row_count = rows->Rows();
    const Variant node(node_id);
    for (std::size_t row = 0; row < row_count; ++row) {
      const Variant& row_node = rows->At(web_column::kNode, row);
      if (row_node.IsNull() || !ValuesEqual(row_node, node)) continue;
      const std::string procedure = rows->At(web_column::kProcedure, row).TextOrEmpty();
      if (procedure.empty()) continue;

      const std::string query =
          "EXEC " + procedure + ApplyQueryParameters(rows->At(web_column::kParameter, row).TextOrEmpty());
      ComponentRun run;
      std::chrono::steady_clock::time_point started;
      if (diagnostics_ != nullptr) {
        run = DescribeRun(*rows, row, node_id, query);
        diagnostics_->ComponentStarting(run);
        started = std::chrono::steady_clock::now();
      }
      if (!FetchRecordset(query, working_recordset_)) ZarelMessage(kReadFailure);

      const std::string type = LowerAscii(TrimBlanks(rows->At(web_column::kType, row).TextOrEmpty()));
      ComponentRow component;
      component.caption = rows->At(web_column::kCaption, row).TextOrEmpty();
      component.number = rows->At(web_column::kComponent, row).ToLong();

      // The options are read by position, and only by the types that take
      // them: a table without those columns fails the page there, as
      // reading a missing column does.
      const int options = OptionsRead(type);
      if (options >= 1) component.first_option = rows->At(web_column::kFirstOption, row);
      if (options >= 2) component.second_option = rows->At(web_column::kSecondOption, row);
      RenderComponent(type, *this, report, working_recordset_, component);
      if (diagnostics_ != nullptr) {
        diagnostics_->ComponentFinished(run, std::chrono::steady_clock::now() - started);
      }
      stop_if_failed();
    }

    if (display_path_) {
      report.WriteLine("<br><br><p class=pgf>Path: " +
                       Require(Require(tree_view_).SelectedItem()).FullPath());
    }
    report.WriteLine("</DIV></BODY></HTML>");
    report.Close();

    Require(browser_).Navigate(report_file_path_);
    RaiseLogIt("View", Require(Require(tree_view_).SelectedItem()).FullPath());
  } catch (...) {
    if (talking_) ZarelMessage(ErrorText("Error: ", CurrentError()));
  }
}

}  // namespace zarel
