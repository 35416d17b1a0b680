// The compression record read into the writer's options, and the entry run over them.
#include "ziplib/dzip_edge.h"

#include <new>

#include "ziplib/volumes_split.h"
#include "ziplib/zipwriter.h"

namespace ziplib {
namespace {

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }
bool B(dz::DzBool v) { return v != 0; }

DzipOptions ReadOptions(const dz::ZipCmdRecord& r) {
  DzipOptions o;
  o.function = r.functionCode;
  o.zipFile = Text(r.lpszZipFile);
  o.itemList = Text(r.lpszItemList);
  o.tempPath = Text(r.lpszTempPath);
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
  o.mv = r.wMultiVolControl;
  o.zso = r.wZipSubOptions;
  // Reserved 3 holds the address of the volume size only in a split onto disk.
  const uint16_t split = dz::MV_USEMULTI | dz::MV_TOHD;
  if ((o.mv & split) == split && o.function == dz::ZIP_ADD && r.reserved3)
    o.volumeSize = *static_cast<const int64_t*>(r.reserved3);
  return o;
}

}  // namespace

int32_t DzipExecute(const dz::ZipCmdRecord& r) {
  try {
    const DzipOptions o = ReadOptions(r);
    CallbackReporter rep(r, CallbackReporter::Entry::Dzip, o.Sub(dz::ZSO_MINORCANCEL));
    // A record that asks for volumes splits an existing zip; it never writes one from files.
    return (o.mv & dz::MV_USEMULTI) ? RunSplit(o, rep) : RunZip(o, rep);
  } catch (const std::bad_alloc&) {
    return dz::ZE_MEM;
  } catch (...) {
    return dz::ZE_LOGIC;
  }
}

}  // namespace ziplib
