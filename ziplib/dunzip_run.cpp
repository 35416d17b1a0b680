#include "ziplib/dunzip_run.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "toolkit/strings.h"
#include "toolkit/tempfile.h"
#include "ziplib/aes_zip.h"
#include "ziplib/deflate64_dec.h"
#include "ziplib/dunzip_names.h"
#include "ziplib/dzcodes.h"
#include "ziplib/fileio.h"
#include "ziplib/folderchain.h"
#include "ziplib/pkcrypt.h"
#include "ziplib/volumes_join.h"
#include "ziplib/zipread.h"

namespace ziplib {
namespace {

constexpr size_t kOutBuffer = 512 * 1024;
constexpr uint64_t kMinorStep = 4u << 20;  // a minor progress call per 4 MiB of input

int32_t StatusCode(ZipReadStatus s) {
  switch (s) {
    case ZipReadStatus::Ok: return dz::UE_OK;
    case ZipReadStatus::OpenFailed:
    case ZipReadStatus::ReadFailed: return dz::UE_OPEN;
    case ZipReadStatus::Truncated: return dz::UE_EOF;
    case ZipReadStatus::OutOfMemory: return dz::UE_MEM;
    default: return dz::UE_STRUCT;
  }
}

std::string StatusText(ZipReadStatus s) {
  switch (s) {
    case ZipReadStatus::OpenFailed: return "cannot open the zip file";
    case ZipReadStatus::ReadFailed: return "cannot read the zip file";
    case ZipReadStatus::NotAZip: return "not a zip file (no end of central directory)";
    case ZipReadStatus::Truncated: return "the zip file is truncated";
    case ZipReadStatus::MultiVolume: return "a volume of a split zip; join the volumes first";
    case ZipReadStatus::OutOfMemory: return "out of memory";
    case ZipReadStatus::Overlap: return "its data overlap another item's (a zip bomb or a damaged zip)";
    default: return "the zip file's structure is invalid";
  }
}

// Opens the command's zip; on failure tells the caller and returns the result code.
int32_t OpenZip(const DunzipOptions& o, Reporter& rep, ZipReader* zip) {
  const std::string& path = o.zipFile;
  if (path.empty()) return dz::UE_NOTFOUND;
  const DWORD attr = PathAttributes(tk::Widen(path));
  if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) {
    rep.FileError(dz::DZ_MSG_OPEN_ERROR, path);
    return dz::UE_NOTFOUND;
  }
  const ZipReadStatus st = zip->Open(path, o.Sub(dz::USO_ANSI_NAMES) ? CP_ACP : 437);
  if (st == ZipReadStatus::Ok) return dz::UE_OK;
  if (st == ZipReadStatus::OpenFailed)
    rep.FileError(dz::DZ_MSG_OPEN_ERROR, path);
  else if (st == ZipReadStatus::ReadFailed)
    rep.FileError(dz::DZ_MSG_READ_ERROR, path);
  const int32_t code = StatusCode(st);
  rep.Error(code, path + ": " + StatusText(st));
  return code;
}

// ---------------------------------------------------------------------------------
// Decoding one item's data.

// Where decoded bytes go: nowhere (test) or a file; bounded by the declared size.
class ItemOutput {
 public:
  ItemOutput(File* file, uint64_t declared) : file_(file), declared_(declared) {}
  // false with *code set when the data runs past its stated size or the write fails.
  bool Put(const uint8_t* data, size_t n, int32_t* code, std::string* why) {
    if (n > declared_ - total_) {
      *code = dz::UE_CRC;
      *why = "data longer than its stated size";
      return false;
    }
    crc_ = uint32_t(crc32(crc_, data, uInt(n)));
    total_ += n;
    if (file_ == nullptr || file_->Write(data, n)) return true;
    const DWORD err = File::LastError();
    *code = (err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL) ? dz::UE_DISKFULL : dz::UE_CREATE;
    *why = *code == dz::UE_DISKFULL ? "disk full" : "write failed";
    return false;
  }
  uint32_t Crc() const { return crc_; }
  uint64_t Total() const { return total_; }
  uint64_t Declared() const { return declared_; }

 private:
  File* file_;   // none: a test, the bytes go nowhere
  uint64_t declared_, total_ = 0;
  uint32_t crc_ = 0;
};

// Minor progress over the input of one item; each call false when the caller asked to skip it.
class ItemProgress {
 public:
  ItemProgress(Reporter& rep, const std::string& name, uint64_t size) : rep_(rep), name_(name), size_(size) {}
  bool Start() { return !rep_.Minor(name_, 0); }
  bool Advance(uint64_t consumed) {
    if (consumed - last_ < kMinorStep) return true;
    last_ = consumed;
    return !rep_.Minor(name_, size_ ? int(consumed * 100 / size_) : 100);
  }
  bool Finish() { return !rep_.Minor(name_, 100); }

 private:
  Reporter& rep_;
  const std::string& name_;
  uint64_t size_, last_ = 0;
};

struct DecodeResult {
  int32_t code = dz::UE_OK;
  std::string why;
};

DecodeResult Fail(int32_t code, std::string why) { return DecodeResult{code, std::move(why)}; }

DecodeResult CopyStored(ZipDataReader& in, uint64_t size, ItemOutput& out, ItemProgress& progress) {
  DecodeResult res;
  uint64_t consumed = 0;
  for (;;) {
    const uint8_t* p;
    const ptrdiff_t n = in.Peek(&p, SIZE_MAX);
    if (n < 0) return Fail(dz::UE_EOF, "read failed");
    if (n == 0) break;
    if (!out.Put(p, size_t(n), &res.code, &res.why)) return res;
    in.Consume(size_t(n));
    consumed += uint64_t(n);
    if (!progress.Advance(consumed)) return Fail(dz::UE_SKIPPED, "skipped");
  }
  if (consumed != size) return Fail(dz::UE_EOF, "unexpected end of data");
  return res;
}

// *used: the compressed bytes the stream took, up to its end.
DecodeResult Inflate(ZipDataReader& in, ItemOutput& out, ItemProgress& progress, uint64_t* used) {
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return Fail(dz::UE_MEM, "out of memory");
  struct End {
    z_stream* z;
    ~End() { inflateEnd(z); }
  } end{&zs};
  // Small items get a small buffer; one byte past the stated size still shows a liar.
  std::vector<uint8_t> buf(size_t(std::clamp<uint64_t>(out.Declared() + 1, 4096, kOutBuffer)));
  DecodeResult res;
  uint64_t consumed = 0;
  for (;;) {
    const uint8_t* p;
    const ptrdiff_t avail = in.Peek(&p, 1u << 30);
    if (avail < 0) return Fail(dz::UE_EOF, "read failed");
    zs.next_in = const_cast<Bytef*>(p);
    zs.avail_in = uInt(avail);
    zs.next_out = buf.data();
    zs.avail_out = uInt(buf.size());
    const int zr = inflate(&zs, Z_NO_FLUSH);
    const size_t taken = size_t(avail) - zs.avail_in, produced = buf.size() - zs.avail_out;
    in.Consume(taken);
    consumed += taken;
    *used = consumed;
    if (produced && !out.Put(buf.data(), produced, &res.code, &res.why)) return res;
    if (zr == Z_STREAM_END) return res;
    if (zr == Z_DATA_ERROR || zr == Z_NEED_DICT) return Fail(dz::UE_CRC, "invalid compressed data");
    if (zr == Z_MEM_ERROR) return Fail(dz::UE_MEM, "out of memory");
    if (taken == 0 && produced == 0) {
      return avail == 0 ? Fail(dz::UE_EOF, "compressed data ends early") : Fail(dz::UE_CRC, "invalid compressed data");
    }
    if (!progress.Advance(consumed)) return Fail(dz::UE_SKIPPED, "skipped");
  }
}

DecodeResult InflateDeflate64(ZipDataReader& in, ItemOutput& out, ItemProgress& progress, uint64_t* used) {
  DecodeResult res;
  uint64_t consumed = 0;
  bool readFailed = false, skipped = false;
  auto source = [&](uint8_t* buffer, size_t capacity) -> size_t {
    const ptrdiff_t n = in.Read(buffer, capacity);
    if (n < 0) {
      readFailed = true;
      return 0;
    }
    consumed += uint64_t(n);
    if (!progress.Advance(consumed)) skipped = true;
    return size_t(n);
  };
  auto sink = [&](const uint8_t* data, size_t size) -> bool {
    return !skipped && out.Put(data, size, &res.code, &res.why);
  };
  std::string error;
  switch (Deflate64Decode(source, sink, &error, used)) {
    case D64Result::Ok: return skipped ? Fail(dz::UE_SKIPPED, "skipped") : res;
    case D64Result::DataError: return Fail(dz::UE_CRC, "invalid compressed data");
    case D64Result::Truncated: return Fail(dz::UE_EOF, readFailed ? "read failed" : "compressed data ends early");
    case D64Result::Aborted: return skipped ? Fail(dz::UE_SKIPPED, "skipped") : res;
  }
  return Fail(dz::UE_CRC, "invalid compressed data");
}

std::string NameForMessage(const std::string& stored);

// Decodes and checks one item (test when file is nullptr). What a test refuses as damage
// in a zip whose data are whole, an extraction recovers with a warning naming the item.
DecodeResult DecodeItem(const ZipReader& zip, const ZipEntry& e, const DunzipOptions& o, Reporter& rep, File* file) {
  const uint16_t method = e.EffectiveMethod();
  if ((e.method == kMethodAes && !e.isAes) || (method != 0 && method != 8 && method != 9))
    return Fail(dz::UE_METHOD, "unknown compression method " + std::to_string(method));
  // Strong encryption (bit 6) is a method of its own, which this library does not read.
  if (e.flags & 0x0040) return Fail(dz::UE_METHOD, "strong encryption, an unsupported method");
  if (e.IsEncrypted() && (!o.decrypt || o.password.empty()))
    return Fail(dz::UE_ENCRYPTED, "encrypted, no password given");
  ZipLocalInfo local;
  const ZipReadStatus st = zip.LocateData(e, &local);
  if (st != ZipReadStatus::Ok) return Fail(StatusCode(st), StatusText(st));
  // A test proves the zip whole; an extraction recovers what the central directory says.
  const std::string mismatch = local.mismatch.empty()
                                   ? std::string()
                                   : "the local header differs from the central directory in the " + local.mismatch;
  if (file == nullptr && !mismatch.empty()) return Fail(dz::UE_STRUCT, mismatch);

  uint64_t dataOffset = local.dataOffset, dataSize = e.compressedSize;
  PkDecryptor pk;
  AesZipDecryptor aes;
  std::vector<uint8_t> authCode;
  if (e.IsEncrypted()) {
    const std::string& password = o.password;
    if (e.isAes) {
      const size_t head = AesHeaderSize(e.aesStrength);
      if (head == 0 || dataSize < head + kAesAuthSize) return Fail(dz::UE_STRUCT, "bad encryption header");
      std::vector<uint8_t> header(head);
      authCode.resize(kAesAuthSize);
      if (!zip.ReadAt(dataOffset, header.data(), head) ||
          !zip.ReadAt(dataOffset + dataSize - kAesAuthSize, authCode.data(), kAesAuthSize))
        return Fail(dz::UE_EOF, "read failed");
      const AesResult ar = aes.Begin(password, e.aesStrength, header.data(), head);
      if (ar == AesResult::WrongPassword) return Fail(dz::UE_BADPASSWORD, "wrong password");
      if (ar != AesResult::Ok) return Fail(dz::UE_STRUCT, "bad encryption header");
      dataOffset += head;
      dataSize -= head + kAesAuthSize;
    } else {
      uint8_t header[kPkHeaderSize];
      if (dataSize < kPkHeaderSize) return Fail(dz::UE_STRUCT, "bad encryption header");
      if (!zip.ReadAt(dataOffset, header, kPkHeaderSize)) return Fail(dz::UE_EOF, "read failed");
      if (!pk.Begin(password, header, PkCheckByte(e.flags, e.crc, e.dosTime)))
        return Fail(dz::UE_BADPASSWORD, "wrong password");
      dataOffset += kPkHeaderSize;
      dataSize -= kPkHeaderSize;
    }
  }
  if (method == 0 && dataSize != e.uncompressedSize) return Fail(dz::UE_STRUCT, "stored sizes differ");

  ZipDataReader in(zip, dataOffset, dataSize);
  if (e.IsEncrypted() && e.isAes)
    in.SetTransform([&aes](uint8_t* p, size_t n) { aes.Decrypt(p, n); });
  else if (e.IsEncrypted())
    in.SetTransform([&pk](uint8_t* p, size_t n) { pk.Decrypt(p, n); });
  ItemOutput out(file, e.uncompressedSize);
  ItemProgress progress(rep, e.name, dataSize);
  if (!progress.Start()) return Fail(dz::UE_SKIPPED, "skipped");
  uint64_t used = dataSize;
  DecodeResult res = method == 0   ? CopyStored(in, dataSize, out, progress)
                     : method == 8 ? Inflate(in, out, progress, &used)
                                   : InflateDeflate64(in, out, progress, &used);
  // With the traditional encryption one wrong password in 256 passes the header check:
  // the damage it then causes is the password's.
  const bool pkEncrypted = e.IsEncrypted() && !e.isAes;
  if (res.code == dz::UE_CRC && pkEncrypted) return Fail(dz::UE_BADPASSWORD, "wrong password or damaged data");
  if (res.code != dz::UE_OK) return res;
  if (out.Total() != e.uncompressedSize) return Fail(dz::UE_CRC, "data shorter than its stated size");
  if (e.IsEncrypted() && e.isAes && aes.Finish(authCode.data(), authCode.size()) != AesResult::Ok)
    return Fail(dz::UE_CRC, "authentication code differs: damaged data");
  const bool crcStored = !(e.isAes && e.aesVersion == 2);  // AE-2 stores no CRC
  if (crcStored && out.Crc() != e.crc)
    return pkEncrypted ? Fail(dz::UE_BADPASSWORD, "wrong password or damaged data") : Fail(dz::UE_CRC, "bad CRC");
  // A stream that ends before its stated size leaves bytes no item owns.
  const std::string early = used >= dataSize ? std::string()
                                             : "the compressed data end " + std::to_string(dataSize - used) +
                                                   " bytes before their stated size";
  if (file == nullptr && !early.empty()) return Fail(dz::UE_STRUCT, early);
  if (!progress.Finish()) return Fail(dz::UE_SKIPPED, "skipped");
  if (!mismatch.empty())
    rep.Warning(NameForMessage(e.name) + ": " + mismatch + "; extracted as the central directory describes it");
  if (!early.empty()) rep.Warning(NameForMessage(e.name) + ": " + early + "; extracted, the data themselves whole");
  return res;
}

// ---------------------------------------------------------------------------------
// Files and folders of an extraction.

FILETIME ToFileTime(uint64_t v) {
  FILETIME ft;
  ft.dwLowDateTime = DWORD(v);
  ft.dwHighDateTime = DWORD(v >> 32);
  return ft;
}

// The stored times: NTFS field, else the Unix modification time field, else the DOS time.
bool EntryTimes(const ZipEntry& e, FILETIME* m, FILETIME* a, FILETIME* c, bool* all) {
  *all = false;
  if (e.hasNtfsTimes && e.mtime) {
    *m = ToFileTime(e.mtime);
    *a = ToFileTime(e.atime ? e.atime : e.mtime);
    *c = ToFileTime(e.ctime ? e.ctime : e.mtime);
    *all = true;
    return true;
  }
  const uint8_t* d;
  size_t n;
  if (FindExtraBlock(e.extra, 0x5455, &d, &n) && n >= 5 && (d[0] & 1)) {
    const int32_t t = int32_t(uint32_t(d[1]) | (uint32_t(d[2]) << 8) | (uint32_t(d[3]) << 16) | (uint32_t(d[4]) << 24));
    *m = ToFileTime(uint64_t((int64_t(t) + 11644473600LL) * 10000000LL));
    return true;
  }
  FILETIME local;
  return DosDateTimeToFileTime(e.dosDate, e.dosTime, &local) && LocalFileTimeToFileTime(&local, m);
}

void ApplyTimes(File& f, const ZipEntry& e) {
  FILETIME m, a, c;
  bool all;
  if (EntryTimes(e, &m, &a, &c, &all)) f.SetTimes(all ? &c : nullptr, all ? &a : nullptr, &m);
}

uint32_t FileAttributesOf(const ZipEntry& e) {
  return e.WindowsAttributes() & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE);
}

// The longest path and name part the file system takes.
constexpr size_t kMaxPath = 32767 - 8;
constexpr size_t kMaxPart = 255;

// A name the file system cannot take: too long in all or in one part.
bool TooLong(const std::wstring& path, std::string* why) {
  if (path.size() > kMaxPath) {
    *why = "refused, the name is longer or deeper than a path can be";
    return true;
  }
  size_t part = 0;
  for (wchar_t c : path) {
    part = (c == L'\\' || c == L'/') ? 0 : part + 1;
    if (part > kMaxPart) {
      *why = "refused, a part of the name is longer than 255 characters";
      return true;
    }
  }
  return false;
}

// Finishes written files on a worker thread: their times, the mark that kept a new file for
// deletion while it was written taken off, and the close. Under Wine each is a round trip
// to the server, which the next item need not wait for. Only files that need nothing more
// after their close come here; Drain() before anything that may touch one of them again.
class BackgroundCloser {
 public:
  BackgroundCloser() = default;
  BackgroundCloser(const BackgroundCloser&) = delete;
  BackgroundCloser& operator=(const BackgroundCloser&) = delete;
  ~BackgroundCloser() {
    Drain();
    if (!thread_) return;
    AcquireSRWLockExclusive(&lock_);
    stop_ = true;
    ReleaseSRWLockExclusive(&lock_);
    WakeConditionVariable(&work_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }

  // Gives the file the times of entry, keeps it (its mark taken off when marked) and closes it.
  void Close(File f, bool marked, const ZipEntry* entry) {
    if (!thread_ && !failed_) {
      thread_ = CreateThread(nullptr, 64 * 1024, Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
      failed_ = thread_ == nullptr;
    }
    Finished done{std::move(f), marked, entry};
    if (!thread_) {
      if (!Keep(done)) lost_.push_back(entry);
      return;
    }
    AcquireSRWLockExclusive(&lock_);
    queue_.push_back(std::move(done));
    ReleaseSRWLockExclusive(&lock_);
    WakeConditionVariable(&work_);
  }

  // After Drain(): the entries whose files went with their close, as their mark would not
  // come off.
  std::vector<const ZipEntry*> TakeLost() { return std::move(lost_); }

  // Returns once every handle given so far is closed.
  void Drain() {
    if (!thread_) return;
    AcquireSRWLockExclusive(&lock_);
    while (!queue_.empty() || closing_) SleepConditionVariableSRW(&idle_, &lock_, INFINITE, 0);
    ReleaseSRWLockExclusive(&lock_);
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<BackgroundCloser*>(self)->Loop();
    return 0;
  }
  struct Finished {
    File file;
    bool marked;
    const ZipEntry* entry;
  };
  static bool Keep(Finished& f) {
    ApplyTimes(f.file, *f.entry);
    const bool kept = !f.marked || f.file.SetDeletePending(false);
    f.file.Close();
    return kept;
  }
  void Loop() {
    std::vector<Finished> batch;
    std::vector<const ZipEntry*> lost;
    AcquireSRWLockExclusive(&lock_);
    for (;;) {
      while (queue_.empty() && !stop_) SleepConditionVariableSRW(&work_, &lock_, INFINITE, 0);
      if (queue_.empty()) break;
      batch.swap(queue_);
      closing_ = true;
      ReleaseSRWLockExclusive(&lock_);
      for (Finished& f : batch)
        if (!Keep(f)) lost.push_back(f.entry);
      batch.clear();
      AcquireSRWLockExclusive(&lock_);
      lost_.insert(lost_.end(), lost.begin(), lost.end());
      lost.clear();
      closing_ = false;
      if (queue_.empty()) WakeAllConditionVariable(&idle_);
    }
    ReleaseSRWLockExclusive(&lock_);
  }

  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE work_ = CONDITION_VARIABLE_INIT, idle_ = CONDITION_VARIABLE_INIT;
  std::vector<Finished> queue_;
  std::vector<const ZipEntry*> lost_;
  bool closing_ = false, stop_ = false, failed_ = false;
  HANDLE thread_ = nullptr;
};

// An item name as an error message shows it: control characters as \xNN (a NUL would end
// the message there), a very long one by its start and its end, so that the reason after
// it is not cut off.
std::string NameForMessage(const std::string& stored) {
  std::string name;
  for (const unsigned char c : stored) {
    if (c >= 0x20 && c != 0x7F) {
      name += char(c);
      continue;
    }
    char hex[5];
    snprintf(hex, sizeof hex, "\\x%02X", unsigned(c));
    name += hex;
  }
  constexpr size_t kKeep = 120;
  if (name.size() <= 3 * kKeep) return name;
  size_t head = kKeep, tail = name.size() - kKeep;
  while (head > 0 && (static_cast<unsigned char>(name[head]) & 0xC0) == 0x80) --head;
  while (tail < name.size() && (static_cast<unsigned char>(name[tail]) & 0xC0) == 0x80) ++tail;
  return name.substr(0, head) + "..." + name.substr(tail);
}

// The path an item's relative path names, as the folder chain makes it: Windows drops the
// trailing dots and blanks of each part.
std::wstring FoldedPath(const std::wstring& rel) {
  std::wstring path;
  for (const std::wstring& part : PathParts(rel)) path += (path.empty() ? L"" : L"\\") + part;
  return path;
}

// The file a folded path names: Windows compares names without case.
std::wstring FileKey(std::wstring folded) {
  if (!folded.empty()) CharUpperBuffW(folded.data(), DWORD(folded.size()));
  return folded;
}

// The new content of an existing file, until it takes that file's place.
constexpr const char* kReplacementPrefix = "qbx";
// A new file written whole whose mark for deletion would not come off.
constexpr const char* kLost = "written, but the file could not be kept";

struct Extraction {
  Extraction(const DunzipOptions& options, Reporter& reporter, const ZipReader& z) : o(options), rep(reporter), zip(z) {}
  const DunzipOptions& o;
  Reporter& rep;
  const ZipReader& zip;
  std::wstring base;  // destination with a trailing separator, or empty
  struct MadeFolder {
    std::wstring rel;   // under the destination
    const ZipEntry* entry;
  };
  std::vector<MadeFolder> folders;
  // The folders under the destination, reached relative to each other.
  FolderChain chain;
  BackgroundCloser closer;
  // The files this run wrote, by FileKey: a later item naming one of them is refused.
  std::unordered_map<std::wstring, const ZipEntry*> written;

  DecodeResult Folder(const ZipEntry& e, const std::string& rel) {
    if (o.noDirNames || o.noDirItems) return {};
    const std::wstring relW = FoldedPath(tk::Widen(rel));
    std::string why;
    if (TooLong(base + relW, &why)) return Fail(dz::UE_CREATE, why);
    if (!chain.Make(relW)) return Fail(dz::UE_CREATE, "cannot create the folder");
    folders.push_back({relW, &e});
    return {};
  }

  static DecodeResult CreateFailure(DWORD err) {
    return err == ERROR_DISK_FULL ? Fail(dz::UE_DISKFULL, "disk full") : Fail(dz::UE_CREATE, "cannot create the file");
  }

  DecodeResult File(const ZipEntry& e, const std::string& rel) {
    const std::wstring relW = FoldedPath(tk::Widen(rel)), key = FileKey(relW);
    const std::wstring path = base + relW;
    std::string why;
    if (TooLong(path, &why)) return Fail(dz::UE_CREATE, why);
    const size_t cut = relW.find_last_of(L'\\');
    const std::wstring parent = cut != std::wstring::npos ? relW.substr(0, cut) : std::wstring();
    const std::wstring leaf = cut != std::wstring::npos ? relW.substr(cut + 1) : relW;
    HANDLE folder = chain.MakeForFiles(parent);
    if (!folder) return Fail(dz::UE_CREATE, "cannot create the folder");
    // Most items are new: creating the file is itself the check that none is there.
    ziplib::File h(FolderChain::CreateNewFile(folder, leaf));
    const auto gone = [] { return GetLastError() == ERROR_PATH_NOT_FOUND || GetLastError() == ERROR_FILE_NOT_FOUND; };
    if (!h.IsOpen() && gone()) {
      chain.Reset();  // its folder was removed behind our back: make it again
      if (!(folder = chain.MakeForFiles(parent))) return Fail(dz::UE_CREATE, "cannot create the folder");
      h = ziplib::File(FolderChain::CreateNewFile(folder, leaf));
    }
    // An existing file is replaced only after its new content is complete, so a failure
    // leaves it as it was; the content is written under a name no file had, which goes
    // with a failure or a killed run. A new file is written in place, marked for deletion
    // until it is whole: a failed or killed run leaves no cut file under the item's name.
    tk::TempFile replacement;
    DWORD existing = INVALID_FILE_ATTRIBUTES;
    bool marked = false;
    if (h.IsOpen()) {
      marked = h.SetDeletePending(true);
    } else {
      const DWORD createErr = ziplib::File::LastError();
      closer.Drain();  // the file there may be one of ours still being closed
      existing = PathAttributes(path);
      const bool there = createErr == ERROR_ALREADY_EXISTS || createErr == ERROR_FILE_EXISTS;
      if (existing == INVALID_FILE_ATTRIBUTES && there && !o.overwrite) {
        rep.Warning("File exists, not overwritten: " + NameForMessage(e.name));
        return {};
      }
      // Made folder by folder, a file can lie past the host's path limit, where no whole
      // path reaches it to replace it.
      if (existing == INVALID_FILE_ATTRIBUTES && there)
        return Fail(dz::UE_CREATE, "not replaced, its path is longer than the system can replace a file at");
      if (existing == INVALID_FILE_ATTRIBUTES) return CreateFailure(createErr);
      if (existing & FILE_ATTRIBUTE_DIRECTORY) return Fail(dz::UE_CREATE, "a folder of that name exists");
      if (!o.overwrite) {
        rep.Warning("File exists, not overwritten: " + NameForMessage(e.name));
        return {};
      }
      const auto earlier = written.find(key);
      if (earlier != written.end())
        return Fail(dz::UE_CREATE, "not extracted, it names the same file as " + NameForMessage(earlier->second->name) +
                                       ", extracted before");
      if (existing & FILE_ATTRIBUTE_READONLY) {
        if (!o.Sub(dz::USO_OVERWRITE_RO)) return Fail(dz::UE_CREATE, "existing file is read-only");
        SetPathAttributes(path, existing & ~DWORD(FILE_ATTRIBUTE_READONLY));
      }
      if (!replacement.Create(tk::Narrow(base + parent), kReplacementPrefix)) {
        const DWORD err = ziplib::File::LastError();
        if (existing & FILE_ATTRIBUTE_READONLY) SetPathAttributes(path, existing);
        return Fail(err == ERROR_DISK_FULL ? dz::UE_DISKFULL : dz::UE_CREATE,
                    "not replaced, no temporary file for its new content can be made beside it: " + replacement.Why());
      }
      if (!(h = ziplib::File(replacement.Duplicate())).IsOpen()) return CreateFailure(ziplib::File::LastError());
    }
    const bool replacing = replacement.IsOpen();
    DecodeResult res = DecodeItem(zip, e, o, rep, &h);
    const uint32_t attr = FileAttributesOf(e);
    const bool special = (attr & ~DWORD(FILE_ATTRIBUTE_ARCHIVE)) != 0;
    if (res.code == dz::UE_OK && !replacing && !special) {
      written.emplace(key, &e);
      closer.Close(std::move(h), marked, &e);
      return res;
    }
    if (res.code == dz::UE_OK) ApplyTimes(h, e);
    bool keep = res.code == dz::UE_OK || o.Sub(dz::USO_LEAVEPARTIAL);
    if (keep && marked && !h.SetDeletePending(false)) {
      keep = false;
      if (res.code == dz::UE_OK) res = Fail(dz::UE_CREATE, kLost);
    }
    h.Close();   // a marked file goes with it
    if (!keep || (replacing && !replacement.Commit(tk::Narrow(path)))) {
      if (!replacing) RemoveFile(path);
      else if (existing & FILE_ATTRIBUTE_READONLY) SetPathAttributes(path, existing);
      return res.code != dz::UE_OK ? res : Fail(dz::UE_CREATE, "cannot replace the file: " + replacement.Why());
    }
    // A new file already has the normal attributes; only the special ones need a call.
    if (res.code == dz::UE_OK && special) SetPathAttributes(path, attr);
    if (res.code == dz::UE_OK) written.emplace(key, &e);
    return res;
  }

  // Folder times and attributes last: writing into a folder changes its time. The deepest
  // come first, so each is reached from the chain its deeper neighbour left open. Only the
  // folders this run made take them: a folder that was there keeps its own. Returns the
  // items whose files were written but not kept.
  std::vector<const ZipEntry*> FinishFolders() {
    closer.Drain();
    std::vector<const ZipEntry*> lost = closer.TakeLost();
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
      if (!chain.Made(it->rel)) continue;
      const size_t cut = it->rel.find_last_of(L'\\');
      HANDLE parent = chain.Find(cut != std::wstring::npos ? it->rel.substr(0, cut) : std::wstring());
      const std::wstring leaf = cut != std::wstring::npos ? it->rel.substr(cut + 1) : it->rel;
      ziplib::File h(parent ? FolderChain::OpenForAttributes(parent, leaf) : nullptr);
      if (!h.IsOpen()) continue;
      ApplyTimes(h, *it->entry);
      const uint32_t attr = FileAttributesOf(*it->entry) & ~DWORD(FILE_ATTRIBUTE_ARCHIVE);
      if (attr) h.SetAttributes(attr | FILE_ATTRIBUTE_DIRECTORY);
    }
    chain.Reset();
    return lost;
  }
};

// Items counted as extracted whose files went after all: each an error, off the count.
void ReportLost(const std::vector<const ZipEntry*>& lost, Reporter& rep, int32_t* count, int32_t* first) {
  for (const ZipEntry* e : lost) {
    rep.Error(dz::UE_CREATE, NameForMessage(e->name) + ": " + kLost);
    --*count;
    if (*first == dz::UE_OK) *first = dz::UE_CREATE;
  }
}

// ---------------------------------------------------------------------------------
// The functions.

}  // namespace

int32_t ListItems(const DunzipOptions& o, Reporter& rep, std::vector<ZipEntry>* items) {
  ZipReader zip;
  const int32_t code = OpenZip(o, rep, &zip);
  if (code == dz::UE_OK) *items = zip.Entries();
  return code;
}

int32_t CountMatching(const DunzipOptions& o, Reporter& rep, int32_t* count) {
  ZipReader zip;
  const int32_t code = OpenZip(o, rep, &zip);
  if (code != dz::UE_OK) return code;
  const ItemSelector sel(o.fileSpec, o.recurse);
  int32_t n = 0;
  for (const ZipEntry& e : zip.Entries())
    if (sel.Matches(e.name) && n < INT32_MAX) ++n;
  *count = n;
  return dz::UE_OK;
}

int32_t ExtractOrTest(const DunzipOptions& o, Reporter& rep, int32_t* count) {
  if (o.Sub(dz::USO_MVFROMHD)) return JoinVolumes(o.zipFile, o.destination, rep);
  ZipReader zip;
  int32_t code = OpenZip(o, rep, &zip);
  if (code != dz::UE_OK) return code;
  const bool test = o.test;
  const ItemSelector sel(o.fileSpec, o.recurse);
  std::vector<const ZipEntry*> chosen;
  // Progress weights: a size is taken no larger than the file, so no sum can wrap.
  const uint64_t fileSize = zip.Info().fileSize;
  const auto weight = [fileSize](const ZipEntry& e) { return double(std::min(e.compressedSize, fileSize)) + 1; };
  double total = 0;
  for (const ZipEntry& e : zip.Entries())
    if (sel.Matches(e.name)) {
      chosen.push_back(&e);
      total += weight(e);
    }
  if (chosen.empty() && test && zip.Entries().empty()) {
    *count = 0;
    return dz::UE_OK;  // an empty zip is a whole one
  }
  if (chosen.empty()) {
    rep.Error(dz::UE_NOFILES, o.zipFile + ": no items match \"" + o.fileSpec + "\"");
    return dz::UE_NOFILES;
  }

  Extraction ex(o, rep, zip);
  if (!test) {
    std::string dest = o.destination;
    std::replace(dest.begin(), dest.end(), '/', '\\');
    if (!dest.empty()) {
      std::wstring w = tk::Widen(dest);
      while (w.size() > 1 && w.back() == L'\\' && w[w.size() - 2] != L':') w.pop_back();
      if (!ex.chain.Start(w)) {
        rep.Error(dz::UE_CREATE, dest + ": cannot create the destination folder");
        return dz::UE_CREATE;
      }
      ex.base = w.back() == L'\\' ? w : w + L'\\';
    } else if (!ex.chain.Start(L"")) {
      rep.Error(dz::UE_CREATE, "The current folder cannot be opened");
      return dz::UE_CREATE;
    }
  }

  int32_t first = dz::UE_OK;
  if (test && zip.Info().endRecordsDisagree) {
    first = dz::UE_STRUCT;
    rep.Error(first, o.zipFile + ": the zip64 end record and the end record disagree");
  }
  bool skipped = false;
  double done = 0;
  *count = 0;
  for (const ZipEntry* e : chosen) {
    if (rep.Major(e->name, int(done * 100 / total))) {
      if (!test) ReportLost(ex.FinishFolders(), rep, count, &first);
      return dz::UE_CANCEL;
    }
    done += weight(*e);
    DecodeResult res;
    if (test) {
      // A name with a NUL inside could not be written by any extraction.
      res = e->name.find('\0') != std::string::npos
                ? Fail(dz::UE_STRUCT, "a NUL character inside the name, which no file name can hold")
                : DecodeItem(zip, *e, o, rep, nullptr);  // a folder entry's headers too
    } else {
      std::string rel, why;
      if (e->IsDirectory()) {
        if (!SafeRelativePath(e->name, false, &rel, &why)) {
          res = Fail(dz::UE_CREATE, "refused, " + why);
        } else {
          res = ex.Folder(*e, rel);
          // Data under a folder's name have no file to go to.
          if (res.code == dz::UE_OK && e->uncompressedSize != 0)
            rep.Warning(NameForMessage(e->name) + ": a folder entry holding " + std::to_string(e->uncompressedSize) +
                           " bytes of data; the folder was made, the data left out");
        }
      } else if (!SafeRelativePath(e->name, o.noDirNames, &rel, &why)) {
        res = Fail(dz::UE_CREATE, "refused, " + why);
      } else {
        res = ex.File(*e, rel);
      }
    }
    if (res.code == dz::UE_SKIPPED) {
      skipped = true;
      continue;
    }
    if (res.code != dz::UE_OK) {
      rep.Error(res.code, NameForMessage(e->name) + ": " + res.why);
      if (first == dz::UE_OK) first = res.code;
      continue;
    }
    ++*count;
  }
  if (!test) ReportLost(ex.FinishFolders(), rep, count, &first);
  if (first != dz::UE_OK) return first;
  return skipped ? dz::UE_SKIPPED : dz::UE_OK;
}

}  // namespace ziplib
