// Fuzzes the web host's resolution of /site/PATH inside a session's folder.
// Properties: a path either is refused or names a regular file inside the
// folder, never anything outside it, whatever its dots, slashes, encodings
// and control characters.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "apps/serve/serve_security.h"
#include "fuzz/fuzz_support.h"

using namespace zarel;

namespace {

// A folder with a file, a subfolder with a file, and a link leading out;
// beside it a file that must never be reached.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string root = std::filesystem::temp_directory_path() / "zarel-fuzz-XXXXXX";
    if (::mkdtemp(root.data()) == nullptr) std::abort();
    std::filesystem::create_directories(root + "/site/img");
    std::ofstream(root + "/site/oReport.htm") << "page";
    std::ofstream(root + "/site/img/a.gif") << "gif";
    std::ofstream(root + "/secret") << "secret";
    std::filesystem::create_symlink(root + "/secret", root + "/site/out");
    std::filesystem::create_symlink("..", root + "/site/up");
    return root + "/site";
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string relative(reinterpret_cast<const char*>(data), size);
  const std::string& folder = Folder();
  const std::optional<std::string> file = serve::ResolveInside(folder, relative);
  if (!file) return 0;
  const std::string canonical = std::filesystem::canonical(*file).string();
  fuzz::Check(canonical.rfind(folder + "/", 0) == 0, "a resolved path stays inside the folder",
              relative + " -> " + canonical);
  fuzz::Check(std::filesystem::is_regular_file(canonical), "a resolved path is a file",
              relative);
  return 0;
}
