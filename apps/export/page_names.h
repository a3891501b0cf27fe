// The names of an export's files: every page is named by a readable slug of
// its tree path ("Shop\Genres\Crime & Mystery" -> "genres.crime-mystery"),
// the same from one export to the next as long as the tree is the same.
//
// A slug holds only lower-case ASCII letters, digits, "-" and "." (one
// between the path's levels), so it is safe as a file name on every system
// and in an address without escaping, and cannot leave the pages' folder.
//
// Threads: PageNames is used by one thread at a time; PathSlug may be
// called from any thread.
#ifndef ZAREL_APPS_EXPORT_PAGE_NAMES_H_
#define ZAREL_APPS_EXPORT_PAGE_NAMES_H_

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace zarel::site_export {

// The longest slug; longer ones end in a hash of the whole path instead.
inline constexpr std::size_t kMaxSlugLength = 120;

// The slug of a tree path (texts joined by "\"), the root's text left out
// except for the root itself. Latin letters with accents lose them
// ("Café" -> "cafe"); other characters and runs of them become one "-".
std::string PathSlug(std::string_view path);

// Gives each path a file name no other path of the export has: its slug,
// followed by "-2", "-3", ... when an earlier path has the same one (two
// nodes with one text, or texts that differ only in case or punctuation).
class PageNames {
 public:
  // "slug.html", unique within this object.
  std::string NameFor(std::string_view path);

 private:
  std::set<std::string> taken_;
};

// The text with &, <, >, " and ' written as character references, for an
// HTML text or quoted attribute.
std::string HtmlEscape(std::string_view text);

}  // namespace zarel::site_export

#endif  // ZAREL_APPS_EXPORT_PAGE_NAMES_H_
