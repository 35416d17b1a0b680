#include "toolkit/stringlist.h"

#include <algorithm>

#include "toolkit/strings.h"

namespace tk {

namespace {
bool IsBlank(char c) { return c != '\0' && static_cast<unsigned char>(c) <= ' '; }
bool NeedsQuotes(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',') return true;
  return false;
}
}  // namespace

std::string ToCommaText(const std::vector<std::string>& items) {
  if (items.size() == 1 && items[0].empty()) return "\"\"";
  std::string r;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) r += ',';
    const std::string& s = items[i];
    if (!NeedsQuotes(s)) {
      r += s;
      continue;
    }
    r += '"';
    for (char c : s) {
      if (c == '"') r += '"';
      r += c;
    }
    r += '"';
  }
  return r;
}

std::vector<std::string> FromCommaText(std::string_view text) {
  std::vector<std::string> items;
  // A NUL ends the text, as it ends a text read from the registry; past it no item could
  // begin (a NUL is no blank to skip nor a character of an unquoted item).
  text = text.substr(0, text.find('\0'));
  size_t p = 0, n = text.size();
  auto skipBlanks = [&] {
    while (p < n && IsBlank(text[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;  // closing quote
          break;
        }
        item += text[p++];
      }
    } else {
      size_t start = p;
      while (p < n && static_cast<unsigned char>(text[p]) > ' ' && text[p] != ',') ++p;
      item.assign(text.substr(start, p - start));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (p < n && text[p] == ',') {
      // A comma at the very end still ends an (empty) item.
      if (p + 1 == n) items.emplace_back();
      ++p;
      skipBlanks();
    }
  }
  return items;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t p = 0, n = text.size();
  while (p < n) {
    size_t start = p;
    while (p < n && text[p] != '\r' && text[p] != '\n') ++p;
    lines.emplace_back(text.substr(start, p - start));
    if (p < n && text[p] == '\r') ++p;
    if (p < n && text[p] == '\n') ++p;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string r;
  for (const std::string& l : lines) r.append(l).append("\r\n");
  return r;
}

TStringList::TStringList(std::vector<std::string> items) : items_(std::move(items)) {}

int TStringList::FindSorted(std::string_view s, bool* found) const {
  int lo = 0, hi = Count() - 1;
  *found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = CompareText(items_[static_cast<size_t>(mid)], s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) *found = true;  // keep going left to the first equal item
    }
  }
  return lo;
}

int TStringList::Add(const std::string& s) {
  if (!sorted_) {
    items_.push_back(s);
    return Count() - 1;
  }
  bool found;
  int at = FindSorted(s, &found);
  if (!found) items_.insert(items_.begin() + at, s);
  return at;
}

void TStringList::AddStrings(const std::vector<std::string>& items) {
  for (const std::string& s : items) Add(s);
}

void TStringList::Insert(int index, const std::string& s) {
  if (sorted_) {
    Add(s);
    return;
  }
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, s);
}

void TStringList::Delete(int index) {
  if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(std::string_view s) const {
  if (sorted_) {
    bool found;
    int at = FindSorted(s, &found);
    return found ? at : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (SameText(items_[static_cast<size_t>(i)], s)) return i;
  return -1;
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    Sort();
    items_.erase(std::unique(items_.begin(), items_.end(),
                             [](const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }),
                 items_.end());
  }
  sorted_ = sorted;
}

std::string TStringList::CommaText() const { return ToCommaText(items_); }

void TStringList::SetCommaText(std::string_view text) {
  Clear();
  AddStrings(FromCommaText(text));
}

std::string TStringList::Text() const { return JoinLines(items_); }

void TStringList::SetText(std::string_view text) {
  Clear();
  AddStrings(SplitLines(text));
}

}  // namespace tk
