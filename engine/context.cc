#include "engine/context.h"

namespace xb {

namespace {
bool ValidOffset(unsigned byteOffset) {
  return byteOffset % 4 == 0 && byteOffset < Context::kSettingsBytes;
}
}  // namespace

void Context::Init() {
  for (int32_t& s : settings_) s = 0;
}

void Context::SetSetting(unsigned byteOffset, int32_t value) {
  if (ValidOffset(byteOffset)) settings_[byteOffset / 4] = value;
}

int32_t Context::Setting(unsigned byteOffset) const {
  return ValidOffset(byteOffset) ? settings_[byteOffset / 4] : 0;
}

}  // namespace xb
