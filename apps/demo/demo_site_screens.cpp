// The demo site's two screens (see demo_site.h): the front page and the page
// head of every report page, with its style sheet and its script.
//
// The style sheet covers every class the pages use: the page header ("pgl",
// "pgr", "mh"), the path line ("pgf"), section headings ("ph"), record forms
// ("hn", "hv"), grids ("tth", "ttd", "ttf"), shape reports ("ths") and bar
// charts ("cal", "cdv"). Components whose section should look different are
// addressed by their table ids (TBL and the component number).
//
// The script works the shape reports. Every record with child levels has an
// expander image DTLnnKEY (nn: the level its children sit on); each child
// level sits in a hidden row ccROWnnKEY holding a block ccSHPnnKEY (cc: the
// chapter, 01, 02, ...). A click on an expander shows or hides those rows
// and blocks and swaps plus.gif for minus.gif; a click on "Display All"
// (DISPALL) opens every level of the page, and a second click closes them.
// Expanders without child rows are dimmed.
#include "apps/demo/demo_site.h"

namespace zarel::demo {

namespace {

#define DEMO_STYLE_SHEET                                                                        \
  "body{margin:0;background:#e9eef3;color:#1f2933;"                                            \
  "font:14px/1.45 'DejaVu Sans','Segoe UI',Helvetica,Arial,sans-serif}\n"                      \
  "td{font-size:14px}\n"                                                                        \
  "div.page{max-width:1080px;margin:0 auto;padding:10px 28px 32px;background:#fff;"             \
  "min-height:100vh;box-sizing:border-box;box-shadow:0 0 12px rgba(16,42,67,.12)}\n"            \
  "td.pgl,td.pgr{font-size:13px;color:#52606d;padding:4px 0}\n"                                 \
  "td.pgl a{color:#2c6e9b;text-decoration:none}\n"                                              \
  "td.pgr{text-align:right}\n"                                                                  \
  "p.mh{font-size:26px;font-weight:600;color:#17324d;margin:6px 0 12px;padding-bottom:8px;"     \
  "border-bottom:3px solid #2c6e9b}\n"                                                          \
  "p.ph{font-size:17px;font-weight:600;color:#17324d;margin:20px 0 8px}\n"                      \
  "p.ph img{vertical-align:0;margin-right:6px}\n"                                               \
  "p.pgf{margin-top:8px;padding-top:6px;border-top:1px solid #d9e2ec;color:#7b8794;"            \
  "font-size:12px}\n"                                                                           \
  "table[cellspacing='1']{border-collapse:collapse;border:1px solid #bcccdc}\n"                 \
  "table[cellspacing='1']>tbody>tr>td{border:1px solid #d9e2ec;padding:5px 9px}\n"              \
  "td.tth{background:#17324d;color:#fff;font-weight:600;white-space:nowrap}\n"                  \
  "table[cellspacing='1']>tbody>tr:nth-child(odd)>td.ttd{background:#f5f8fb}\n"                \
  "td.ttf{background:#dce6f0;font-weight:700;border-top:2px solid #17324d!important}\n"        \
  "td.hn{background:#f0f4f8;color:#334e68;font-weight:600}\n"                                   \
  "td.hv{color:#102a43}\n"                                                                      \
  "td.hv a{color:#2c6e9b}\n"                                                                    \
  "table[cellspacing='1'] table td{text-align:center}\n"                                      \
  "table[cellspacing='1'] table td.ttd{background:none;padding:1px 0}\n"                         \
  "table[cellspacing='1'] table img{border:1px solid #d9e2ec;border-radius:4px}\n"              \
  "table[cellpadding='4']{border-collapse:collapse;border-color:#bcccdc}\n"                     \
  "table[cellpadding='4']>tbody>tr>td{border:1px solid #d9e2ec}\n"                              \
  "table[cellpadding='4']>tbody>tr[id]>td{padding:0 0 10px;border:0}\n"                         \
  "table[cellpadding='4'] table[cellpadding='4']{margin-top:-1px}\n"                            \
  "td.ths{font-weight:600;color:#102a43;white-space:nowrap}\n"                                  \
  "img[id^='DTL']{cursor:pointer;display:block;margin:auto}\n"                                  \
  "img.none{opacity:.3;cursor:default}\n"                                                       \
  "#DISPALL{cursor:pointer;color:#2c6e9b;font-size:14px;font-weight:normal;"                    \
  "text-decoration:underline;margin:20px 0 8px}\n"                                              \
  "td.cal{font-size:12px;color:#52606d;text-align:center;padding:2px 3px}\n"                    \
  "p.cdv{font-size:11px;color:#334e68;margin:0 0 2px;text-align:center}\n"                      \
  "p.cdv img{display:block}\n"                                                                  \
  "table[id^='CGR']{border-left:1px solid #bcccdc}\n"                                           \
  "table[id^='CGR'] td[rowspan]{padding:0 3px}\n"                                               \
  "table[border='1']:not([cellspacing]){border-collapse:collapse;border:0;margin-top:18px}\n"   \
  "table[border='1']:not([cellspacing])>tbody>tr>td{border:0;padding:0 6px 0 0}\n"             \
  "td.ph{font-size:17px;font-weight:600;color:#17324d}\n"                                       \
  "td[valign='top'][align='right']:not(.cal){vertical-align:bottom;text-align:center}\n"        \
  "#TBL001,#TBL019,#TBL027{border:0}\n"                                                         \
  "#TBL001>tbody>tr>td,#TBL019>tbody>tr>td,#TBL027>tbody>tr>td{border:0;padding:0}\n"           \
  ".banner{background:linear-gradient(90deg,#17324d,#2c6e9b);color:#fff;padding:16px 22px;"    \
  "border-radius:6px}\n"                                                                        \
  ".banner h2{margin:0 0 6px;font-size:20px}\n"                                                 \
  ".banner p{margin:0}\n"                                                                       \
  ".note{background:#fff8e1;border-left:4px solid #f0b429;padding:10px 14px}\n"                 \
  ".note img{vertical-align:-1px}\n"

}  // namespace

const std::string_view kFrontPage =
    "<!DOCTYPE html>\n"
    "<html><head><meta charset=\"utf-8\"><title>Brightwater Supplies</title>\n"
    "<style>\n" DEMO_STYLE_SHEET
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

const std::string_view kPageHead =
    "<!DOCTYPE html>\n"
    "<html><head><meta charset=\"utf-8\"><title>Brightwater Supplies - Reports</title>\n"
    "<style>\n" DEMO_STYLE_SHEET
    "</style>\n"
    "<script>\n"
    "(function () {\n"
    "  // The child rows of an expander: ccROWnnKEY for the DTLnnKEY image.\n"
    "  function childRows(expander) {\n"
    "    var suffix = 'ROW' + expander.id.substring(3), rows = [];\n"
    "    var all = document.querySelectorAll('tr[id]');\n"
    "    for (var i = 0; i < all.length; i++) {\n"
    "      var id = all[i].id;\n"
    "      if (id.length === suffix.length + 2 && id.substring(2) === suffix && /^[0-9][0-9]/.test(id)) {\n"
    "        rows.push(all[i]);\n"
    "      }\n"
    "    }\n"
    "    return rows;\n"
    "  }\n"
    "  function setOpen(expander, open) {\n"
    "    var rows = childRows(expander);\n"
    "    if (rows.length === 0) return;\n"
    "    for (var i = 0; i < rows.length; i++) {\n"
    "      rows[i].style.display = open ? '' : 'none';\n"
    "      var block = document.getElementById(rows[i].id.substring(0, 2) + 'SHP' + rows[i].id.substring(5));\n"
    "      if (block) block.style.display = open ? 'block' : 'none';\n"
    "    }\n"
    "    expander.src = open ? 'minus.gif' : 'plus.gif';\n"
    "    expander.setAttribute('data-open', open ? 'yes' : 'no');\n"
    "  }\n"
    "  function expanders() { return document.querySelectorAll('img[id^=\"DTL\"]'); }\n"
    "  document.addEventListener('click', function (event) {\n"
    "    var target = event.target;\n"
    "    if (target.id && target.id.indexOf('DTL') === 0 && target.tagName === 'IMG') {\n"
    "      setOpen(target, target.getAttribute('data-open') !== 'yes');\n"
    "    } else if (target.id === 'DISPALL') {\n"
    "      var open = target.getAttribute('data-open') !== 'yes', list = expanders();\n"
    "      for (var i = 0; i < list.length; i++) setOpen(list[i], open);\n"
    "      target.setAttribute('data-open', open ? 'yes' : 'no');\n"
    "      target.textContent = open ? 'Close All' : 'Display All';\n"
    "    }\n"
    "  });\n"
    "  document.addEventListener('DOMContentLoaded', function () {\n"
    "    var list = expanders();\n"
    "    for (var i = 0; i < list.length; i++) {\n"
    "      if (childRows(list[i]).length === 0) {\n"
    "        list[i].className = 'none';\n"
    "        list[i].title = 'No details';\n"
    "      } else {\n"
    "        list[i].title = 'Show or hide the details';\n"
    "      }\n"
    "    }\n"
    "  });\n"
    "})();\n"
    "</script>\n"
    "</head><body><div class=page>";

#undef DEMO_STYLE_SHEET

}  // namespace zarel::demo
