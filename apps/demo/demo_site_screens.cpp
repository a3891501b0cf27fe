// The demo site's two screens (see demo_site.h): the front page and the page
// head of every report page. Both carry the style sheet every site gets
// (apps/sitekit) followed by the demo's own rules; the page head carries the
// shape reports' script.
#include "apps/demo/demo_site.h"

#include <string>

#include "apps/sitekit/site_screens.h"

namespace zarel::demo {

namespace {

// The rules of the demo's own pages, after the style sheet every site
// gets: its borderless layout tables, the welcome banner and the note.
constexpr std::string_view kDemoRules =
    "#TBL001,#TBL019,#TBL027{border:0}\n"
    "#TBL001>tbody>tr>td,#TBL019>tbody>tr>td,#TBL027>tbody>tr>td{border:0;padding:0}\n"
    ".banner{background:linear-gradient(90deg,#17324d,#2c6e9b);color:#fff;padding:16px 22px;"
    "border-radius:6px}\n"
    ".banner h2{margin:0 0 6px;font-size:20px}\n"
    ".banner p{margin:0}\n"
    ".note{background:#fff8e1;border-left:4px solid #f0b429;padding:10px 14px}\n"
    ".note img{vertical-align:-1px}\n";

}  // namespace

const std::string& FrontPage() {
  static const std::string page =
    "<!DOCTYPE html>\n"
    "<html><head><meta charset=\"utf-8\"><title>Brightwater Supplies</title>\n"
    "<style>\n" + std::string(sitekit::PageStyleSheet()) + std::string(kDemoRules) +
    ".front{padding:28px 8px}\n"
    ".front h1{font-size:30px;color:#17324d;margin:0 0 4px}\n"
    ".front .lead{font-size:16px;color:#52606d;margin:0 0 22px}\n"
    ".front table{border-collapse:collapse;width:100%}\n"
    ".front td{border-top:1px solid #d9e2ec;padding:7px 10px;vertical-align:top}\n"
    ".front td:first-child{font-weight:600;color:#17324d;white-space:nowrap;width:28%}\n"
    "</style></head>\n"
    "<body><div class=page><div class=front>\n"
    "<h1>Brightwater Supplies</h1>\n"
    "<p class=lead>Office supplies, furniture and kitchen goods for thirty businesses in five "
    "regions. Choose a page in the tree on the left.</p>\n"
    "<div class=banner><p>This is Zarel's demo site: every page is composed from tables in "
    "the report database when you click its node.</p></div>\n"
    "<p class=ph><img src='circle.gif'>  What you will find</p>\n"
    "<table>\n"
    "<tr><td>Dashboard</td><td>a welcome banner, today's figures and sales by region as bar "
    "charts; each visit is counted</td></tr>\n"
    "<tr><td>Regions</td><td>every region with a bar per row; open a region for its customers, "
    "then a customer for its orders and their lines</td></tr>\n"
    "<tr><td>Products</td><td>the catalogue as a picture gallery; open a product for its "
    "picture card and best customers</td></tr>\n"
    "<tr><td>Staff</td><td>who reports to whom, one level at a time, with the orders each "
    "person took</td></tr>\n"
    "<tr><td>Sales</td><td>monthly revenue by region, the sales team by category, the order "
    "book (click the <img src=plus.gif alt=\"+\"> signs) and the best sellers</td></tr>\n"
    "<tr><td>Margins</td><td>only for user roles 1 and 2</td></tr>\n"
    "</table>\n"
    "</div></div></body></html>";
  return page;
}

const std::string& PageHead() {
  static const std::string head =
      "<!DOCTYPE html>\n"
      "<html><head><meta charset=\"utf-8\"><title>Brightwater Supplies - Reports</title>\n"
      "<style>\n" + std::string(sitekit::PageStyleSheet()) + std::string(kDemoRules) +
      "</style>\n<script>\n" + std::string(sitekit::ShapeScript()) +
      "</script>\n</head><body><div class=page>";
  return head;
}

}  // namespace zarel::demo
