#pragma once
// A list of strings with the operations the settings, profiles and views rely on:
// comma text, multi-line text, case-insensitive search and a sorted unique mode.
#include <string>
#include <string_view>
#include <vector>

namespace tk {

// Comma text: items separated by commas; an item that holds a blank, a comma, a
// double quote or a control character (or a single empty item) is written in double
// quotes with inner quotes doubled. Reading skips blanks (chars <= ' ') between
// items, takes a quoted item up to its closing quote ("" inside is one quote), and
// ends an unquoted item at a comma, a blank or a control character, so an unquoted
// blank also separates items. An empty text reads as no items.
std::string ToCommaText(const std::vector<std::string>& items);
std::vector<std::string> FromCommaText(std::string_view text);

// Splits text into lines at CR, LF or CR LF. A final line break ends the last line
// without opening an empty one; an empty text gives no lines.
std::vector<std::string> SplitLines(std::string_view text);
// Each line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

class TStringList {
 public:
  TStringList() = default;
  explicit TStringList(std::vector<std::string> items);

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  std::string& operator[](int index) { return items_.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Items() const { return items_; }

  // Appends (or, when Sorted, inserts at its sorted place) and returns the index.
  // A sorted list ignores a string already in it (without regard to case) and
  // returns the index of the one there.
  int Add(const std::string& s);
  void AddStrings(const std::vector<std::string>& items);
  // Inserts at index (0..Count); on a sorted list this is Add.
  void Insert(int index, const std::string& s);
  // Removes the item at index; an index out of range does nothing.
  void Delete(int index);
  void Clear() { items_.clear(); }
  // Index of the first item equal to s without regard to case, -1 when none.
  int IndexOf(std::string_view s) const;

  // Sorted mode: the list is kept in CompareText order without duplicates.
  // Switching it on sorts the present items and drops their duplicates.
  void SetSorted(bool sorted);
  // Sorts the items once in CompareText order (duplicates are kept).
  void Sort();

  // Comma text of the items, and replacing the items by those of a comma text.
  std::string CommaText() const;
  void SetCommaText(std::string_view text);
  // Each item followed by CR LF, and replacing the items by the lines of a text.
  std::string Text() const;
  void SetText(std::string_view text);

 private:
  int FindSorted(std::string_view s, bool* found) const;
  std::vector<std::string> items_;
  bool sorted_ = false;
};

}  // namespace tk
