#include "ziplib/volumes_join.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "toolkit/strings.h"
#include "toolkit/tempfile.h"
#include "ziplib/dzcodes.h"
#include "ziplib/fileio.h"
#include "ziplib/volumes_split.h"
#include "ziplib/zipformat.h"

namespace ziplib {
namespace {

struct Volume {
  std::string path;
  uint64_t size = 0;
  uint64_t skip = 0;  // split signature at the start of the first volume
  uint64_t base = 0;  // offset of its first kept byte in the joined zip
};

File OpenRead(const std::string& path) {
  File f;
  f.Open(tk::Widen(path), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  return f;
}

uint64_t FileSizeOf(const File& f) {
  uint64_t size = 0;
  return f.Size(&size) ? size : 0;
}

// Reads len bytes at a joined-zip offset across volume boundaries.
bool ReadJoined(const std::vector<Volume>& vols, uint64_t off, uint8_t* out, size_t len) {
  for (const Volume& v : vols) {
    const uint64_t kept = v.size - v.skip;
    if (len == 0) break;
    if (off >= v.base + kept) continue;
    const uint64_t inVol = off - v.base;
    const size_t n = size_t(std::min<uint64_t>(len, kept - inVol));
    if (!OpenRead(v.path).ReadAt(v.skip + inVol, out, n)) return false;
    out += n;
    off += n;
    len -= n;
  }
  return len == 0;
}

}  // namespace

int32_t JoinVolumes(const std::string& lastVolume, const std::string& destFolder, Reporter& rep) {
  auto fail = [&](int32_t code, const std::string& text) {
    rep.Error(code, text);
    return code;
  };
  // Target: destination folder + the last volume's file name.
  std::string folder = destFolder;
  for (char& c : folder) if (c == '/') c = '\\';
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  const size_t slash = lastVolume.find_last_of("\\/");
  const std::string fileName = slash == std::string::npos ? lastVolume : lastVolume.substr(slash + 1);
  const std::string target = (folder.empty() ? std::string() : folder + "\\") + fileName;
  const std::wstring fullTarget = FullPath(tk::Widen(target));
  if (_wcsicmp(fullTarget.c_str(), FullPath(tk::Widen(lastVolume)).c_str()) == 0)
    return fail(dz::UE_SAMEVOL, "The joined zip \"" + target + "\" would replace the last volume itself");
  // A join has no overwrite switch: whatever bears the joined zip's name is the user's.
  const std::string existing = "Not joined: \"" + target + "\" exists already, and a join replaces no file";
  if (PathAttributes(fullTarget) != INVALID_FILE_ATTRIBUTES) return fail(dz::UE_CREATE, existing);

  // The last volume's end record names its disk number: the count of volumes before it.
  File last = OpenRead(lastVolume);
  if (!last.IsOpen()) return fail(dz::UE_NOTFOUND, "Missing volume \"" + lastVolume + "\"");
  const uint64_t lastSize = FileSizeOf(last);
  const size_t tail = size_t(std::min<uint64_t>(lastSize, 65535 + 22 + 20));
  std::vector<uint8_t> buf(tail);
  const bool readTail = tail >= 22 && last.ReadAt(lastSize - tail, buf.data(), tail);
  last.Close();
  if (!readTail) return fail(dz::UE_STRUCT, "\"" + lastVolume + "\" is not the last volume of a zip");
  size_t end = std::string::npos;
  for (size_t i = tail - 22 + 1; i-- > 0;)
    if (Get32(&buf[i]) == kSigEnd && i + 22 + Get16(&buf[i + 20]) <= tail) { end = i; break; }
  if (end == std::string::npos) return fail(dz::UE_STRUCT, "\"" + lastVolume + "\" is not the last volume of a zip");
  uint64_t lastDisk = Get16(&buf[end + 4]);
  uint64_t cdDisk = Get16(&buf[end + 6]);
  uint64_t entries = Get16(&buf[end + 10]);
  uint64_t cdSize = Get32(&buf[end + 12]);
  uint64_t cdOffset = Get32(&buf[end + 16]);
  const std::string comment(reinterpret_cast<const char*>(&buf[end + 22]), Get16(&buf[end + 20]));
  const bool wants64 = lastDisk == 0xFFFF || cdDisk == 0xFFFF || entries == 0xFFFF || cdSize == 0xFFFFFFFFu ||
                       cdOffset == 0xFFFFFFFFu;
  if (end >= 20 && Get32(&buf[end - 20]) == kSigZip64Locator) {
    // The zip64 end record lies on the last volume in every split we meet; read it there.
    const uint32_t recDisk = Get32(&buf[end - 16]);
    const uint64_t recOff = Get64(&buf[end - 12]);
    uint8_t rec[56];
    File f = OpenRead(lastVolume);
    const bool ok = f.IsOpen() && recDisk == Get32(&buf[end - 4]) - 1 && f.ReadAt(recOff, rec, 56) &&
                    Get32(rec) == kSigZip64End;
    f.Close();
    if (!ok) return fail(dz::UE_STRUCT, "The zip64 end record of \"" + lastVolume + "\" cannot be read");
    lastDisk = Get32(rec + 16);
    cdDisk = Get32(rec + 20);
    entries = Get64(rec + 32);
    cdSize = Get64(rec + 40);
    cdOffset = Get64(rec + 48);
  } else if (wants64) {
    return fail(dz::UE_STRUCT, "The zip64 records of \"" + lastVolume + "\" are missing");
  }
  if (lastDisk == 0) {
    // A set of one volume is a zip with the split signature in front; a plain zip is no set.
    uint8_t sig[4] = {};
    const bool marked = OpenRead(lastVolume).ReadAt(0, sig, 4) && Get32(sig) == kSigSplit;
    if (!marked) return fail(dz::UE_STRUCT, "\"" + lastVolume + "\" is not part of a split zip");
  }
  if (lastDisk > 65535 || cdDisk > lastDisk) return fail(dz::UE_STRUCT, "Volume numbers of \"" + lastVolume + "\" are invalid");

  std::vector<Volume> vols(size_t(lastDisk) + 1);
  uint64_t base = 0;
  for (uint32_t d = 0; d <= lastDisk; ++d) {
    Volume& v = vols[d];
    v.path = SplitVolumeName(lastVolume, d, uint32_t(lastDisk));
    File f = OpenRead(v.path);
    if (!f.IsOpen()) return fail(dz::UE_NOTFOUND, "Missing volume \"" + v.path + "\"");
    v.size = FileSizeOf(f);
    if (d == 0 && v.size >= 4) {
      uint8_t sig[4];
      if (f.ReadAt(0, sig, 4) && (Get32(sig) == kSigSplit || Get32(sig) == 0x30304b50)) v.skip = 4;
    }
    f.Close();
    v.base = base;
    base += v.size - v.skip;
  }

  // The central directory, read across volumes and rewritten for one disk.
  // Offsets count from a volume's first byte, the split signature included.
  const uint64_t cdStart = vols[cdDisk].base + cdOffset - vols[cdDisk].skip;
  if (cdOffset < vols[cdDisk].skip || cdSize > (uint64_t(1) << 30) || cdStart + cdSize > base)
    return fail(dz::UE_STRUCT, "The central directory of \"" + lastVolume + "\" lies outside the volumes");
  std::vector<uint8_t> cd(static_cast<size_t>(cdSize));
  if (!ReadJoined(vols, cdStart, cd.data(), cd.size()))
    return fail(dz::UE_EOF, "The central directory of \"" + lastVolume + "\" cannot be read");
  uint64_t count = 0;
  std::vector<std::pair<uint64_t, uint64_t>> spans;  // each entry's local header and data size
  for (size_t p = 0; p < cd.size(); ++count) {
    if (p + 46 > cd.size() || Get32(&cd[p]) != kSigCentral) return fail(dz::UE_STRUCT, "Central directory is damaged");
    const size_t n = Get16(&cd[p + 28]), m = Get16(&cd[p + 30]), k = Get16(&cd[p + 32]);
    if (p + 46 + n + m + k > cd.size()) return fail(dz::UE_STRUCT, "Central directory is damaged");
    uint8_t* h = &cd[p];
    uint64_t disk = Get16(h + 34), off = Get32(h + 42), comp = Get32(h + 20);
    // The zip64 block holds, in order, only the fields marked in the fixed part.
    uint8_t* z64Off = nullptr;
    uint8_t* z64Disk = nullptr;
    for (size_t q = 46 + n; q + 4 <= 46 + n + m;) {
      const size_t len = Get16(h + q + 2);
      if (q + 4 + len > 46 + n + m) break;
      if (Get16(h + q) == kExtraZip64) {
        size_t f = q + 4;
        if (Get32(h + 24) == kZip64Marker32) f += 8;
        if (Get32(h + 20) == kZip64Marker32 && f + 8 <= q + 4 + len) comp = Get64(h + f);
        if (Get32(h + 20) == kZip64Marker32) f += 8;
        if (Get32(h + 42) == kZip64Marker32 && f + 8 <= q + 4 + len) { z64Off = h + f; off = Get64(h + f); f += 8; }
        if (Get16(h + 34) == kZip64Marker16 && f + 4 <= q + 4 + len) { z64Disk = h + f; disk = Get32(h + f); }
      }
      q += 4 + len;
    }
    if (disk > lastDisk || off < vols[disk].skip || vols[disk].base + off - vols[disk].skip >= base)
      return fail(dz::UE_STRUCT, "Central directory is damaged");
    const uint64_t abs = vols[disk].base + off - vols[disk].skip;
    spans.push_back({abs, comp});
    h[34] = h[35] = 0;
    if (z64Disk) std::memset(z64Disk, 0, 4);
    if (z64Off) {
      std::string v;
      Put64(v, abs);
      std::memcpy(z64Off, v.data(), 8);
    } else if (abs < kZip64Marker32) {
      std::string v;
      Put32(v, uint32_t(abs));
      std::memcpy(h + 42, v.data(), 4);
    } else {
      return fail(dz::UE_STRUCT, "An entry of \"" + lastVolume + "\" lies beyond 4 GiB without zip64 fields");
    }
    p += 46 + n + m + k;
  }
  if (count != entries) return fail(dz::UE_STRUCT, "Central directory is damaged");
  // Each entry's header and data end before the next entry's header: data shared by two
  // entries would be read twice.
  std::sort(spans.begin(), spans.end());
  for (size_t i = 0; i < spans.size(); ++i) {
    const uint64_t next = i + 1 < spans.size() ? spans[i + 1].first : cdStart;
    if (next < spans[i].first || next - spans[i].first < 30 || spans[i].second > next - spans[i].first - 30)
      return fail(dz::UE_STRUCT, "Items of \"" + lastVolume + "\" overlap: a zip bomb or a damaged zip");
  }

  // Copy the data before the directory, then the new directory and end records, into a
  // temporary file that is held open and marked for deletion until it takes the target's
  // place: a killed join leaves nothing behind.
  tk::TempFile temp;
  if (!temp.Create(folder, "qbj"))
    return fail(dz::UE_CREATE, "Cannot create a temporary file beside \"" + target + "\": " + temp.Why());
  File out(temp.Duplicate());
  if (!out.IsOpen()) return fail(dz::UE_CREATE, "Cannot write \"" + temp.Path() + "\"");
  auto abandon = [&](int32_t code, const std::string& text) {
    out.Close();
    temp.Discard();
    return fail(code, text);
  };
  std::vector<uint8_t> chunk(1u << 20);
  for (uint64_t pos = 0; pos < cdStart;) {
    const size_t n = size_t(std::min<uint64_t>(chunk.size(), cdStart - pos));
    if (!ReadJoined(vols, pos, chunk.data(), n)) return abandon(dz::UE_EOF, "A volume of \"" + lastVolume + "\" cannot be read");
    if (!out.Write(chunk.data(), n)) return abandon(dz::UE_DISKFULL, "Cannot write \"" + temp.Path() + "\"");
    pos += n;
    if (rep.Major(fileName, int(pos * 100 / (cdStart ? cdStart : 1))))
      return abandon(dz::UE_CANCEL, "Join cancelled");
  }
  const std::string endRecords = BuildEndRecords(entries, cdStart, cdSize, comment);
  if (!out.Write(cd.data(), cd.size()) || !out.Write(endRecords.data(), endRecords.size()) || !out.Flush())
    return abandon(dz::UE_DISKFULL, "Cannot write \"" + temp.Path() + "\"");
  out.Close();
  if (!temp.Commit(tk::Narrow(fullTarget), false)) {
    const bool appeared = PathAttributes(fullTarget) != INVALID_FILE_ATTRIBUTES;
    return fail(dz::UE_CREATE, appeared ? existing : "Cannot create \"" + target + "\": " + temp.Why());
  }
  rep.Major(fileName, 100);
  return dz::UE_OK;
}

}  // namespace ziplib
