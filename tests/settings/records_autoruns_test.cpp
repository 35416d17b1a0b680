// Autoruns against the real registry: storage rules, texts, label conflicts, renames.
#include <gtest/gtest.h>

#include "settings/fernoini.h"
#include "settings/qbautoruns.h"
#include "support/testutil.h"

using qbtest::RegRead;
using qbtest::RegValueNames;
using qbtest::RegWrite;
using Names = std::vector<std::string>;

namespace {

TQbAutoRun* Entry(const std::string& media, const std::string& days, const std::string& profiles = "") {
  auto* a = new TQbAutoRun;
  a->Media = media;
  a->Days = days;
  a->Profiles = profiles;
  return a;
}

class AutoRuns : public testing::Test {
 protected:
  void SetUp() override { qbtest::ClearQuillbankKey(); }
  void TearDown() override { qbtest::ClearQuillbankKey(); }
};

}  // namespace

TEST_F(AutoRuns, DefaultsSaveLabelsProfilesAndAsk) {
  TQbAutoRun a;
  RegWrite("AutoRun\\1", "c", "116");
  RegWrite("AutoRun\\1", "dp", "X");
  a.SaveToRegistry("AutoRun\\1");
  EXPECT_EQ(RegValueNames("AutoRun\\1"), (Names{"a", "m", "p"}));
  EXPECT_EQ(RegRead("AutoRun\\1", "a"), "0");
  EXPECT_EQ(RegRead("AutoRun\\1", "m"), "");
}

TEST_F(AutoRuns, ListRoundTripsThroughTheRegistry) {
  {
    TQbAutoRuns list;
    EXPECT_EQ(list.GetCount(), 0);
    list.Add(Entry("BACKUP,\"My Disk\"", "1000001", "Docs,\"My Files\""));
    list.GetItem(0)->Action = 'b';
    list.GetItem(0)->Ask = true;
    list.GetItem(0)->Deselected = "Docs";
    list.Add(Entry("SPARE", "1111111"));
    list.SaveAll();
  }
  EXPECT_EQ(RegRead("Options\\General", "AutoRunCount"), "2");
  EXPECT_EQ(RegRead("AutoRun\\1", "c"), "98");
  EXPECT_EQ(RegRead("AutoRun\\1", "a"), "1");
  EXPECT_EQ(RegValueNames("AutoRun\\1"), (Names{"a", "c", "d", "dp", "m", "p"}));
  RegWrite("AutoRun\\2", "d", "010101011");
  RegWrite("AutoRun\\2", "c", "run");  // not a number: the default letter, and said
  std::string error;
  TQbAutoRuns list(&error);
  EXPECT_EQ(error, "Value \"c\" in AutoRun\\2 is not a number: \"run\"");
  ASSERT_EQ(list.GetCount(), 2);
  const TQbAutoRun& a = *list.GetItem(0);
  EXPECT_EQ(a.Media, "BACKUP,\"My Disk\"");
  EXPECT_EQ(a.Days, "1000001");
  EXPECT_EQ(a.Action, 'b');
  EXPECT_EQ(a.Profiles, "Docs,\"My Files\"");
  EXPECT_TRUE(a.Ask);
  EXPECT_EQ(a.Deselected, "Docs");
  EXPECT_EQ(list.GetItem(1)->Days, "0101010");
  EXPECT_EQ(list.GetItem(1)->Action, 'r');
  EXPECT_EQ(list.GetItem(2), nullptr);

  EraseStoredAutoRuns();
  EXPECT_EQ(RegRead("Options\\General", "AutoRunCount"), "<missing>");
  EXPECT_EQ(RegValueNames("AutoRun\\1"), Names{});
}

// A value not stored as text and an action that is no letter are named; a short mask has
// days off, Monday first.
TEST_F(AutoRuns, DamagedValuesAreNamedAndShortMasksPadded) {
  TFernoIni().SetAutoRunCount(1);
  RegWrite("AutoRun\\1", "d", "1");
  RegWrite("AutoRun\\1", "c", "0");
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillbank\\AutoRun\\1", L"a", REG_DWORD, "\1\0\0", 4);
  std::string error;
  TQbAutoRuns list(&error);
  EXPECT_EQ(error,
            "Value \"a\" in AutoRun\\1 is stored as a number, not as text: read as \"1\"\r\n"
            "Value \"c\" in AutoRun\\1 is not an action (114 Run, 116 Test or 98 Run & Test): \"0\"");
  EXPECT_EQ(list.GetItem(0)->Days, "1000000");
}

TEST_F(AutoRuns, Texts) {
  TQbAutoRun a;
  EXPECT_EQ(a.GetDaysText(), "All 7 days");
  a.Days = "1010100";
  EXPECT_EQ(a.GetDaysText(), "Mon Wed Fri");
  a.Days = "0000001";
  EXPECT_EQ(a.GetDaysText(), "Sun");
  EXPECT_EQ(a.GetActionText(), "Run");
  a.Action = 't';
  EXPECT_EQ(a.GetActionText(), "Test");
  a.Action = 'b';
  EXPECT_EQ(a.GetActionText(), "Run & Test");
  EXPECT_EQ(a.GetAskText(), "No");
  a.Ask = true;
  EXPECT_EQ(a.GetAskText(), "Yes");
}

TEST_F(AutoRuns, LabelsConflictOnlyOnASharedDay) {
  TQbAutoRuns list;
  list.Add(Entry("BACKUP", "1000000"));
  list.Add(Entry("Spare,backup", "0100000"));
  EXPECT_EQ(list.FindMediaConflict(), "");
  list.GetItem(1)->Days = "1111100";
  EXPECT_EQ(list.FindMediaConflict(), "BACKUP");
  list.FreeItems();
  list.Add(Entry("Disk1,\"My Disk\"", "0000011"));
  list.Add(Entry("\"MY DISK\"", "0000001"));
  EXPECT_EQ(list.FindMediaConflict(), "My Disk");
  list.Remove(list.GetItem(1));
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.FindMediaConflict(), "");
}

TEST_F(AutoRuns, RenameRewritesEveryEntryAndSavesOnlyOnAMatch) {
  {
    TQbAutoRuns list;
    list.Add(Entry("A", "1111111", "docs, \"My Files\""));
    list.GetItem(0)->Deselected = "docs";
    list.Add(Entry("B", "1111111", "Other  ,  Third"));
    list.SaveAll();
  }
  TQbAutoRuns list;
  EXPECT_TRUE(list.UsesProfile("MY FILES"));
  EXPECT_FALSE(list.UsesProfile("My"));

  EXPECT_FALSE(list.RenameProfile("Nope", "X"));
  EXPECT_EQ(list.GetItem(1)->Profiles, "Other,Third");    // rewritten in memory
  EXPECT_EQ(RegRead("AutoRun\\2", "p"), "Other  ,  Third");  // but not saved

  EXPECT_TRUE(list.RenameProfile("Docs", "My Papers"));
  EXPECT_EQ(RegRead("AutoRun\\1", "p"), "\"My Papers\",\"My Files\"");
  EXPECT_EQ(RegRead("AutoRun\\2", "p"), "Other,Third");
  EXPECT_EQ(list.GetItem(0)->Deselected, "docs");
  EXPECT_FALSE(list.UsesProfile("docs"));
}

TEST(CommaList, ItemsWithoutRegardToCase) {
  EXPECT_TRUE(IsInCommaList("backup", "Spare,BACKUP"));
  EXPECT_TRUE(IsInCommaList("My Disk", "\"my disk\",X"));
  EXPECT_FALSE(IsInCommaList("My", "\"My Disk\""));
  EXPECT_FALSE(IsInCommaList("x", ""));
}
