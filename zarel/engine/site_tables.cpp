// Site tables: LoadSiteTables reads XNav, XWeb and XScr through the data
// gate into the engine's memory, writes the front page fp.htm and builds the
// page prefix that every report page begins with.
//
// Tables are addressed by column position only (XNav: ID, caption, kind,
// parent, procedure, parameter, image, roles; XWeb: component, node,
// position, caption, procedure, parameter, type, option 1, option 2; XScr:
// the HTML in column 2 of the rows with ID 1 and 2). Each loader catches its
// own failure, reports it as "Error: N, description" when Talking, and
// keeps the fields it had not yet written.
#include <string>

#include "zarel/base/text_file.h"
#include "zarel/engine/clsdb_impl.h"

namespace zarel {

namespace {

// Follows the text of XScr row 2: the page header with the heading, the
// date and the main heading, whose placeholders page composition fills.
constexpr std::string_view kPageTemplate =
    "<table width=100%><tr><td class=pgl>%StoreName%</td><td class=pgr>%Date%</td></table>"
    "<p class=mh>%MainHeading%";

constexpr const char* kReadFailure = "Error Reading Data From Database";

}  // namespace

std::string clsDB::Impl::FolderPath(std::string_view file) const {
  return application_folder_.TextOrEmpty() + std::string(file);
}

void clsDB::Impl::LoadSiteTables() {
  try {
    // Opening a node sets the flag again each time.
    no_children_ = true;
    report_file_path_ = FolderPath("/oReport.htm");
  } catch (...) {
    if (talking_) ZarelMessage(ErrorText("Error: ", CurrentError()));
    return;
  }
  LoadNavTable();
  LoadWebTable();
  LoadScreenTable();
}

void clsDB::Impl::LoadNavTable() {
  try {
    if (!FetchRecordset("SELECT * FROM XNav", working_recordset_)) ZarelMessage(kReadFailure);
    Recordset& rows = Require(working_recordset_);
    rows.Sort(rows.Fields()[0].Name() + " ASC");
    auto loaded = std::make_shared<const Array2D>(rows.GetRows());
    nav_rows_ = std::move(loaded);
    // The lowest ID names the site.
    rows.MoveFirst();
    site_title_ = rows.Fields()[1].Value().TextOrEmpty();
  } catch (...) {
    if (talking_) ZarelMessage(ErrorText("Error: ", CurrentError()));
  }
}

void clsDB::Impl::LoadWebTable() {
  try {
    if (!FetchRecordset("SELECT * FROM XWeb", working_recordset_)) ZarelMessage(kReadFailure);
    Recordset& rows = Require(working_recordset_);
    // By node, then by position on the page.
    rows.Sort(rows.Fields()[1].Name() + " ASC, " + rows.Fields()[2].Name() + " ASC");
    web_rows_ = std::make_shared<const Array2D>(rows.GetRows());
  } catch (...) {
    if (talking_) ZarelMessage(ErrorText("Error: ", CurrentError()));
  }
}

void clsDB::Impl::LoadScreenTable() {
  try {
    if (!FetchRecordset("SELECT * FROM XScr WHERE (ID=1)", working_recordset_)) {
      ZarelMessage(kReadFailure);
    }
    const std::string front_page = Require(working_recordset_).Fields()[2].Value().TextOrEmpty();
    page_prefix_ = front_page;
    TextFile file(FolderPath("/fp.htm"));
    file.WriteLine(front_page);
    file.Close();

    if (!FetchRecordset("SELECT * FROM XScr WHERE (ID=2)", working_recordset_)) {
      ZarelMessage(kReadFailure);
    }
    page_prefix_ = Require(working_recordset_).Fields()[2].Value().TextOrEmpty() +
                   std::string(kPageTemplate);
  } catch (...) {
    if (talking_) ZarelMessage(ErrorText("Error: ", CurrentError()));
  }
}

}  // namespace zarel
