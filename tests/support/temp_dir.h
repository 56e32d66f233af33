// TempDir: a fresh directory for one test, removed with everything in it
// when the object goes.
#ifndef TESTS_SUPPORT_TEMP_DIR_H_
#define TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path()/name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

#endif  // TESTS_SUPPORT_TEMP_DIR_H_
