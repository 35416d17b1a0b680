#pragma once
// The DLL edge: each entry's command record read once and turned into the core's own
// options, and the caller's callbacks put behind the core's Reporter. Only the edge (this
// header, dzip_report.cpp, dunzip_edge.cpp and the entries in dll/) reads the records.
#include <cstdint>
#include <string>
#include <vector>

#include "ziplib/dunzip_run.h"
#include "ziplib/dzrecords.h"
#include "ziplib/reporter.h"
#include "ziplib/zipwriter.h"

namespace ziplib {

// The caller's callbacks with their user data (any may be absent).
struct DzipCallbacks {
  dz::TStatusCallbackFn major = nullptr, minor = nullptr;
  void* majorData = nullptr;
  void* minorData = nullptr;
  dz::TMessageCallbackFn message = nullptr;
  void* messageData = nullptr;
};

// Both records name their callbacks alike.
template <typename Record>
DzipCallbacks ReadCallbacks(const Record& r) {
  return {r.MajorCallback, r.MinorCallback, r.majorUserData, r.minorUserData, r.MessageCallback, r.messageUserData};
}
DzipOptions ReadOptions(const dz::ZipCmdRecord& r);
DunzipOptions ReadOptions(const dz::UnzipCmdRecord& r);

// The caller's callbacks as the core reports, on the calling thread only. As each entry's
// callers expect: for compression a -1 answer stops the run (a minor one only with
// minorCancels); for extraction any negative answer stops, a minor one (with minorCancels)
// only the item, every message carries its icon and quiet holds the warnings back.
class CallbackReporter final : public Reporter {
 public:
  enum class Entry { Dzip, Dunzip };
  CallbackReporter(const DzipCallbacks& callbacks, Entry entry, bool minorCancels, bool quiet = false);
  bool Major(const std::string& item, int percent) override;
  bool Minor(const std::string& item, int percent) override;
  void Error(int code, const std::string& text) override;
  void Warning(const std::string& text) override;
  void FileError(int msgId, const std::string& text) override;
  std::string Query(int p1) override;
  bool Cancelled() const override { return cancelled_; }

 private:
  bool Stops(int32_t answer) const { return entry_ == Entry::Dzip ? answer == -1 : answer < 0; }
  int32_t Message(int32_t id, int32_t mbType, int32_t p1, const std::string& text);
  DzipCallbacks c_;
  Entry entry_;
  bool minorCancels_, quiet_;
  bool cancelled_ = false;
  std::vector<char> buf1_, buf2_;
};

// Runs the record's compression command, or its split into volumes (MV_USEMULTI);
// returns the result code.
int DzipExecute(const dz::ZipCmdRecord& r);
// The whole extraction entry: checks the record, keeps one caller from re-entering,
// dispatches its function: open and count (1), next item (2), count matching (3),
// extract or test (8).
int32_t DunzipExecute(dz::UnzipCmdRecord* record);

}  // namespace ziplib
