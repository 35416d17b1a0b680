#include "settings/qbprofile.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "settings/fernoini.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/strings.h"

namespace {

// Subkeys of a multi-computer profile, one value per computer.
constexpr std::array<const char*, 5> kComputerSubkeys = {"lr", "lt", "ze", "te", "zs"};

// Position of the first occurrence of sub in s without regard to ASCII case.
size_t FindText(const std::string& s, const std::string& sub) {
  return tk::LowerCase(s).find(tk::LowerCase(sub));
}

std::string ReplaceFirstText(std::string s, const std::string& from, const std::string& to) {
  const size_t pos = FindText(s, from);
  if (pos != std::string::npos) s.replace(pos, from.size(), to);
  return s;
}

bool IsValidUtf8(const std::string& s) {
  return tk::Narrow(tk::Widen(s)) == s;
}

// The stored password: the password's bytes inverted, each byte one character of
// the ANSI code page, so every byte value survives the registry's UTF-16.
std::string EncodePassword(const std::string& plain) {
  return tk::Narrow(tk::AnsiBytesToWide(InvertChars(plain)));
}

std::string DecodePassword(const std::string& stored) {
  std::string bytes = InvertChars(tk::WideToAnsiBytes(tk::Widen(stored)));
  // Earlier versions kept the password in the ANSI code page; such bytes are not
  // UTF-8 (unless plain ASCII, which is the same in both).
  if (!IsValidUtf8(bytes)) bytes = tk::Narrow(tk::AnsiBytesToWide(bytes));
  return bytes;
}

void PutString(tk::TRegIniFile& ini, const std::string& key, const char* name, const std::string& value) {
  if (value.empty())
    ini.DeleteValue(key, name);
  else
    ini.WriteString(key, name, value);
}

void PutInt(tk::TRegIniFile& ini, const std::string& key, const char* name, int value, int def) {
  if (value == def)
    ini.DeleteValue(key, name);
  else
    ini.WriteInteger(key, name, value);
}

void PutFloat(TFernoIni& ini, const std::string& key, const char* name, double value) {
  if (value == 0)
    ini.DeleteValue(key, name);
  else
    ini.WriteString(key, name, tk::FloatToStr(value, '.'));
}

void AddError(std::string* error, const std::string& line) {
  if (!error) return;
  if (!error->empty()) *error += "\r\n";
  *error += line;
}

}  // namespace

std::string NotANumberText(const std::string& section, const std::string& name,
                           const std::string& text) {
  return "Value \"" + name + "\" in " + section + " is not a number: \"" + text + "\"";
}

std::string StoredFormText(const tk::TRegSection& values, const std::string& section,
                           const std::string& name) {
  const std::string head = "Value \"" + name + "\" in " + section;
  const std::string read = "\"" + values.ReadString(name, "") + "\"";
  switch (values.Form(name)) {
    case tk::TValueForm::Text: return "";
    case tk::TValueForm::TextCutAtNul: return head + " holds a NUL character: read up to it as " + read;
    case tk::TValueForm::Number: return head + " is stored as a number, not as text: read as " + read;
    case tk::TValueForm::OtherType: return head + " is not stored as text: read as missing";
  }
  return "";
}

std::string UnreadableFormText(const tk::TRegSection& values, const std::string& section, const std::string& name) {
  if (!values.ValueExists(name)) return "";
  const std::string head = "Value \"" + name + "\" in " + section;
  switch (values.Form(name)) {
    case tk::TValueForm::Text: return "";
    case tk::TValueForm::TextCutAtNul: return head + " holds a NUL character";
    case tk::TValueForm::Number: return head + " is stored as a number, not as text";
    case tk::TValueForm::OtherType: return head + " is not stored as text";
  }
  return "";
}

namespace {
// The values that decide what a run protects or leaves out.
constexpr std::array<const char*, 5> kGuardedValues = {"ec", "ef", "efil", "ml", "b"};

// The line for a guarded value that does not read as what was saved; "" when it does.
std::string UnreadableText(const tk::TRegSection& values, const std::string& section, const std::string& name) {
  if (std::string line = UnreadableFormText(values, section, name); !line.empty() || name != "b") return line;
  if (!values.ValueExists(name)) return "";
  const std::string head = "Value \"" + name + "\" in " + section;
  // A shorter text is padded with options off, as earlier versions stored fewer; none at all
  // would turn every option off.
  return values.ReadString(name, "").empty() ? head + " is empty" : "";
}

// A stored 32-bit number: a missing value or one of another type gives def (the type is
// named by StoredFormText); a text that is not such a number gives def and one line.
int32_t ReadInt32Value(const tk::TRegSection& values, const std::string& section, const std::string& name,
                       int32_t def, std::string* error, bool* named) {
  *named = false;
  if (!values.ValueExists(name) || values.Form(name) == tk::TValueForm::OtherType) return def;
  const std::string text = values.ReadString(name, "");
  int32_t value = 0;
  if (tk::TryStrToInt(text, &value)) return value;
  int64_t wide = 0;
  AddError(error, tk::TryStrToInt64(text, &wide) ? "Value \"" + name + "\" in " + section +
                                                       " is a number beyond 32 bits: \"" + text + "\", read as missing"
                                                 : NotANumberText(section, name, text));
  *named = true;
  return def;
}

// A stored double: text the value's text, or nullptr when the value is missing.
bool ParseFloatValue(const std::string* text, const std::string& section, const std::string& name, double def,
                     double* value, std::string* error) {
  *value = def;
  if (!text) return true;
  double parsed = 0;
  if (!tk::TryStrToFloat(*text, &parsed, '.') || !std::isfinite(parsed)) {
    AddError(error, NotANumberText(section, name, *text));
    return false;
  }
  *value = parsed;
  return true;
}
}  // namespace

bool ReadFloatValue(const tk::TRegIniFile& ini, const std::string& section,
                    const std::string& name, double def, double* value, std::string* error) {
  // A value of a type that has no text reads as the default given, which no text equals.
  const std::string noText(1, '\0');
  const std::string text = ini.ValueExists(section, name) ? ini.ReadString(section, name, noText) : noText;
  return ParseFloatValue(text != noText ? &text : nullptr, section, name, def, value, error);
}

bool ReadFloatValue(const tk::TRegSection& values, const std::string& section,
                    const std::string& name, double def, double* value, std::string* error) {
  // A value of a type that has no text is missing here; StoredFormText names it.
  const bool present = values.ValueExists(name) && values.Form(name) != tk::TValueForm::OtherType;
  const std::string text = present ? values.ReadString(name, "") : std::string();
  return ParseFloatValue(present ? &text : nullptr, section, name, def, value, error);
}

// ---------------------------------------------------------------------------------

TQbProfile::TQbProfile() : b(std::make_unique<TStrFlag>(20)) { SetDefaults(); }

TQbProfile::~TQbProfile() = default;

void TQbProfile::SetDefaults() {
  zf.clear();
  b->SetValue(DefaultProfileFlags);
  cf = 5;
  ecmd = 3;
  ssuf.clear();
  il.clear();
  cns.clear();
  ef.clear();
  ec.clear();
  cmt.clear();
  adt = 0;
  bdir.clear();
  lrun = 0;
  ltst = 0;
  lzs = -2;
  ml.clear();
  zfndf.clear();
  ztk = -1;
  ze = 0;
  te = 0;
  nrl = 0;
  efil.clear();
}

std::string TQbProfile::RegistryKey() const { return ProfileKey(pn); }

bool TQbProfile::LoadFromRegistry(const std::string& name, std::string* error) {
  const std::string key = ProfileKey(name);
  // One pass over the key: the manager loads every profile at its start.
  const tk::TRegSection v = TFernoIni().ReadSectionValues(key);
  bool ok = true;
  SetDefaults();
  unreadableLines_.clear();
  unreadable_.clear();
  loadedKey_ = key;
  std::vector<std::string> named;   // values already named in a line of error
  for (const char* value : kGuardedValues)
    if (std::string line = UnreadableText(v, key, value); !line.empty()) {
      unreadableLines_.push_back(std::move(line));
      unreadable_.emplace_back(value, std::string());
      named.push_back(value);
    }
  // A guarded value that cannot be read keeps its default.
  auto guarded = [&](const char* name, const char* def) {
    return std::find(named.begin(), named.end(), name) != named.end() ? std::string(def) : v.ReadString(name, def);
  };
  auto readInt = [&](const char* name, int32_t def) {
    bool lined = false;
    const int32_t value = ReadInt32Value(v, key, name, def, error, &lined);
    if (lined) {
      named.push_back(name);
      ok = false;
    }
    return value;
  };
  zf = v.ReadString("zf", "");
  b->SetValue(guarded("b", DefaultProfileFlags));
  cf = readInt("cf", 5);
  ecmd = readInt("ecmd", 3);
  ssuf = tk::UpperCase(tk::Trim(v.ReadString("ssuf", "")));
  il = v.ReadString("il", "");
  cns = v.ReadString("cns", "");
  ef = guarded("ef", "");
  ec = DecodePassword(guarded("ec", ""));
  cmt = v.ReadString("cmt", "");
  ok &= ReadFloatValue(v, key, "adt", 0, &adt, error);
  bdir = v.ReadString("bdir", "");
  ok &= ReadFloatValue(v, key, "lrun", 0, &lrun, error);
  ok &= ReadFloatValue(v, key, "ltst", 0, &ltst, error);
  if (v.ValueExists("lzs") && v.Form("lzs") != tk::TValueForm::OtherType) {
    const std::string text = v.ReadString("lzs", "");
    if (!tk::TryStrToInt64(text, &lzs)) {
      lzs = -2;
      AddError(error, NotANumberText(key, "lzs", text));
      ok = false;
    }
  }
  pn = v.ReadString("pn", "");
  ml = guarded("ml", "");
  zfndf = NormalizeZipDateFormat(v.ReadString("zfndf", ""));
  ztk = readInt("ztk", -1);
  ze = readInt("ze", 0);
  te = readInt("te", 0);
  nrl = readInt("nrl", 0);
  efil = guarded("efil", "");
  for (auto& [name, loaded] : unreadable_) loaded = GuardText(name);
  for (const char* value : {"zf", "b", "cf", "ecmd", "ssuf", "il", "cns", "ef", "ec", "cmt", "adt", "bdir", "lrun",
                            "ltst", "lzs", "pn", "ml", "zfndf", "ztk", "ze", "te", "nrl", "efil"})
    if (std::find(named.begin(), named.end(), value) == named.end())
      if (const std::string line = StoredFormText(v, key, value); !line.empty()) {
        AddError(error, line);
        ok = false;
      }
  return ok && unreadableLines_.empty();
}

std::string TQbProfile::GuardText(const std::string& name) const {
  if (name == "ec") return ec;
  if (name == "ef") return ef;
  if (name == "efil") return efil;
  if (name == "ml") return ml;
  return b->GetValue();
}

bool TQbProfile::KeepsStored(const std::string& name, const std::string& key) const {
  if (!tk::SameText(key, loadedKey_)) return false;
  for (const auto& [value, loaded] : unreadable_)
    if (value == name) return GuardText(name) == loaded;
  return false;
}

bool TQbProfile::SaveToRegistry() {
  if (pn.empty()) return false;
  TFernoIni ini;
  const std::string key = RegistryKey();
  if (!KeepsStored("b", key)) ini.WriteString(key, "b", b->GetValue());
  PutInt(ini, key, "cf", cf, 5);
  PutInt(ini, key, "ecmd", ecmd, 3);
  ssuf = tk::Trim(ssuf);
  PutString(ini, key, "ssuf", ssuf);
  PutString(ini, key, "il", il);
  PutString(ini, key, "cns", cns);
  if (!KeepsStored("ef", key)) PutString(ini, key, "ef", ef);
  if (!KeepsStored("ec", key)) PutString(ini, key, "ec", ec.empty() ? std::string() : EncodePassword(ec));
  PutString(ini, key, "cmt", cmt);
  PutString(ini, key, "bdir", bdir);
  PutFloat(ini, key, "adt", adt);
  ini.WriteString(key, "zf", zf);
  ini.WriteString(key, "pn", pn);
  if (!KeepsStored("ml", key)) PutString(ini, key, "ml", ml);
  PutFloat(ini, key, "lrun", lrun);
  PutFloat(ini, key, "ltst", ltst);
  if (lzs == -2)
    ini.DeleteValue(key, "lzs");
  else
    ini.WriteString(key, "lzs", tk::IntToStr(lzs));
  PutString(ini, key, "zfndf", zfndf);
  PutInt(ini, key, "ztk", ztk, -1);
  PutInt(ini, key, "ze", ze, 0);
  PutInt(ini, key, "te", te, 0);
  PutInt(ini, key, "nrl", nrl, 0);
  SaveExcludeFilters();
  return true;
}

void TQbProfile::SaveExcludeFilters() {
  if (pn.empty() || KeepsStored("efil", RegistryKey())) return;
  TFernoIni ini;
  PutString(ini, RegistryKey(), "efil", efil);
}

bool TQbProfile::RenameExcludeFilter(const std::string& oldName, const std::string& newName) {
  std::vector<std::string> items = tk::FromCommaText(efil);
  for (std::string& item : items) {
    if (tk::SameText(item, oldName)) {
      item = newName;
      efil = tk::ToCommaText(items);
      SaveExcludeFilters();
      return true;
    }
  }
  return false;
}

bool TQbProfile::RemoveExcludeFilter(const std::string& name) {
  std::vector<std::string> items = tk::FromCommaText(efil);
  for (auto it = items.begin(); it != items.end(); ++it) {
    if (tk::SameText(*it, name)) {
      items.erase(it);
      efil = tk::ToCommaText(items);
      SaveExcludeFilters();
      return true;
    }
  }
  return false;
}

std::string TQbProfile::GetZipFileName(const std::string& subDir) const {
  if (!zfndf.empty()) return MakeZipNameWithDate(subDir, false);
  if (!subDir.empty()) return tk::ExtractFilePath(zf) + subDir + "\\" + tk::ExtractFileName(zf);
  return zf;
}

std::string TQbProfile::MakeZipNameWithDate(const std::string& subDir, bool wildcard) const {
  return MakeZipNameWithDate(subDir, wildcard, tk::Date());
}

namespace {

// Marks a place of the date that holds a digit in every dated name; no file name holds it.
constexpr char kDigitMark = '<';

// The date part of the mask of a profile's dated zips: every "d", "m" and "y" a '?', then the
// first "ww" "Week?". With numbers marked, a place that holds a digit in every dated name is
// kDigitMark instead (a run of three or more "d" or "m" is a day's or a month's name: any text).
std::string DateMask(std::string part, bool markNumbers) {
  for (size_t i = 0; i < part.size();) {
    const char l = static_cast<char>(part[i] | 0x20);
    if (l != 'd' && l != 'm' && l != 'y') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < part.size() && static_cast<char>(part[end] | 0x20) == l) ++end;
    const char mark = markNumbers && (l == 'y' || end - i < 3) ? kDigitMark : '?';
    for (; i < end; ++i) part[i] = mark;
  }
  return ReplaceFirstText(part, "ww", markNumbers ? std::string("Week") + kDigitMark : "Week?");
}

}  // namespace

bool TQbProfile::IsDatedZipName(const std::string& fileName, const std::string& subDir) const {
  const std::string mask = tk::ExtractFileName(DatedZipName(subDir, 2, 0.0));
  if (zfndf.empty() || fileName.size() != mask.size()) return false;
  for (size_t i = 0; i < mask.size(); ++i)
    if (mask[i] == kDigitMark && (fileName[i] < '0' || fileName[i] > '9')) return false;
  return true;
}

std::string TQbProfile::MakeZipNameWithDate(const std::string& subDir, bool wildcard,
                                            tk::TDateTime day) const {
  return DatedZipName(subDir, wildcard ? 1 : 0, day);
}

std::string TQbProfile::DatedZipName(const std::string& subDir, int mask, tk::TDateTime day) const {
  std::string format = zfndf;
  const size_t star = format.find('*');
  const bool dateFirst = star != std::string::npos;
  if (dateFirst) format.erase(star, 1);

  const std::string folder = tk::ExtractFilePath(zf);
  const std::string name = tk::ChangeFileExt(tk::ExtractFileName(zf), "");
  const char sep = ZipNameSeparator(zfndf);

  const std::string datePart = mask ? DateMask(format, mask == 2)
                                    : ExpandWeekToken(tk::FormatDateTime(format, std::floor(day)), day);

  std::string result = folder;
  if (!subDir.empty()) result += subDir + "\\";
  result += dateFirst ? datePart + sep + name : name + sep + datePart;
  return result + ".zip";
}

std::string TQbProfile::GetSourceText() const {
  if (bdir.empty()) return il;
  return tk::IncludeTrailingBackslash(bdir) + "  ->  " + il;
}

void TQbProfile::SumComputerResults(int kind) {
  const char* name = kind == 2 ? "te" : "ze";
  TFernoIni ini;
  const std::string key = RegistryKey();
  const tk::TRegSection codes = ini.ReadSectionValues(key + "\\" + name);
  int sum = 0;
  for (const std::string& computer : tk::FromCommaText(cns)) sum += codes.ReadInteger(computer, 0);
  (kind == 2 ? te : ze) = sum;
  // A key renamed or deleted meanwhile takes no total: writing would make a key of it.
  tk::TRegIniFile profile(ini.RootKey(), key, false);
  if (profile.IsOpen()) PutInt(profile, "", name, sum, 0);
}

void TQbProfile::RemoveStaleComputerValues() {
  if (cns.empty()) return;
  const tk::TStringList computers(tk::FromCommaText(cns));
  TFernoIni ini;
  for (const char* sub : kComputerSubkeys) {
    const std::string section = RegistryKey() + "\\" + sub;
    for (const std::string& value : ini.ReadSection(section))
      if (computers.IndexOf(value) < 0) ini.DeleteValue(section, value);
  }
}

void TQbProfile::PruneZipLogs(tk::TStringList& errorList) const {
  DeleteOldFiles(GetLogsDir() + pn + " ziplog*.txt", nrl, errorList, false);
}

std::string TQbProfile::GetZipSizeText(int precision, const std::string& sizeUnit,
                                       bool useStoredSize, const std::string& computer) const {
  if (useStoredSize && zf.size() >= 2 && zf[0] == '\\' && zf[1] == '\\') {
    int64_t size = lzs;
    if (!computer.empty()) {
      TFernoIni ini;
      // A stored size that is not a number is as good as none.
      size = tk::StrToInt64Def(ini.ReadString(RegistryKey() + "\\zs", computer, "-2"), -2);
    }
    if (size == -2) return "[?]";
    return "[" + FormatFileSize(sizeUnit, size, precision) + "]";
  }
  const std::string name = GetZipFileName(computer);
  if (!tk::FileExists(name)) return "?";
  return FormatFileSize(sizeUnit, tk::FileSize(name), precision);
}

std::string TQbProfile::GetZipSizeText(const TQbProfile* profile, int precision,
                                       const std::string& sizeUnit, bool useStoredSize,
                                       const std::string& computer) {
  if (!profile) return "nil";
  return profile->GetZipSizeText(precision, sizeUnit, useStoredSize, computer);
}

// ---------------------------------------------------------------------------------

std::string WeekOfMonthText(tk::TDateTime day) {
  int y = 0, m = 0, d = 0;
  tk::DecodeDate(day, &y, &m, &d);
  return "Week" + std::to_string(std::min((d + 6) / 7, 4));
}

std::string ExpandWeekToken(const std::string& text, tk::TDateTime day) {
  if (FindText(text, "ww") == std::string::npos) return text;
  return ReplaceFirstText(text, "ww", WeekOfMonthText(day));
}

std::string NormalizeZipDateFormat(const std::string& format) {
  if (format.empty()) return format;
  std::string result = format;
  if (result.find("dd") == std::string::npos) {
    const size_t d = result.find('d');
    if (d != std::string::npos) result.insert(d, 1, 'd');
  }
  for (const char* w : {"w1", "w2", "w3"}) result = ReplaceFirstText(result, w, "ww");
  return result;
}

char ZipNameSeparator(const std::string& dateFormat) {
  if (dateFormat.find('_') != std::string::npos) return '_';
  if (dateFormat.find('-') != std::string::npos) return '-';
  return ' ';
}

std::string DecimalsMask(int n) { return "0." + std::string(static_cast<size_t>(std::max(n, 1)), '0'); }

std::string FormatFileSize(const std::string& sizeUnit, int64_t size, int precision) {
  if (size == -1) return "can't open";
  const std::string unit = tk::LowerCase(sizeUnit);
  const std::string mask = DecimalsMask(precision);
  const double value = static_cast<double>(size);
  auto bytes = [&] { return tk::IntToStr(size) + " bytes"; };
  auto kb = [&] { return tk::FormatFloat(mask, value / 1024) + " KB"; };
  auto mb = [&] { return tk::FormatFloat(mask, value / 1048576) + " MB"; };
  if (unit == "bytes") return bytes();
  if (unit == "kb") return kb();
  if (unit == "mb") return mb();
  if (size < 1024) return bytes();
  if (size < 1048576) return kb();
  if (size < 1073741824) return mb();
  return tk::FormatFloat(mask, value / 1073741824) + " GB";
}

// ---------------------------------------------------------------------------------

const std::string ZipErrorTexts[ZipErrorTextCount] = {
    "",
    "Busy, can't re-enter now",
    "Unexpected end of Zip file",
    "Zip file structure invalid",
    "Out of memory",
    "Internal logic error",
    "Entry too big to split",
    "Invalid comment format",
    "Zip file invalid or insufficient memory",
    "Operation cancelled",
    "Temporary file failure",
    "Input file read failure",
    "Nothing to do!",
    "Missing or empty Zip file",
    "Output file write failure, possible disk full",
    "Could not create ZIP file",
    "Invalid combination of control parameters",
    "Could not complete operation",
    "File not found or no read permission",
    "Media error, disk not ready, or hardware error",
    "Invalid combination of multi-volume control parameters",
    "Improper use of a multi-volume ZIP file",
    "-", "-", "-", "-", "-", "-", "-", "-", "-", "-",  // 22..31
    "-", "-", "-", "-", "-", "-", "-", "-", "-", "-",  // 32..41
    "-", "-", "-", "-", "-", "-", "-", "-", "-",       // 42..50
    "Source path not found",
};

std::string UnzipErrorTexts[UnzipErrorTextCount] = {
    "",                                          // 0
    "-",                                         // 1
    "Unexpected end of ZIP file",                // 2
    "ZIP file structure invalid",                // 3
    "Out of memory",                             // 4
    "Out of memory",                             // 5
    "-", "-", "-",                               // 6..8
    "File not found",                            // 9
    "-",                                         // 10
    "No files to test, extract, etc",            // 11
    "Same Volume",                               // 12
    "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-",  // 13..24
    "Index out of bounds",                       // 25
    "-", "-",                                    // 26, 27
    "Error creating output file",                // 28
    "Error opening archive",                     // 29
    "-", "-", "-", "-", "-", "-", "-", "-", "-", // 30..38
    "Bad CRC",                                   // 39
    "Application cancelled operation",           // 40
    "File skipped, encrypted",                   // 41
    "File skipped, unknown compression method",  // 42
    "-",                                         // 43
    "Bad or missing decrypt code",               // 44
    "Busy, can't enter now",                     // 45
    "Can't extract a Volume label item",         // 46
    "Bad command structure",                     // 47
    "Operation cancelled",                       // 48
    "Operation skipped",                         // 49
    "Disk full",                                 // 50
};

void FillUnzipErrorTexts() {
  for (int i = 0; i < UnzipErrorTextCount; ++i)
    if (UnzipErrorTexts[i] == "-") UnzipErrorTexts[i] = "Error " + std::to_string(i);
}

namespace {
// The extraction table is complete from the program's start.
[[maybe_unused]] const bool unzipTextsFilled = (FillUnzipErrorTexts(), true);
}  // namespace
