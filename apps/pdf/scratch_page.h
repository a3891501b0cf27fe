// An HTML file the printer needs only for a while (a book's cover, the
// document of pages printed together), written where the printer may read
// it and removed when the object goes.
//
// Not to be shared between threads.
#ifndef ZAREL_APPS_PDF_SCRATCH_PAGE_H_
#define ZAREL_APPS_PDF_SCRATCH_PAGE_H_

#include <filesystem>
#include <string>

namespace zarel::pdf {

class ScratchPage {
 public:
  // Writes `html` to `path`, replacing any file there.
  ScratchPage(std::filesystem::path path, const std::string& html);
  ~ScratchPage();
  ScratchPage(const ScratchPage&) = delete;
  ScratchPage& operator=(const ScratchPage&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Whether the whole text was written.
  bool Written() const { return written_; }

 private:
  std::filesystem::path path_;
  bool written_ = false;
};

}  // namespace zarel::pdf

#endif  // ZAREL_APPS_PDF_SCRATCH_PAGE_H_
