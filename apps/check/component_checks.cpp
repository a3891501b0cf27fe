// The static checks of the XWeb rows: each component's node, type,
// procedure and option texts, read as page composition and the renderers
// read them, and the pictures their pages name (see site_checks.h).
#include <set>

#include "apps/check/check_internals.h"
#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/components/grid_parts.h"
#include "zarel/components/render_context.h"
#include "zarel/components/thumbnail_gallery.h"
#include "zarel/db/shape_command.h"
#include "zarel/engine/page_composition.h"
#include "zarel/engine/query_parameters.h"
#include "zarel/engine/site_columns.h"

namespace zarel::check {

namespace {

constexpr const char* kTypes[] = {"header",      "htmlinject",  "image",      "thumbnail",
                                  "table",       "tablegraphh", "tablegraphv", "tablegraph",
                                  "barchart",    "shape",       "execute"};

// A renderer's context that reads nothing and only keeps the messages, for
// reading a thumbnail specification exactly as the gallery does.
class SpecReader : public RenderContext {
 public:
  bool Talking() const override { return true; }
  void ZarelMessage(const std::string& message) override { messages.push_back(message); }
  std::string SelectedNodeText() const override { return std::string(); }
  std::string FormatValue(const Variant& value, std::string_view type_code) const override {
    return zarel::FormatValue(value, type_code, std::string());
  }
  Variant NullToZero(const Variant& value) const override { return zarel::NullToZero(value); }
  bool FetchRecordset(const std::string&, std::shared_ptr<Recordset>&) override { return false; }
  Variant ApplicationFolder() const override { return Variant(); }
  std::vector<std::string> messages;
};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// An option as the renderers receive it: trimmed, Null as a non-breaking
// space.
std::string OptionText(const Variant& option) { return FormatValue(option, " ", std::string()); }

class ComponentChecker {
 public:
  ComponentChecker(CheckConnection& database, const SiteTable& web, const NavIndex& nav,
                   std::vector<Finding>& findings)
      : database_(database), web_(web), nav_(nav), findings_(findings) {}

  void CheckColumns() {
    if (web_.columns.size() >= web_column::kRead) return;
    Finding finding = RowFinding("columns-missing", "XWeb", "", "");
    finding.problem = "the table has " + std::to_string(web_.columns.size()) +
                      " columns; every component reads 7 by position (component, node, position, "
                      "caption, procedure, parameter, type), so every page fails";
    finding.fix = "add the missing columns after the existing ones, in that order, then the two options";
    findings_.push_back(std::move(finding));
  }

  void CheckRow(std::size_t row) {
    row_ = row;
    const Variant number = web_.At(web_column::kComponent, row);
    const Variant node = web_.At(web_column::kNode, row);
    const std::string caption = web_.At(web_column::kCaption, row).TextOrEmpty();
    where_ = RowFinding("", "XWeb", IdText(number), "node " + IdText(node) + ", " + Quoted(caption));
    type_ = LowerAscii(TrimBlanks(web_.At(web_column::kType, row).TextOrEmpty()));
    const std::string procedure = web_.At(web_column::kProcedure, row).TextOrEmpty();

    try {
      number.ToLong();
    } catch (const RuntimeError&) {
      Add("number-invalid", 0, "component", "the component number is no whole number: the page fails there",
          "give the component a unique whole number (it names the section's elements)");
    }
    if (nav_.nav != nullptr && !nav_.row_of_id.empty()) {
      bool found = false;
      try {
        found = !node.IsNull() && nav_.Row(node.ToLong()).has_value();
      } catch (const RuntimeError&) {
      }
      if (!found) {
        Add("node-missing", 1, "node", "node " + IdText(node) + " is no row of XNav: no page shows this component",
            "write the ID of the XNav row whose page holds it");
      }
    }
    if (procedure.empty()) {
      Add("procedure-empty", 4, "procedure",
          "no procedure: the row is skipped entirely, whatever its type",
          "name the procedure whose records the component shows");
      return;
    }
    bool known = false;
    for (const char* keyword : kTypes) known = known || type_ == keyword;
    if (!known) {
      Add("type-unknown", 6, "type",
          "type " + Quoted(web_.At(web_column::kType, row).TextOrEmpty()) +
              " is no component type: its procedure runs and nothing is written",
          "write one of header, htmlinject, image, thumbnail, table, tablegraphh, tablegraphv, "
          "tablegraph, barchart, shape, execute");
    }
    CheckProcedureCall(database_, where_, procedure, web_.At(web_column::kParameter, row).TextOrEmpty(), findings_);
    const std::string keyword = web_.At(web_column::kParameter, row).TextOrEmpty();
    if (!keyword.empty() && SampleArguments(keyword).empty()) {
      Add("parameter-unknown", 5, "parameter",
          "parameter " + Quoted(keyword) + " is none of text, today, lkey, skey: the procedure is called "
          "without an argument",
          "write one of those keywords, or leave the column empty");
    }
    CheckOptions(procedure, keyword);
    NotePictures(caption);
  }

  std::vector<std::string> Pictures() const {
    return std::vector<std::string>(pictures_.begin(), pictures_.end());
  }

 private:
  void Add(const std::string& check, int column, const std::string& column_name, const std::string& problem,
           const std::string& fix) {
    Finding finding = where_;
    finding.check = check;
    finding.column = column;
    finding.column_name = column_name;
    finding.problem = problem;
    finding.fix = fix;
    findings_.push_back(std::move(finding));
  }

  void CheckOptions(const std::string& procedure, const std::string& keyword) {
    const int options = OptionsRead(type_);
    if (options > 0 && web_.columns.size() < web_column::kRead + static_cast<std::size_t>(options)) {
      Add("option-column-missing", static_cast<int>(web_.columns.size()), "option",
          "a " + type_ + " component reads its option" + (options > 1 ? "s from columns 7 and 8" : " from column 7") +
              ", which the table does not have: its page fails there",
          "add the option columns to XWeb");
      return;
    }
    const Variant first = web_.At(web_column::kFirstOption, row_);
    if (type_ == "table" || type_.rfind("tablegraph", 0) == 0) CheckTotals(first);
    if (type_ == "tablegraphh" || type_ == "tablegraph") {
      if (web_.At(web_column::kSecondOption, row_).IsNull()) {
        Add("option-missing", 8, "graph field",
            "no graph field: the grid is drawn without its row bars",
            "name the field whose values the bars show");
      }
    }
    if (type_ == "barchart") CheckChartColumns(first);
    if (type_ == "thumbnail") CheckSpecification(first.TextOrEmpty());
    if (type_ == "shape") CheckShape(procedure, keyword);
  }

  void CheckTotals(const Variant& option) {
    try {
      TotalsList list(OptionText(option), 64);
      list.EntriesOf(0);
    } catch (const RuntimeError&) {
      Add("option-invalid", 7, "totals",
          "totals list " + Quoted(option.TextOrEmpty()) + " is not 'all' nor field ordinals separated by "
          "':': the grid fails at its first row",
          "write the 0-based ordinals of the fields to total, such as 2:3, or all");
    }
  }

  void CheckChartColumns(const Variant& option) {
    if (option.IsNull()) {
      Add("option-missing", 7, "columns", "no chart column list: the chart fails",
          "write the 0-based ordinal of the column to chart, several joined by ':', or all");
      return;
    }
    const std::string list = OptionText(option);
    std::size_t start = 0;
    while (true) {
      const std::size_t colon = list.find(':', start);
      const std::string entry = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
      bool good = LowerAscii(TrimBlanks(entry)) == "all";
      if (!good) {
        try {
          Variant(entry).ToInteger();
          good = true;
        } catch (const RuntimeError&) {
        }
      }
      if (!good) {
        Add("option-invalid", 7, "columns",
            "chart column " + Quoted(entry) + " in " + Quoted(list) + " is no field ordinal: that chart fails",
            "write 0-based ordinals joined by ':' (1:3), or all");
        return;
      }
      if (colon == std::string::npos) return;
      start = colon + 1;
    }
  }

  void CheckSpecification(const std::string& specification) {
    SpecReader reader;
    std::string missing_tags;
    for (const char* tag : {"<imagefieldno>", "<height>", "<width>", "<columns>", "<textposition>", "<fieldname>"}) {
      const std::size_t before = reader.messages.size();
      ReadSpecTag(reader, specification, tag);
      if (reader.messages.size() != before) missing_tags += std::string(missing_tags.empty() ? "" : ", ") + tag;
    }
    if (!missing_tags.empty()) {
      Add("option-invalid", 7, "specification",
          "the thumbnail specification has no closing tag for " + missing_tags +
              ": \"Error is Specification XML String\" on every view",
          "close each tag: <columns>4</columns>");
    }
    try {
      ReadSpecTag(reader, specification, "<imagefieldno>").ToInteger();
    } catch (const RuntimeError&) {
      Add("option-missing", 7, "specification",
          "the thumbnail specification gives no <imagefieldno> number: the gallery fails",
          "name the field that holds each card's image: <imagefieldno>1</imagefieldno>");
    }
  }

  void CheckShape(const std::string& procedure, const std::string& keyword) {
    long rows = 0;
    const std::optional<std::string> command =
        database_.FirstValue("EXEC " + procedure + SampleArguments(keyword), &rows);
    if (!command) return;  // the procedure needs real arguments: the crawl shows it
    if (rows > 1) {
      Add("shape-command", 4, "procedure",
          "the procedure returns " + std::to_string(rows) + " rows; a shape component wants the command "
          "as one row (\"Improper Shape SQL\")",
          "return the shape command as the first field of a single row");
      return;
    }
    if (!IsShapeCommand(*command)) return;
    try {
      ParseShapeCommand(*command);
    } catch (const RuntimeError& error) {
      Add("shape-command", 4, "procedure",
          "the shape command it returns does not parse: " + error.Description(),
          "mend the command: SHAPE {parent} APPEND ({child} RELATE parent_col TO child_col)");
    }
  }

  void NotePictures(const std::string& caption) {
    if (type_ == "execute") return;
    if (!caption.empty() || type_ == "barchart") pictures_.insert("circle.gif");
    if (type_.rfind("tablegraph", 0) == 0 || type_ == "barchart") {
      pictures_.insert("cbg.gif");
      pictures_.insert("cbr.gif");
    }
    if (type_ == "shape") pictures_.insert("plus.gif");
  }

  CheckConnection& database_;
  const SiteTable& web_;
  const NavIndex& nav_;
  std::vector<Finding>& findings_;
  std::size_t row_ = 0;
  Finding where_;
  std::string type_;
  std::set<std::string> pictures_;
};

}  // namespace

void CheckComponents(CheckConnection& database, const SiteTable& web, const NavIndex& nav,
                     std::vector<Finding>& findings, std::vector<std::string>& pictures_needed) {
  ComponentChecker checker(database, web, nav, findings);
  checker.CheckColumns();
  if (web.columns.size() < web_column::kRead) return;
  for (std::size_t row = 0; row < web.RowCount(); ++row) checker.CheckRow(row);
  pictures_needed = checker.Pictures();
}

}  // namespace zarel::check
