#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> serial{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path p = fs::temp_directory_path() /
               ("xbtest-" + std::to_string(stamp) + "-" + std::to_string(serial++));
  fs::create_directories(p);
  path_ = p.string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return (fs::path(path_) / name).string(); }

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
