// What every layer's tests share: a temporary folder that cleans up after
// itself, reading a file back whole, and the number of the run-time error
// an action raises. Built into the test-only library zarel_testing_files,
// which every test program links.
#ifndef ZAREL_TESTING_FILES_H_
#define ZAREL_TESTING_FILES_H_

#include <functional>
#include <string>

namespace zarel::testing {

// A new folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  // The path of a file or folder inside it.
  std::string PathOf(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole content of a file, as bytes; "" when it cannot be read.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// The number of the RuntimeError that action raises; 0 when it raises none.
int ErrorNumberOf(const std::function<void()>& action);

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_FILES_H_
