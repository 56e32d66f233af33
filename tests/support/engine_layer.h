// ScopedFileSystem: puts a file layer under every table the program opens
// through CDatabase (the engine context's file system) for the life of the
// object, and always puts the operating system's back, however the test
// ends. REQUIRES: fs outlives the object and no table opened through it is
// still open when the object goes.
#ifndef TESTS_SUPPORT_ENGINE_LAYER_H_
#define TESTS_SUPPORT_ENGINE_LAYER_H_

#include "db/EngineContext.h"

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(xb::FileSystem* fs) { engineContext.setFileSystem(fs); }
  ~ScopedFileSystem() { engineContext.setFileSystem(xb::FileSystem::Default()); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;
};

#endif  // TESTS_SUPPORT_ENGINE_LAYER_H_
