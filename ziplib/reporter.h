#pragma once
// How the zip library's core tells its caller what happens and asks what it needs: the
// writer, the selection, the pipeline, the log, the split, the join and the extraction
// report only through this. The DLL edge implements it over the caller's callbacks.
#include <string>

namespace ziplib {

class Reporter {
 public:
  virtual ~Reporter() = default;
  // Progress; true when the caller asked to stop (a minor stop counts only when the run
  // lets it: a compression then stops, an extraction skips the item).
  virtual bool Major(const std::string& item, int percent) = 0;
  virtual bool Minor(const std::string& item, int percent) = 0;
  virtual void Error(int code, const std::string& text) = 0;       // message 11
  virtual void Warning(const std::string& text) = 0;               // message 12
  // Messages 2, 3, 4; systemError: the system's code of the failed read or write, when known.
  virtual void FileError(int msgId, const std::string& text, unsigned long systemError = 0) = 0;
  virtual std::string Query(int p1) = 0;                           // message 13; "" unanswered
  // A stop asked for earlier in the run.
  virtual bool Cancelled() const = 0;
};

}  // namespace ziplib
