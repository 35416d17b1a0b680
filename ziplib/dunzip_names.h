#pragma once
// Which items of a zip a command selects, and where an item may be written.
#include <string>
#include <string_view>
#include <vector>

namespace ziplib {

// The blank-separated masks of a file specification; a mask in double quotes may hold
// blanks. An empty specification selects everything ("*.*").
std::vector<std::string> SplitFileSpec(std::string_view spec);

// Windows-style wildcards without regard to case: '*' any run, '?' one character, and a
// mask ending in ".*" also matches a name without a dot ("*.*" matches every name).
// With crossFolders false, '*' and '?' never match a '/'.
bool WildcardMatch(std::wstring_view upperName, std::wstring_view upperMask, bool crossFolders);

// Matches item names ('/' between folders) against a specification.
// With recurse, a mask without a folder part is matched against the item's last name part
// at any depth and a mask with one against the whole name; without it, every mask is
// matched against the whole name and wildcards stay within one folder.
class ItemSelector {
 public:
  ItemSelector(std::string_view spec, bool recurse);
  bool Matches(const std::string& itemName) const;

 private:
  struct Mask {
    std::wstring upper;
    bool hasFolder;
  };
  std::vector<Mask> masks_;
  bool recurse_;
};

// Turns an item name into a relative Windows path below the destination ('\' between
// folders), or refuses it: an absolute name, a drive, a ':' anywhere, a ".." part (also
// in the forms Windows would read as ".."), a device name (CON, NUL, COM1, ...), control
// characters or characters Windows does not allow. "." parts and doubled separators are
// dropped. With junkFolders only the last part is kept (the name is still checked whole).
// On refusal returns false and says why in *why.
bool SafeRelativePath(const std::string& itemName, bool junkFolders, std::string* out, std::string* why);

}  // namespace ziplib
