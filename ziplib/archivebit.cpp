#include "ziplib/archivebit.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "toolkit/strings.h"
#include "ziplib/fileio.h"

namespace ziplib {
namespace {

std::mutex g_tableLock;

std::wstring TablePath() {
  wchar_t buf[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", buf, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return {};
  return std::wstring(buf, n);
}

struct TableLine {
  bool bit;
  std::string path;
};

bool ReadTable(const std::wstring& file, std::vector<TableLine>* lines) {
  File f;
  if (!f.Open(file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0)) return false;
  std::string text;
  char buf[4096];
  size_t got = 0;
  while (f.ReadSome(buf, sizeof buf, &got) && got > 0) text.append(buf, got);
  f.Close();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = tk::Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.size() >= 3 && (line[0] == '0' || line[0] == '1') && line[1] == ' ')
      lines->push_back({line[0] == '1', tk::Trim(line.substr(2))});
  }
  return true;
}

bool WriteTable(const std::wstring& file, const std::vector<TableLine>& lines) {
  std::string text;
  for (const auto& l : lines) text += std::string(l.bit ? "1 " : "0 ") + l.path + "\r\n";
  return WriteWholeFile(file, text);
}

}  // namespace

// Runs fn on the table line of path (under the table lock); false when the table is not in
// use or does not list the file.
namespace {
template <typename Fn>
bool WithTableLine(const std::wstring& path, Fn fn) {
  const std::wstring table = TablePath();
  if (table.empty()) return false;
  std::lock_guard<std::mutex> lock(g_tableLock);
  std::vector<TableLine> lines;
  if (!ReadTable(table, &lines)) return false;
  const std::string p = tk::Narrow(path);
  for (auto& l : lines) {
    if (tk::SameText(l.path, p)) {
      fn(table, lines, l);
      return true;
    }
  }
  return false;
}
}  // namespace

bool HasArchiveBit(const std::wstring& path, unsigned long realAttributes) {
  bool bit = false;
  if (WithTableLine(path, [&](const std::wstring&, std::vector<TableLine>&, TableLine& l) { bit = l.bit; }))
    return bit;
  return (realAttributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
}

bool ClearArchiveBit(const std::wstring& path) {
  bool ok = false;
  if (WithTableLine(path, [&](const std::wstring& table, std::vector<TableLine>& lines, TableLine& l) {
        l.bit = false;
        ok = WriteTable(table, lines);
      }))
    return ok;
  const DWORD a = PathAttributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  if (!(a & FILE_ATTRIBUTE_ARCHIVE)) return true;
  return SetPathAttributes(path, a & ~FILE_ATTRIBUTE_ARCHIVE);
}

}  // namespace ziplib
