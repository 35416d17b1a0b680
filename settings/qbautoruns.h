#pragma once
// Runs triggered by a medium or drive with a known volume label, on chosen week days;
// the list lives in AutoRun\1, AutoRun\2, ... (the same key in every layout).
//
// LoadFromRegistry has the result of the other records (settings/qbprofile.h): false
// and a line in *error (and in Warnings) for each value not stored as plain text and for
// an action that is no known letter. The entry still loads, read by the store's rule;
// one whose action is unknown is not run.
#include <memory>
#include <string>
#include <vector>

inline constexpr const char* AutoRunKey = "AutoRun";

// True when name is an item of the comma text, compared without regard to case.
bool IsInCommaList(const std::string& name, const std::string& commaText);

// 'r', 't' or 'b'.
bool IsAutoRunAction(char action);

class TQbAutoRun {
 public:
  TQbAutoRun() = default;

  bool LoadFromRegistry(const std::string& key, std::string* error = nullptr);
  // m, p and a always; d, c and dp only when not at their defaults.
  void SaveToRegistry(const std::string& key) const;

  std::string GetActionText() const;  // "Run", "Test", "Run & Test"
  std::string GetDaysText() const;    // "All 7 days" or "Mon Wed Fri"
  std::string GetAskText() const;     // "Yes" / "No"
  bool SharesDayWith(const std::string& otherDays) const;

  std::string Media;              // volume labels, comma text
  std::string Days = "1111111";   // Monday first
  char Action = 'r';              // 'r' run, 't' test, 'b' run then test
  std::string Profiles;           // profile names, comma text
  bool Ask = false;               // ask before running
  std::string Deselected;         // profiles unticked in the ask dialog, comma text
  std::string Warnings;           // the lines of its load, "" when it read cleanly
};

class TQbAutoRuns {
 public:
  explicit TQbAutoRuns(std::string* error = nullptr);
  ~TQbAutoRuns();
  TQbAutoRuns(const TQbAutoRuns&) = delete;
  TQbAutoRuns& operator=(const TQbAutoRuns&) = delete;

  // Loads the stored entries 1..AutoRunCount in order; a number without its key is
  // left out.
  bool LoadAll(std::string* error = nullptr);
  // Writes AutoRunCount and entries 1..count; stored entries beyond the count stay
  // (callers erase the stored ones first).
  void SaveAll() const;

  void Add(TQbAutoRun* item);  // takes ownership
  void Remove(TQbAutoRun* item);
  int GetCount() const { return static_cast<int>(items_.size()); }
  TQbAutoRun* GetItem(int index) const;  // nullptr outside the list
  void FreeItems();

  // The first label that two entries sharing a week day both list; "" when none.
  std::string FindMediaConflict() const;
  // Every item equal to oldName becomes newName; Profiles of every entry is
  // rewritten as comma text; saves when a name matched and returns whether one did.
  bool RenameProfile(const std::string& oldName, const std::string& newName);
  bool UsesProfile(const std::string& name) const;

 private:
  std::vector<std::unique_ptr<TQbAutoRun>> items_;
};

// What a program that loaded the entries says of the lines of their load.
std::string UnreadAutoRunsText(const std::string& lines);

// The registry key of entry n (1-based).
std::string AutoRunEntryKey(int n);
// Deletes every stored entry and AutoRunCount.
void EraseStoredAutoRuns();
