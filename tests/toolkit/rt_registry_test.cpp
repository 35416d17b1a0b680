#include <gtest/gtest.h>

#include <algorithm>

#include "support/testutil.h"
#include "toolkit/reginifile.h"
#include "toolkit/strings.h"

namespace {
const char* const kRoot = "Software\\Quillbank\\rttest";

class RegIniFile : public ::testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }

  // Writes a value of any type straight through the API, beside the wrapper.
  static void RawSet(const std::string& section, const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tk::Widen(std::string(kRoot) + "\\" + section).c_str(), 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, tk::Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }
};
}  // namespace

TEST_F(RegIniFile, CreatesTheRootAndWritesStringValues) {
  tk::TRegIniFile ini(kRoot);
  ASSERT_TRUE(ini.IsOpen());
  EXPECT_EQ(qbtest::RegRead("rttest", "x"), "<missing>");
  EXPECT_TRUE(ini.WriteString("General", "Name", "Gr\xC3\xBC\xC3\x9F" "e"));
  EXPECT_TRUE(ini.WriteInteger("General", "Count", -42));
  EXPECT_TRUE(ini.WriteBool("General", "On", true));
  EXPECT_TRUE(ini.WriteBool("General", "Off", false));
  EXPECT_TRUE(ini.WriteString("", "AtRoot", ""));
  EXPECT_TRUE(ini.WriteString("Profiles\\My Docs", "zf", "D:\\b.zip"));  // nested section created
  EXPECT_EQ(qbtest::RegRead("rttest\\General", "Name"), "Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(qbtest::RegRead("rttest\\General", "Count"), "-42");
  EXPECT_EQ(qbtest::RegRead("rttest\\General", "On"), "1");
  EXPECT_EQ(qbtest::RegRead("rttest\\General", "Off"), "0");
  EXPECT_EQ(qbtest::RegRead("rttest", "AtRoot"), "");
  EXPECT_EQ(qbtest::RegRead("rttest\\Profiles\\My Docs", "zf"), "D:\\b.zip");
  EXPECT_EQ(ini.ReadString("General", "Name", "d"), "Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(ini.ReadString("", "AtRoot", "d"), "");  // an empty value is not missing
}

TEST_F(RegIniFile, ReadsEveryTimeAndFallsBackToDefaults) {
  tk::TRegIniFile ini(kRoot);
  EXPECT_EQ(ini.ReadString("General", "Name", "def"), "def");
  EXPECT_EQ(ini.ReadString("NoSuchSection", "Name", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("General", "Width", 140), 140);
  EXPECT_TRUE(ini.ReadBool("General", "Flag", true));
  // Someone else writes: the next read sees it (no cache).
  qbtest::RegWrite("rttest\\General", "Name", "fresh");
  qbtest::RegWrite("rttest\\General", "Width", "77");
  qbtest::RegWrite("rttest\\General", "Letters", "abc");
  qbtest::RegWrite("rttest\\General", "Two", "2");
  qbtest::RegWrite("rttest\\General", "Hex", "$10");
  qbtest::RegWrite("rttest\\General", "Zero", "0");
  EXPECT_EQ(ini.ReadString("General", "Name", "def"), "fresh");
  EXPECT_EQ(ini.ReadInteger("General", "Width", 140), 77);
  EXPECT_EQ(ini.ReadInteger("General", "Letters", 140), 140);
  EXPECT_EQ(ini.ReadInteger("General", "Hex", 0), 16);
  EXPECT_TRUE(ini.ReadBool("General", "Two", false));
  EXPECT_FALSE(ini.ReadBool("General", "Zero", true));
  EXPECT_TRUE(ini.ReadBool("General", "Letters", true));
  EXPECT_FALSE(ini.ReadBool("General", "Letters", false));
}

TEST_F(RegIniFile, OtherValueTypes) {
  tk::TRegIniFile ini(kRoot);
  const DWORD dword = 1234, minus = 0xFFFFFFFF;
  const unsigned long long qword = 5000000000ULL;
  const BYTE binary[] = {1, 2, 3};
  const wchar_t multi[] = L"a\0b\0";
  RawSet("Types", "Dword", REG_DWORD, &dword, sizeof dword);
  RawSet("Types", "Minus", REG_DWORD, &minus, sizeof minus);
  RawSet("Types", "Qword", REG_QWORD, &qword, sizeof qword);
  RawSet("Types", "Binary", REG_BINARY, binary, sizeof binary);
  RawSet("Types", "Multi", REG_MULTI_SZ, multi, sizeof multi);
  RawSet("Types", "Expand", REG_EXPAND_SZ, L"%TEMP%\\x", sizeof(L"%TEMP%\\x"));
  RawSet("Types", "NoNul", REG_SZ, L"abc", 3 * sizeof(wchar_t));  // stored without its terminator
  EXPECT_EQ(ini.ReadString("Types", "Dword", "d"), "1234");
  EXPECT_EQ(ini.ReadInteger("Types", "Dword", 0), 1234);
  EXPECT_EQ(ini.ReadInteger("Types", "Minus", 0), -1);
  EXPECT_EQ(ini.ReadString("Types", "Qword", "d"), "5000000000");
  EXPECT_EQ(ini.ReadInteger("Types", "Qword", 9), 9);  // beyond 32 bits
  EXPECT_EQ(ini.ReadString("Types", "Binary", "d"), "d");
  EXPECT_EQ(ini.ReadString("Types", "Multi", "d"), "d");
  // An expandable text reads with the environment's variables put in, as the system reads it.
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH), 0u);
  EXPECT_EQ(ini.ReadString("Types", "Expand", "d"), tk::Narrow(temp) + "\\x");
  EXPECT_EQ(ini.ReadString("Types", "NoNul", "d"), "abc");
  EXPECT_TRUE(ini.ValueExists("Types", "Binary"));
}

// A section read at once answers every read as the value-by-value reads do, and a
// numbered list gives what it holds below the count, in index order.
TEST_F(RegIniFile, ASectionReadAtOnce) {
  tk::TRegIniFile ini(kRoot);
  const DWORD dword = 1234;
  const unsigned long long qword = 5000000000ULL;
  const BYTE binary[] = {1, 2, 3};
  RawSet("Rec", "Dword", REG_DWORD, &dword, sizeof dword);
  RawSet("Rec", "Qword", REG_QWORD, &qword, sizeof qword);
  RawSet("Rec", "Binary", REG_BINARY, binary, sizeof binary);
  RawSet("Rec", "NoNul", REG_SZ, L"abc", 3 * sizeof(wchar_t));
  ini.WriteString("Rec", "Text", "Gr\xC3\xBC\xC3\x9F" "e");
  ini.WriteString("Rec", "Long", std::string(5000, 'x'));
  ini.WriteString("Rec", "Empty", "");
  for (const char* name : {"Item2", "item0", "Item10", "Item01", "Item", "Itemx", "Other5"})
    ini.WriteString("Rec", name, name);
  const tk::TRegSection rec = ini.ReadSectionValues("Rec");
  EXPECT_TRUE(rec.Exists());
  for (const char* name : {"Dword", "Qword", "Binary", "NoNul", "Text", "Long", "Empty", "Missing"}) {
    EXPECT_EQ(rec.ReadString(name, "d"), ini.ReadString("Rec", name, "d")) << name;
    EXPECT_EQ(rec.ReadInteger(name, 7), ini.ReadInteger("Rec", name, 7)) << name;
    EXPECT_EQ(rec.ValueExists(name), ini.ValueExists("Rec", name)) << name;
  }
  EXPECT_EQ(rec.ReadString("TEXT", "d"), "Gr\xC3\xBC\xC3\x9F" "e");  // names compare without case
  EXPECT_TRUE(rec.ReadBool("dword", false));
  using Items = std::vector<std::pair<long long, std::string>>;
  EXPECT_EQ(rec.Numbered("Item", 0, 1000000000), (Items{{0, "item0"}, {2, "Item2"}, {10, "Item10"}}));
  EXPECT_EQ(rec.Numbered("Item", 1, 10), (Items{{2, "Item2"}}));
  EXPECT_EQ(tk::NumberedIndexes({"3", "1", "01", "x", "3", "12"}, "", 1, 4), (std::vector<long long>{1, 3}));

  const tk::TRegSection none = ini.ReadSectionValues("NoSuchSection");
  EXPECT_FALSE(none.Exists());
  EXPECT_EQ(none.ReadString("Text", "d"), "d");
}

TEST_F(RegIniFile, DeletingValuesAndSections) {
  tk::TRegIniFile ini(kRoot);
  ini.WriteString("General", "A", "1");
  ini.WriteString("General", "B", "2");
  ini.WriteString("Profiles\\One", "x", "1");
  ini.WriteString("Profiles\\One\\ze", "PC1", "3");
  ini.WriteString("Profiles\\Two", "x", "2");
  EXPECT_TRUE(ini.ValueExists("General", "A"));
  EXPECT_TRUE(ini.DeleteValue("General", "A"));
  EXPECT_FALSE(ini.ValueExists("General", "A"));
  EXPECT_TRUE(ini.DeleteValue("General", "A"));         // already gone
  EXPECT_TRUE(ini.DeleteValue("NoSection", "A"));       // never there
  EXPECT_FALSE(ini.SectionExists("NoSection"));         // and not created by it
  EXPECT_TRUE(ini.DeleteKey("General", "B"));           // the toolkit's name deletes a value
  EXPECT_TRUE(ini.SectionExists("General"));
  EXPECT_EQ(qbtest::RegValueNames("rttest\\General").size(), 0u);

  EXPECT_EQ(Sorted(ini.ReadSections()), (std::vector<std::string>{"General", "Profiles"}));
  EXPECT_EQ(Sorted(ini.ReadSections("Profiles")), (std::vector<std::string>{"One", "Two"}));
  EXPECT_TRUE(ini.ReadSections("Missing").empty());
  EXPECT_TRUE(ini.KeyExists("Profiles\\One\\ze"));
  EXPECT_TRUE(ini.EraseSection("Profiles\\One"));  // with everything below it
  EXPECT_FALSE(ini.SectionExists("Profiles\\One"));
  EXPECT_TRUE(ini.SectionExists("Profiles\\Two"));
  EXPECT_FALSE(ini.EraseSection(""));
  EXPECT_TRUE(ini.SectionExists(""));
}

TEST_F(RegIniFile, ListsValueNamesOfASection) {
  tk::TRegIniFile ini(kRoot);
  ini.WriteString("Schedules\\0", "t", "0.5");
  ini.WriteString("Schedules\\0", "p", "\"Docs\" ");
  ini.WriteString("", "RootValue", "r");
  EXPECT_EQ(Sorted(ini.ReadSection("Schedules\\0")), (std::vector<std::string>{"p", "t"}));
  EXPECT_EQ(ini.ReadSection(""), std::vector<std::string>{"RootValue"});
  EXPECT_TRUE(ini.ReadSection("Missing").empty());
}

TEST_F(RegIniFile, BaseKeyConstructorAndFailures) {
  {
    tk::TRegIniFile ini(HKEY_CURRENT_USER, kRoot);
    EXPECT_TRUE(ini.WriteInteger("", "n", 5));
  }
  tk::TRegIniFile again(kRoot);  // a second store sees the first one's value
  EXPECT_EQ(again.ReadInteger("", "n", 0), 5);
  // A root that cannot be opened: defaults and false, no throw.
  tk::TRegIniFile unopened(HKEY(nullptr), "x");
  EXPECT_FALSE(unopened.IsOpen());
  EXPECT_EQ(unopened.ReadInteger("s", "n", 3), 3);
  EXPECT_FALSE(unopened.WriteBool("s", "n", true));
  EXPECT_FALSE(unopened.DeleteValue("s", "n"));
}
