// The extraction record read into the extraction's options, the entry's functions run
// over them, and the cursor of the next-item function, kept per caller.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <set>

#include "ziplib/dunzip_run.h"
#include "ziplib/dzip_edge.h"

namespace ziplib {
namespace {

using dz::UnzipCmdRecord;

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }
bool B(dz::DzBool v) { return v != 0; }

DunzipOptions ReadOptions(const UnzipCmdRecord& r) {
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
  o.uso = r.wUnzipSubOptions;
  return o;
}

// Cursor of function 2 and the re-entry guard, per caller (the user data).
struct Cursor {
  std::vector<ZipEntry> items;
  size_t next = 0;
};

std::mutex g_mutex;
std::map<const void*, Cursor> g_cursors;
std::set<const void*> g_busy;

const void* CallerKey(const UnzipCmdRecord& r) {
  if (r.messageUserData) return r.messageUserData;
  if (r.majorUserData) return r.majorUserData;
  return r.minorUserData;
}

int32_t OpenAndCount(UnzipCmdRecord& r, const DunzipOptions& o, Reporter& rep) {
  std::vector<ZipEntry> items;
  const int32_t code = ListItems(o, rep, &items);
  std::lock_guard<std::mutex> lock(g_mutex);
  Cursor& cur = g_cursors[CallerKey(r)];
  cur = Cursor();
  if (code != dz::UE_OK) return code;
  cur.items = std::move(items);
  r.itemCount = int32_t(std::min<size_t>(cur.items.size(), INT32_MAX));
  return dz::UE_OK;
}

void DateText(uint16_t date, uint16_t time, char* out, size_t cap) {
  snprintf(out, cap, "%02u/%02u/%02u %02u:%02u:%02u", (date >> 5) & 15u, date & 31u, ((date >> 9) + 80u) % 100u,
           (time >> 11) & 31u, (time >> 5) & 63u, (time & 31u) * 2u);
}

int32_t NextItem(UnzipCmdRecord& r) {
  dz::UnzipInfoBuffer* info = r.lpInfoBuffer;
  if (!info || info->infoSize < dz::kUnzipInfoBufferSize) return dz::UE_BADCMD;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_cursors.find(CallerKey(r));
  if (it == g_cursors.end() || it->second.next >= it->second.items.size()) return dz::UE_INDEX;
  Cursor& cur = it->second;
  const ZipEntry& e = cur.items[cur.next];
  std::memset(reinterpret_cast<uint8_t*>(info) + 4, 0, dz::kUnzipInfoBufferSize - 4);
  info->method = e.EffectiveMethod();
  info->compressedSize = uint32_t(e.compressedSize);
  info->compressedSizeHigh = uint32_t(e.compressedSize >> 32);
  info->uncompressedSize = uint32_t(e.uncompressedSize);
  info->uncompressedSizeHigh = uint32_t(e.uncompressedSize >> 32);
  info->attributes = (e.WindowsAttributes() | (e.IsDirectory() ? FILE_ATTRIBUTE_DIRECTORY : 0)) & 0x7FFF;
  if (e.IsEncrypted()) info->attributes |= dz::kItemEncrypted;
  info->crc32 = e.crc;
  info->dosDate = e.dosDate;
  info->dosTime = e.dosTime;
  info->gpFlags = e.flags;
  DateText(e.dosDate, e.dosTime, info->dateTimeText, sizeof info->dateTimeText);
  std::memcpy(info->name, e.name.data(), std::min(e.name.size(), sizeof info->name - 1));
  info->itemIndex = uint32_t(cur.next);
  info->itemCount = uint32_t(cur.items.size());
  if (++cur.next >= cur.items.size()) cur.items = std::vector<ZipEntry>();  // walked through: free it
  return dz::UE_OK;
}

}  // namespace

int32_t DunzipExecute(UnzipCmdRecord* record) {
  if (!record || record->recordSize != sizeof(UnzipCmdRecord)) return dz::UE_BADCMD;
  UnzipCmdRecord& r = *record;
  const void* key = CallerKey(r);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_busy.insert(key).second) return dz::UE_BUSY;
  }
  int32_t code;
  try {
    const DunzipOptions o = ReadOptions(r);
    CallbackReporter rep(r, CallbackReporter::Entry::Dunzip, o.Sub(dz::USO_MINORCANCEL), B(r.QuietFlag));
    switch (r.functionCode) {
      case dz::UNZIP_OPEN: code = OpenAndCount(r, o, rep); break;
      case dz::UNZIP_NEXTITEM: code = NextItem(r); break;
      case dz::UNZIP_COUNTMATCHING: code = CountMatching(o, rep, &r.itemCount); break;
      case dz::UNZIP_EXTRACT: code = ExtractOrTest(o, rep, &r.itemCount); break;
      default: code = dz::UE_BADCMD; break;
    }
  } catch (const std::bad_alloc&) {
    code = dz::UE_MEM;
  } catch (...) {
    code = dz::UE_STRUCT;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_busy.erase(key);
  return code;
}

}  // namespace ziplib
