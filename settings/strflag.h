#pragma once
// A fixed number of on/off options kept as a text of '0' and '1' characters, one per
// option, addressed by a 1-based position. The profile stores this very text in the
// registry, so the object's text and the stored text are the same.
#include <string>
#include <string_view>

class TStrFlag {
 public:
  // Every flag starts as '0'.
  explicit TStrFlag(int length);

  int Length() const { return length_; }

  // The text becomes Length() characters '0' (empty when Length() is 0 or less).
  void Clear();

  // The whole text, always exactly Length() characters.
  std::string GetValue() const { return value_; }
  // A text of exactly Length() characters is taken as it is; a longer one is cut to
  // its first Length() characters; a shorter, non-empty one is padded on the right
  // with '0'; an empty one clears. Characters are not checked: whatever stands at a
  // position stays there (and reads as false unless it is '1').
  void SetValue(std::string_view value);

  // True when the character at index (1-based) is '1'; false for any other character
  // and for an index outside 1..Length().
  bool GetFlag(int index) const;
  // Writes '1' or '0' at index; an index outside 1..Length() is ignored.
  void SetFlag(int index, bool value);

 private:
  std::string value_;
  int length_;
};
