#include "settings/strflag.h"

TStrFlag::TStrFlag(int length) : length_(length) { Clear(); }

void TStrFlag::Clear() { value_.assign(length_ > 0 ? static_cast<size_t>(length_) : 0, '0'); }

void TStrFlag::SetValue(std::string_view value) {
  if (value.empty()) {
    Clear();
    return;
  }
  const size_t len = length_ > 0 ? static_cast<size_t>(length_) : 0;
  value_.assign(value.substr(0, len));
  value_.resize(len, '0');
}

bool TStrFlag::GetFlag(int index) const {
  if (index < 1 || index > length_) return false;
  return value_[static_cast<size_t>(index - 1)] == '1';
}

void TStrFlag::SetFlag(int index, bool value) {
  if (index < 1 || index > length_) return;
  value_[static_cast<size_t>(index - 1)] = value ? '1' : '0';
}
