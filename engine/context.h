// Context: the engine's process-wide settings record, shared by every table
// opened or created through it. The settings are plain 32-bit words
// addressed by byte offset; the engine reads none of them.
#ifndef ENGINE_CONTEXT_H_
#define ENGINE_CONTEXT_H_

#include <cstdint>

#include "engine/file_system.h"

namespace xb {

class Context {
 public:
  static constexpr unsigned kSettingsBytes = 256;

  Context() : fs_(FileSystem::Default()) { Init(); }

  // Restores every setting to 0. The file system stays: it is where the
  // tables are, not a setting.
  void Init();

  // Stores a word at a byte offset (a multiple of 4 below kSettingsBytes);
  // any other offset is ignored.
  void SetSetting(unsigned byteOffset, int32_t value);
  // The word at a byte offset; 0 for an offset SetSetting ignores.
  int32_t Setting(unsigned byteOffset) const;

  // Where tables opened through this context live. Not owned.
  FileSystem* fileSystem() const { return fs_; }
  void setFileSystem(FileSystem* fs) { fs_ = fs; }

 private:
  FileSystem* fs_;
  int32_t settings_[kSettingsBytes / 4];
};

}  // namespace xb

#endif  // ENGINE_CONTEXT_H_
