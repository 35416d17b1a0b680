// The compression record turned into the writer's options and callbacks, and the callbacks
// called.
#include <algorithm>
#include <cstring>
#include <new>

#include "ziplib/dzip_edge.h"

namespace ziplib {
namespace {
std::string Text(const char* p) { return p ? std::string(p) : std::string(); }
bool B(dz::DzBool v) { return v != 0; }
}  // namespace

DzipOptions ReadOptions(const dz::ZipCmdRecord& r) {
  DzipOptions o;
  o.function = r.functionCode;
  o.zipFile = Text(r.lpszZipFile);
  o.itemList = Text(r.lpszItemList);
  o.tempPath = Text(r.lpszTempPath);
  o.commentGiven = r.lpszComment != nullptr;
  o.comment = Text(r.lpszComment);
  o.date = Text(r.lpszDate);
  o.include = Text(r.lpszIncludeFollowing);
  o.exclude = Text(r.lpszExcludeFollowing);
  o.storeSuffixes = Text(r.lpszStoreSuffixes);
  o.factor = r.CompFactor;
  if (o.factor >= 0 && o.factor <= 9) {
    o.level = o.factor;
  } else if (o.factor >= 11 && o.factor <= 19) {
    o.level = o.factor - 10;
    o.deflate64 = true;
  } else {
    o.level = 5;  // 10, below 0 or above 19
  }
  o.recurse = B(r.RecurseFlag);
  o.pathForTemp = B(r.PathForTempFlag);
  o.deleteOriginal = B(r.DeleteOriginalFlag);
  o.growExisting = B(r.GrowExistingFlag);
  o.noDirNames = B(r.NoDirectoryNamesFlag);
  o.addComment = B(r.AddCommentFlag);
  o.afterDate = B(r.AfterDateFlag);
  o.oldAsLatest = B(r.OldAsLatestFlag);
  o.includeOnly = B(r.IncludeOnlyFollowingFlag);
  o.excludeOn = B(r.ExcludeFollowingFlag);
  o.noDirEntries = B(r.NoDirectoryEntriesFlag);
  o.includeSysHidden = B(r.IncludeSysHiddenFlag);
  o.storeSuffixesOn = B(r.DontCompressTheseSuffixesFlag);
  o.diagnostic = B(r.bDiagnostic);
  o.encrypt = B(r.EncryptFlag);
  o.password = Text(r.lpszEncryptCode);
  o.largeFiles = B(r.LargeZIPFilesFlag);
  o.quiet = B(r.QuietFlag);
  o.mv = r.wMultiVolControl;
  o.zso = r.wZipSubOptions;
  return o;
}

DzipCallbacks ReadCallbacks(const dz::ZipCmdRecord& r) {
  DzipCallbacks c;
  c.major = r.MajorCallback;
  c.majorData = r.majorUserData;
  c.minor = r.MinorCallback;
  c.minorData = r.minorUserData;
  c.message = r.MessageCallback;
  c.messageData = r.messageUserData;
  return c;
}

int RunZip(const dz::ZipCmdRecord& r) {
  try {
    return RunZip(ReadOptions(r), ReadCallbacks(r));
  } catch (const std::bad_alloc&) {
    return dz::ZE_MEM;
  } catch (...) {
    return dz::ZE_LOGIC;
  }
}

Reporter::Reporter(const DzipCallbacks& callbacks, bool minorCancels)
    : c_(callbacks), minorCancels_(minorCancels), buf1_(dz::kDzMsgBufferSize), buf2_(dz::kDzMsgBufferSize) {}

bool Reporter::Major(const std::string& item, int percent) {
  if (c_.major && c_.major(item.c_str(), percent, c_.majorData) == -1) cancelled_ = true;
  return cancelled_;
}

bool Reporter::Minor(const std::string& item, int percent) {
  if (c_.minor && c_.minor(item.c_str(), percent, c_.minorData) == -1 && minorCancels_) cancelled_ = true;
  return cancelled_;
}

int32_t Reporter::Message(int32_t id, int32_t p1, const std::string& text) {
  if (!c_.message) return 0;
  // Two writable buffers of the documented capacity; texts copied with bounds.
  std::memset(buf1_.data(), 0, buf1_.size());
  std::memset(buf2_.data(), 0, buf2_.size());
  std::memcpy(buf1_.data(), text.data(), std::min(text.size(), buf1_.size() - 1));
  const int32_t rc = c_.message(id, 0, p1, 0, buf1_.data(), buf2_.data(), c_.messageData);
  buf1_.back() = '\0';
  buf2_.back() = '\0';
  return rc;
}

void Reporter::Error(int code, const std::string& text) { Message(dz::DZ_MSG_ERROR, code, text); }
void Reporter::Warning(const std::string& text) { Message(dz::DZ_MSG_WARNING, 0, text); }
void Reporter::FileError(int msgId, const std::string& text) { Message(msgId, 0, text); }

std::string Reporter::Query(int p1) {
  if (!c_.message) return {};
  Message(dz::DZ_MSG_QUERY, p1, std::string());
  return std::string(buf1_.data());
}

}  // namespace ziplib
