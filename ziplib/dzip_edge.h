#pragma once
// The DLL edge of the zip library: only it (dzip_edge.cpp for compression, dunzip_edge.cpp
// for extraction, and the entries in dll/) reads the command records, once per call, and
// turns them into the core's own options, and the caller's callbacks into its Reporter.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ziplib/dzrecords.h"
#include "ziplib/reporter.h"

namespace ziplib {

// Runs the record's compression command, or its split into volumes (MV_USEMULTI);
// returns the result code.
int32_t DzipExecute(const dz::ZipCmdRecord& r);
// The whole extraction entry: checks the record, keeps one caller from re-entering,
// dispatches its function: open and count (1), next item (2), count matching (3),
// extract or test (8).
int32_t DunzipExecute(dz::UnzipCmdRecord* record);

// The caller's callbacks as the core reports, on the calling thread only, as each entry's
// callers expect: for compression a -1 answer stops the run (a minor one only with
// minorCancels); for extraction any negative answer stops, a minor one (with minorCancels)
// only the item, every message carries its icon and quiet holds the warnings back.
class CallbackReporter final : public Reporter {
 public:
  enum class Entry { Dzip, Dunzip };
  // Both records name their callbacks alike.
  template <typename Record>
  CallbackReporter(const Record& r, Entry entry, bool minorCancels, bool quiet = false)
      : major_(r.MajorCallback), minor_(r.MinorCallback), message_(r.MessageCallback), majorData_(r.majorUserData),
        minorData_(r.minorUserData), messageData_(r.messageUserData), entry_(entry), minorCancels_(minorCancels),
        quiet_(quiet) {}

  bool Major(const std::string& item, int percent) override {
    if (major_ && Stops(major_(item.c_str(), percent, majorData_))) cancelled_ = true;
    return cancelled_;
  }
  bool Minor(const std::string& item, int percent) override {
    const bool stop = minor_ && Stops(minor_(item.c_str(), percent, minorData_)) && minorCancels_;
    if (entry_ == Entry::Dunzip) return stop;   // the item is skipped, the run goes on
    if (stop) cancelled_ = true;
    return cancelled_;
  }
  void Error(int code, const std::string& text) override { Message(dz::DZ_MSG_ERROR, MB_ICONERROR, code, text); }
  void Warning(const std::string& text) override {
    if (!quiet_) Message(dz::DZ_MSG_WARNING, MB_ICONWARNING, 0, text);
  }
  void FileError(int msgId, const std::string& text, unsigned long systemError = 0) override {
    Message(msgId, MB_ICONERROR, static_cast<int32_t>(systemError), text);
  }
  std::string Query(int p1) override {
    if (!message_) return {};
    Message(dz::DZ_MSG_QUERY, 0, p1, std::string());
    return std::string(buf1_.data());
  }
  bool Cancelled() const override { return cancelled_; }

 private:
  bool Stops(int32_t answer) const { return entry_ == Entry::Dzip ? answer == -1 : answer < 0; }
  int32_t Message(int32_t id, int32_t mbType, int32_t p1, const std::string& text) {
    if (!message_) return 0;
    // Two writable buffers of the documented capacity; texts copied with bounds.
    std::memset(buf1_.data(), 0, buf1_.size());
    std::memset(buf2_.data(), 0, buf2_.size());
    std::memcpy(buf1_.data(), text.data(), std::min(text.size(), buf1_.size() - 1));
    const int32_t rc =
        message_(id, entry_ == Entry::Dunzip ? mbType : 0, p1, 0, buf1_.data(), buf2_.data(), messageData_);
    buf1_.back() = '\0';
    buf2_.back() = '\0';
    return rc;
  }

  dz::TStatusCallbackFn major_, minor_;
  dz::TMessageCallbackFn message_;
  void *majorData_, *minorData_, *messageData_;
  Entry entry_;
  bool minorCancels_, quiet_;
  bool cancelled_ = false;
  std::vector<char> buf1_ = std::vector<char>(dz::kDzMsgBufferSize), buf2_ = std::vector<char>(dz::kDzMsgBufferSize);
};

}  // namespace ziplib
