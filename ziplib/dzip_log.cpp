// The zip log: asked for through message 13 (701 the file name, 702 the header template
// with one "%s"), written by the library itself at the end of the run, appended to a log
// of the same name (two runs within one minute share the name).
//
// Content: the header line with "%s" filled by the time and the zip's name; one line per
// entry ("adding", "updating", "keeping", "skipped") with its method and ratio; notes;
// a summary line with counts, sizes and the result. bDiagnostic adds the options and
// the sizes of every entry.
#include <windows.h>

#include <cstdio>

#include "toolkit/strings.h"
#include "ziplib/fileio.h"
#include "ziplib/zipwriter.h"

namespace ziplib {

std::string FillTemplate(const std::string& tmpl, const std::string& value) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t at = tmpl.find("%s", pos);
    if (at == std::string::npos) break;
    out.append(tmpl, pos, at - pos);
    out += value;
    pos = at + 2;
  }
  out.append(tmpl, pos, std::string::npos);
  return out;
}

namespace {

std::string Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                st.wMinute, st.wSecond);
  return buf;
}

std::string Ratio(uint64_t size, uint64_t comp) {
  if (size == 0) return "0%";
  const int64_t saved = static_cast<int64_t>(size) - static_cast<int64_t>(comp);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld%%", static_cast<long long>(saved * 100 / static_cast<int64_t>(size)));
  return buf;
}

const char* MethodText(uint16_t m) {
  switch (m) {
    case 0: return "stored";
    case 8: return "deflated";
    case 9: return "deflate64";
    default: return "method?";
  }
}

}  // namespace

void ZipLog::Open(Reporter& rep, const DzipOptions& o) {
  if (!o.Sub(dz::ZSO_LOGZIPRESULTS)) return;
  const std::string name = tk::Trim(rep.Query(dz::DZ_QUERY_LOGFILENAME));
  if (name.empty()) return;
  std::string header = rep.Query(dz::DZ_QUERY_LOGHEADER);
  if (header.empty()) header = "--- Zip log - %s ---";
  active_ = true;
  rep_ = &rep;
  diagnostic_ = o.diagnostic;
  file_ = tk::Widen(name);
  Line(FillTemplate(header, Now() + " " + o.zipFile));
  static const char* const kFunction[] = {"", "freshen", "", "update", "add"};
  const char* fn = o.function >= 1 && o.function <= 4 ? kFunction[o.function] : "?";
  std::string command = std::string("Command: ") + fn + ", compression factor " + std::to_string(o.factor);
  if (o.deflate64) command += " (Deflate64 level " + std::to_string(o.level) + ")";
  if (o.encrypt) command += ", files encrypted with AES-256";
  Line(command);
  if (diagnostic_) {
    Line("Items: " + o.itemList);
    if (o.includeOnly) Line("Include only: " + o.include);
    if (o.excludeOn) Line("Exclude: " + o.exclude);
    if (o.afterDate) Line("Changed on or after (mmddyy): " + o.date);
    if (o.storeSuffixesOn) Line("Stored without compression: " + o.storeSuffixes);
    char buf[96];
    std::snprintf(buf, sizeof buf, "Sub-options 0x%04X, recurse %d, relative names %d, no folder names %d",
                  o.zso, o.recurse, o.Sub(dz::ZSO_RELATIVEPATH) ? 1 : 0, o.noDirNames);
    Line(buf);
    Line(o.pathForTemp && !o.tempPath.empty() ? "Temporary folder: " + o.tempPath
                                              : std::string("Temporary file beside the zip"));
  }
}

void ZipLog::Line(const std::string& text) {
  if (!active_) return;
  text_ += text;
  text_ += "\r\n";
}

void ZipLog::Entry(const EntryResult& e) {
  if (!active_) return;
  std::string verb;
  switch (e.action) {
    case EntryAction::Added: verb = "  adding: "; break;
    case EntryAction::Replaced: verb = "updating: "; break;
    case EntryAction::Kept: verb = " keeping: "; break;
    case EntryAction::Skipped: verb = " skipped: "; break;
  }
  std::string line = verb + (e.action == EntryAction::Skipped ? tk::Narrow(e.sourcePath) : e.zipName);
  if (e.action == EntryAction::Skipped) {
    line += " (" + e.note + ")";
  } else if (e.isDir) {
    line += " (folder)";
  } else if (e.action != EntryAction::Kept) {
    line += std::string(" (") + MethodText(e.method) + " " + Ratio(e.size, e.compressed) + ")";
    if (diagnostic_) line += " " + std::to_string(e.size) + " -> " + std::to_string(e.compressed) + " bytes";
    if (e.changed) line += ", changed while it was zipped, stored as read";
  }
  Line(line);
}

void ZipLog::Summary(int result, const std::vector<EntryResult>& entries, double seconds) {
  if (!active_) return;
  uint64_t added = 0, replaced = 0, kept = 0, skipped = 0, in = 0, outBytes = 0;
  for (const auto& e : entries) {
    if (e.isDir) continue;
    switch (e.action) {
      case EntryAction::Added: ++added; break;
      case EntryAction::Replaced: ++replaced; break;
      case EntryAction::Kept: ++kept; break;
      case EntryAction::Skipped: ++skipped; break;
    }
    if (e.action == EntryAction::Added || e.action == EntryAction::Replaced) {
      in += e.size;
      outBytes += e.compressed;
    }
  }
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "Total: %llu added, %llu updated, %llu kept, %llu skipped; %llu bytes in, %llu bytes out (%s)",
                static_cast<unsigned long long>(added), static_cast<unsigned long long>(replaced),
                static_cast<unsigned long long>(kept), static_cast<unsigned long long>(skipped),
                static_cast<unsigned long long>(in), static_cast<unsigned long long>(outBytes),
                Ratio(in, outBytes).c_str());
  Line(buf);
  if (diagnostic_) {
    std::snprintf(buf, sizeof buf, "Time: %.2f s", seconds);
    Line(buf);
  }
  Line(result == 0 ? std::string("Result: 0 (success)") : "Result: " + std::to_string(result) + " (failed)");
  Line("");
}

void ZipLog::Write() {
  if (!active_ || text_.empty()) return;
  File f;
  const bool written = f.Open(file_, FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL) &&
                       f.Write(text_.data(), text_.size());
  const DWORD error = File::LastError();
  text_.clear();
  if (written || !rep_) return;
  // The name is the caller's: a shorter one would be a log the caller never finds again.
  const size_t slash = file_.find_last_of(L"\\/");
  const size_t nameLength = file_.size() - (slash == std::wstring::npos ? 0 : slash + 1);
  std::string why;
  if (nameLength > 255) {
    why = "its file name is longer than 255 characters";
  } else {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    why = text ? tk::Trim(tk::Narrow(text)) : "error " + std::to_string(error);
    if (text) LocalFree(text);
  }
  rep_->Warning("The zip log was not written, " + why + ": " + tk::Narrow(file_));
}

}  // namespace ziplib
