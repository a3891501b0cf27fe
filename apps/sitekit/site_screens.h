// The pieces of a site's page head that the programs creating sites
// (zarel demo, zarel new) share: a style sheet for every class the report
// pages use and the script that works the shape reports' expanders.
//
// The style sheet covers the page header ("pgl", "pgr", "mh"), the path line
// ("pgf"), section headings ("ph"), record forms ("hn", "hv"), grids ("tth",
// "ttd", "ttf"), shape reports ("ths") and bar charts ("cal", "cdv").
//
// The script: every record with child levels has an expander image DTLnnKEY
// (nn: the level its children sit on); each child level sits in a hidden
// row ccROWnnKEY holding a block ccSHPnnKEY (cc: the chapter, 01, 02, ...).
// A click on an expander shows or hides those rows and blocks and swaps
// plus.gif for minus.gif; a click on "Display All" (DISPALL) opens every
// level of the page, and a second click closes them. Expanders without
// child rows are dimmed.
#ifndef ZAREL_APPS_SITEKIT_SITE_SCREENS_H_
#define ZAREL_APPS_SITEKIT_SITE_SCREENS_H_

#include <string_view>

namespace zarel::sitekit {

// The rules, one a line, each ending in a line feed (for a <style> element).
std::string_view PageStyleSheet();

// The script's text, ending in a line feed (for a <script> element).
std::string_view ShapeScript();

}  // namespace zarel::sitekit

#endif  // ZAREL_APPS_SITEKIT_SITE_SCREENS_H_
