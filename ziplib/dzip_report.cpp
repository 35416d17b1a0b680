// The command records turned into the core's options, and the callbacks of either record
// called as the core reports.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "ziplib/dzip_edge.h"
#include "ziplib/volumes_split.h"

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
  // Reserved 3 holds the address of the volume size only in a split onto disk.
  const uint16_t split = dz::MV_USEMULTI | dz::MV_TOHD;
  if ((o.mv & split) == split && o.function == dz::ZIP_ADD && r.reserved3)
    o.volumeSize = *static_cast<const int64_t*>(r.reserved3);
  return o;
}

DunzipOptions ReadOptions(const dz::UnzipCmdRecord& r) {
  DunzipOptions o;
  o.zipFile = Text(r.lpszZipFile);
  o.fileSpec = Text(r.lpszFileSpec);
  o.destination = Text(r.lpszDestination);
  o.password = Text(r.lpszDecryptCode);
  o.overwrite = B(r.OverWriteFlag);
  o.test = B(r.TestFlag);
  o.noDirNames = B(r.NoDirectoryNamesFlag);
  o.recurse = B(r.RecurseFlag);
  o.noDirItems = B(r.NoDirectoryItemsFlag);
  o.decrypt = B(r.DecryptFlag);
  o.overwriteReadOnly = (r.wUnzipSubOptions & dz::USO_OVERWRITE_RO) != 0;
  o.leavePartial = (r.wUnzipSubOptions & dz::USO_LEAVEPARTIAL) != 0;
  o.ansiNames = (r.wUnzipSubOptions & dz::USO_ANSI_NAMES) != 0;
  o.joinVolumes = (r.wUnzipSubOptions & dz::USO_MVFROMHD) != 0;
  return o;
}

int DzipExecute(const dz::ZipCmdRecord& r) {
  try {
    const DzipOptions o = ReadOptions(r);
    CallbackReporter rep(ReadCallbacks(r), CallbackReporter::Entry::Dzip, o.Sub(dz::ZSO_MINORCANCEL));
    // A record that asks for volumes splits an existing zip; it never writes one from files.
    return (o.mv & dz::MV_USEMULTI) ? RunSplit(o, rep) : RunZip(o, rep);
  } catch (const std::bad_alloc&) {
    return dz::ZE_MEM;
  } catch (...) {
    return dz::ZE_LOGIC;
  }
}

CallbackReporter::CallbackReporter(const DzipCallbacks& callbacks, Entry entry, bool minorCancels, bool quiet)
    : c_(callbacks),
      entry_(entry),
      minorCancels_(minorCancels),
      quiet_(quiet),
      buf1_(dz::kDzMsgBufferSize),
      buf2_(dz::kDzMsgBufferSize) {}

bool CallbackReporter::Major(const std::string& item, int percent) {
  if (c_.major && Stops(c_.major(item.c_str(), percent, c_.majorData))) cancelled_ = true;
  return cancelled_;
}

bool CallbackReporter::Minor(const std::string& item, int percent) {
  const bool stop = c_.minor && Stops(c_.minor(item.c_str(), percent, c_.minorData)) && minorCancels_;
  if (entry_ == Entry::Dunzip) return stop;   // the item is skipped, the run goes on
  if (stop) cancelled_ = true;
  return cancelled_;
}

int32_t CallbackReporter::Message(int32_t id, int32_t mbType, int32_t p1, const std::string& text) {
  if (!c_.message) return 0;
  // Two writable buffers of the documented capacity; texts copied with bounds.
  std::memset(buf1_.data(), 0, buf1_.size());
  std::memset(buf2_.data(), 0, buf2_.size());
  std::memcpy(buf1_.data(), text.data(), std::min(text.size(), buf1_.size() - 1));
  const int32_t rc = c_.message(id, entry_ == Entry::Dunzip ? mbType : 0, p1, 0, buf1_.data(), buf2_.data(),
                                c_.messageData);
  buf1_.back() = '\0';
  buf2_.back() = '\0';
  return rc;
}

void CallbackReporter::Error(int code, const std::string& text) { Message(dz::DZ_MSG_ERROR, MB_ICONERROR, code, text); }

void CallbackReporter::Warning(const std::string& text) {
  if (!quiet_) Message(dz::DZ_MSG_WARNING, MB_ICONWARNING, 0, text);
}

void CallbackReporter::FileError(int msgId, const std::string& text) { Message(msgId, MB_ICONERROR, 0, text); }

std::string CallbackReporter::Query(int p1) {
  if (!c_.message) return {};
  Message(dz::DZ_MSG_QUERY, 0, p1, std::string());
  return std::string(buf1_.data());
}

}  // namespace ziplib
