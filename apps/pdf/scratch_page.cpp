// Writing and removing a page the printer needs only for a while.
#include "apps/pdf/scratch_page.h"

#include <fstream>
#include <utility>

namespace zarel::pdf {

ScratchPage::ScratchPage(std::filesystem::path path, const std::string& html) : path_(std::move(path)) {
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out << html;
  out.close();
  written_ = static_cast<bool>(out);
}

ScratchPage::~ScratchPage() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace zarel::pdf
