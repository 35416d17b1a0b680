// The compression pipeline. Files are cut into chunks; worker threads read and compress
// chunks independently (each chunk primed with the window before it, 32 KiB for deflate
// and 64 KiB for Deflate64, ended on a byte boundary with an empty stored block, the last
// one with the final block), and the calling thread writes the results in order, encrypts
// and makes every callback. Encryption: a worker starts an entry's cipher (the key
// derivation is the costly part) and encrypts its first chunk, a whole small file with its
// authentication code. A later chunk is encrypted by a worker too, as soon as its place in
// the entry's data is known (every chunk before it compressed); the calling thread only
// authenticates the chunks in order as it writes them.
// A file of one chunk is opened, read and closed by its worker, so that many small files
// are in flight at once and their opening overlaps with compressing; only a file of
// several chunks is opened by the calling thread, once, for all its chunks. At most a
// fixed number of chunks and of bytes are in flight, so memory stays bounded whatever
// the sizes of the files.
// Memory that a chunk goes through is reused, never cleared: each worker keeps the buffer it
// reads into, and the output of a written chunk goes back to a pool for a later chunk, so
// no chunk pays for fresh pages or for zeroing bytes it overwrites anyway.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <thread>

#include "toolkit/strings.h"
#include "ziplib/aes_zip.h"
#include "ziplib/deflate64_enc.h"
#include "ziplib/folderchain.h"
#include "ziplib/zipformat.h"
#include "ziplib/zipwriter.h"

namespace ziplib {

// ---------------------------------------------------------------------------------
bool OutFile::Adopt(HANDLE h) {
  file_ = File(h);
  buf_.resize(4u << 20);
  return file_.IsOpen();
}

// Keeps the system's code of the first failure (a full disk tells the caller there is no room).
bool OutFile::Fail() {
  if (!failed_) error_ = File::LastError();
  failed_ = true;
  return false;
}

bool OutFile::Flush() {
  if (!failed_ && used_ > 0 && !file_.Write(buf_.data(), used_)) Fail();
  used_ = 0;
  return !failed_;
}

bool OutFile::Write(const void* data, size_t len) {
  if (failed_) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  pos_ += len;
  if (used_ + len > buf_.size()) {
    if (!Flush()) return false;
    if (len >= buf_.size()) return file_.Write(p, len) || Fail();
  }
  std::memcpy(buf_.data() + used_, p, len);
  used_ += len;
  return true;
}

bool OutFile::Patch(uint64_t offset, const void* data, size_t len) {
  if (!Flush()) return false;
  if (!file_.Seek(offset) || !file_.Write(data, len) || !file_.Seek(pos_)) Fail();
  return !failed_;
}

bool OutFile::Close() {
  if (!file_.IsOpen()) return !failed_;
  Flush();
  if (!failed_ && !file_.Flush()) Fail();
  if (!file_.Close()) Fail();
  return !failed_;
}

// ---------------------------------------------------------------------------------
namespace {

constexpr uint32_t kChunk = 1u << 20;
constexpr uint32_t kDeflateWindow = 32768;
constexpr uint32_t kDeflate64Window = 65536;
constexpr int kAesStrength = 3;   // AES-256

// A vector whose growth leaves the new bytes as they are: what is read or compressed into
// it overwrites them, so clearing them first would only cost a pass over the memory.
template <class T>
struct Uncleared : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = Uncleared<U>;
  };
  Uncleared() = default;
  template <class U>
  Uncleared(const Uncleared<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... A>
  void construct(U* p, A&&... a) {
    ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
  }
};
using Bytes = std::vector<uint8_t, Uncleared<uint8_t>>;

// Room for the output of len input bytes: deflate's bound for our window and hash sizes
// (deflateBound's, with what DeflateChunk adds) and above Deflate64's stored blocks, so
// the buffer a chunk is given does not grow while it is compressed.
size_t OutputRoom(uint32_t len) {
  const size_t n = len;
  return n + ((n + 7) >> 3) + ((n + 63) >> 6) + 256;
}

// The output buffers of written chunks, kept for the chunks after them (on the calling
// thread). A chunk takes the smallest that fits; the kept buffers stay within a limit, so
// a run of large files followed by small ones holds no more than the large ones needed.
class BufferPool {
 public:
  explicit BufferPool(size_t limit) : limit_(limit) {}
  Bytes Take(size_t room) {
    auto it = free_.lower_bound(room);
    if (it == free_.end()) {
      Bytes b;
      b.reserve(room);
      return b;
    }
    Bytes b = std::move(it->second);
    kept_ -= it->first;
    free_.erase(it);
    b.clear();
    return b;
  }
  void Give(Bytes&& b) {
    const size_t room = b.capacity();
    if (room == 0 || kept_ + room > limit_) return;   // freed here
    kept_ += room;
    free_.emplace(room, std::move(b));
  }

 private:
  std::multimap<size_t, Bytes> free_;
  size_t kept_ = 0;
  const size_t limit_;
};

struct Task {
  size_t item = 0;
  File* file = nullptr;      // none: a whole file, opened by the worker from path
  const std::wstring* path = nullptr;
  uint64_t fileSize = 0;     // of the whole file
  uint64_t offset = 0;
  uint32_t len = 0;
  bool first = true, last = true, store = false, deflate64 = false;
  // results
  Bytes out;                                 // from the pool, given back once written
  uint32_t crc = 0;
  uint32_t rawLen = 0;
  uint16_t method = kMethodDeflated;
  bool readError = false;
  bool grew = false;                         // a file of one chunk held more than a chunk when read
  DWORD openError = 0;                       // the worker could not open the file
  bool encrypt = false;                      // a file entry of an encrypting run
  std::unique_ptr<AesZipEncryptor> aes;      // first chunk: the entry's cipher, started
  std::string aesHeader, aesCode;            // salt + verifier; code when first and last
  bool cipherError = false;
  // A later chunk of an encrypted file, handed back to the workers once compressed: the
  // entry's cipher and where the chunk's bytes begin in the entry's encrypted data.
  bool cipherQueued = false;
  const AesZipEncryptor* cipher = nullptr;
  uint64_t cipherAt = 0;
  std::atomic<bool> done{false};
};

// The workers and the calling thread meet through a slim lock and condition variables:
// those wait in the process itself, where a kernel mutex or event would cost a call into
// the system for every small file handed over.
class Workers {
 public:
  Workers(int level, std::string password, unsigned count) : level_(level), password_(std::move(password)) {
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { Loop(); });
  }
  ~Workers() {
    AcquireSRWLockExclusive(&lock_);
    stop_ = true;
    ReleaseSRWLockExclusive(&lock_);
    WakeAllConditionVariable(&work_);
    for (auto& t : threads_) t.join();
  }
  // urgent: ahead of the chunks waiting to be compressed (the writer waits for it).
  void Submit(Task* t, bool urgent = false) {
    AcquireSRWLockExclusive(&lock_);
    (urgent ? urgent_ : pending_).push_back(t);
    const bool wake = idle_ > 0;
    ReleaseSRWLockExclusive(&lock_);
    if (wake) WakeConditionVariable(&work_);
  }
  // The calling thread spins only briefly before it sleeps: every worker needs a core
  // of its own, and a sleep and a wake here stay inside the process.
  void Wait(Task* t) {
    for (int i = 0; i < kSpins; ++i) {
      if (t->done.load()) return;
      YieldProcessor();
    }
    AcquireSRWLockExclusive(&lock_);
    waiting_.store(true);
    while (!t->done.load()) SleepConditionVariableSRW(&done_, &lock_, INFINITE, 0);
    waiting_.store(false);
    ReleaseSRWLockExclusive(&lock_);
  }

 private:
  static constexpr int kSpins = 200;

  void Loop() {
    z_stream zs{};
    bool zInit = false;
    Bytes in;   // the chunk with the window before it, or a whole small file; kept for the run
    for (;;) {
      AcquireSRWLockExclusive(&lock_);
      ++idle_;
      while (!stop_ && pending_.empty() && urgent_.empty()) SleepConditionVariableSRW(&work_, &lock_, INFINITE, 0);
      --idle_;
      if (pending_.empty() && urgent_.empty()) {
        ReleaseSRWLockExclusive(&lock_);
        break;
      }
      std::deque<Task*>& from = urgent_.empty() ? pending_ : urgent_;
      Task* t = from.front();
      from.pop_front();
      ReleaseSRWLockExclusive(&lock_);
      if (t->cipherQueued) {
        t->cipherError = !t->out.empty() && t->cipher->EncryptPart(t->cipherAt, t->out.data(), t->out.size()) != AesResult::Ok;
      } else {
        if (!t->store && !t->deflate64 && !zInit) {
          zInit = deflateInit2(&zs, level_, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        }
        Process(*t, zs, zInit, in);
        if (t->encrypt && t->first && !t->readError && t->openError == 0) Encrypt(*t);
      }
      // done before waiting_ is read, as Wait sets waiting_ before it reads done: one of
      // the two always sees the other, and the lock taken here lets the waiter reach its
      // sleep first, so no wake is lost.
      t->done.store(true);
      if (waiting_.load()) {
        AcquireSRWLockExclusive(&lock_);
        ReleaseSRWLockExclusive(&lock_);
        WakeAllConditionVariable(&done_);
      }
    }
    if (zInit) deflateEnd(&zs);
  }

  void Process(Task& t, z_stream& zs, bool zInit, Bytes& in) {
    const uint32_t window = t.deflate64 ? kDeflate64Window : kDeflateWindow;
    const uint32_t dict = (!t.store && !t.first) ? static_cast<uint32_t>(std::min<uint64_t>(window, t.offset)) : 0;
    uint32_t got = 0;
    if (t.file == nullptr) {
      if (!ReadWhole(t, in, &got)) return;
    } else {
      in.resize(static_cast<size_t>(dict) + t.len);
      if (!t.file->ReadPlaced(t.offset - dict, in.data(), dict + t.len, &got)) {
        t.readError = true;
        return;
      }
    }
    const uint32_t dataLen = got > dict ? got - dict : 0;
    const uint8_t* data = in.data() + dict;
    t.rawLen = dataLen;
    t.crc = Crc32(0, data, dataLen);
    if (t.store || (!t.deflate64 && !zInit)) {
      t.method = kMethodStored;
      t.out.assign(data, data + dataLen);
      return;
    }
    if (t.deflate64) {
      if (!Deflate64Chunk(t, in.data(), dict, got >= dict, data, dataLen)) t.readError = true;
    } else if (!DeflateChunk(t, zs, in.data(), dict, got >= dict, data, dataLen)) {
      t.readError = true;  // cannot happen with a deflateBound buffer; reported as a failure
    }
    if (t.readError) return;
    // A small file that does not shrink is stored, as other zip tools do.
    if (t.first && t.last && t.out.size() >= dataLen) {
      t.method = kMethodStored;
      t.out.assign(data, data + dataLen);
    }
  }

  // A file of one chunk: opened, read to its end (at most one chunk) and closed here.
  static bool ReadWhole(Task& t, Bytes& in, uint32_t* got) {
    File f = OpenFileToRead(*t.path, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!f.IsOpen()) {
      t.openError = File::LastError();
      if (t.openError == 0) t.openError = ERROR_FILE_NOT_FOUND;
      return false;
    }
    // One byte more than the listed size shows a file that grew since it was listed.
    in.resize(std::min<size_t>(kChunk, static_cast<size_t>(t.len) + 1));
    *got = 0;
    for (;;) {
      if (*got == in.size()) {
        if (in.size() >= kChunk) {
          // Grown past a chunk since it was listed: what was read goes in, and the file is
          // named as changed.
          uint8_t more = 0;
          size_t n = 0;
          t.grew = f.ReadSome(&more, 1, &n) && n > 0;
          break;
        }
        in.resize(std::min<size_t>(kChunk, in.size() * 2));
      }
      size_t n = 0;
      if (!f.ReadSome(in.data() + *got, in.size() - *got, &n)) {
        t.readError = File::LastError() != ERROR_HANDLE_EOF;
        break;
      }
      if (n == 0) break;
      *got += static_cast<uint32_t>(n);
    }
    f.Close();
    t.fileSize = *got;
    return !t.readError;
  }

  bool Deflate64Chunk(Task& t, const uint8_t* dictData, uint32_t dict, bool haveDict, const uint8_t* data,
                      uint32_t dataLen) {
    t.out.clear();
    Deflate64Encoder enc(level_, [&t](const uint8_t* p, size_t n) {
      t.out.insert(t.out.end(), p, p + n);
      return true;
    });
    if (dict > 0 && haveDict) enc.SetDictionary(dictData, dict);
    const bool ok = enc.Write(data, dataLen) && (t.last ? enc.Finish() : enc.Flush());
    t.method = kMethodDeflate64;
    return ok;
  }

  bool DeflateChunk(Task& t, z_stream& zs, const uint8_t* dictData, uint32_t dict, bool haveDict,
                    const uint8_t* data, uint32_t dataLen) {
    deflateReset(&zs);
    if (dict > 0 && haveDict) deflateSetDictionary(&zs, dictData, dict);
    t.out.resize(deflateBound(&zs, dataLen) + 64);
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = dataLen;
    zs.next_out = t.out.data();
    zs.avail_out = static_cast<uInt>(t.out.size());
    const int rc = deflate(&zs, t.last ? Z_FINISH : Z_SYNC_FLUSH);
    if ((t.last && rc != Z_STREAM_END) || (!t.last && (rc != Z_OK || zs.avail_in != 0))) return false;
    t.out.resize(t.out.size() - zs.avail_out);
    t.method = kMethodDeflated;
    return true;
  }

  void Encrypt(Task& t) {
    t.aes = std::make_unique<AesZipEncryptor>();
    t.cipherError = t.aes->Begin(password_, &t.aesHeader) != AesResult::Ok ||
                    (!t.out.empty() && t.aes->Encrypt(t.out.data(), t.out.size()) != AesResult::Ok) ||
                    (t.last && t.aes->Finish(&t.aesCode) != AesResult::Ok);
    if (t.last) t.aes.reset();   // a whole file: nothing left for the calling thread
  }

  int level_;
  const std::string password_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE work_ = CONDITION_VARIABLE_INIT, done_ = CONDITION_VARIABLE_INIT;
  std::deque<Task*> pending_, urgent_;
  unsigned idle_ = 0;                  // workers asleep for want of work
  std::atomic<bool> waiting_{false};   // the calling thread is asleep in Wait
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

EntryHeader HeaderFor(const SourceFile& s, const DzipOptions& o) {
  EntryHeader e;
  EncodedName n = EncodeZipName(s.zipName, o.Sub(dz::ZSO_ANSI_NAMES));
  e.name = std::move(n.bytes);
  e.flags = n.flags;
  e.dosDateTime = FileTimeToDos(s.mtime);
  e.externalAttr = s.attrs & 0x37;   // read-only, hidden, system, folder, archive
  e.extra = NtfsExtraBlock(s.mtime, s.atime, s.ctime);
  return e;
}

int Percent(uint64_t done, uint64_t total) {
  if (total == 0) return 100;
  return static_cast<int>(std::min<uint64_t>(100, done * 100 / total));
}

bool IsLockError(DWORD e) {
  return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION || e == ERROR_ACCESS_DENIED;
}

uint16_t VersionNeeded(const SourceFile& s, uint16_t method) {
  if (s.isDir) return kVersionDefault;
  if (method == kMethodStored) return 10;
  return method == kMethodDeflate64 ? kVersionDeflate64 : kVersionDefault;
}

// The file holds other bytes than the `read` ones its entry got: a file of one chunk grew
// past it, or the size of a file read by several chunks changed while they were read.
bool ChangedWhileRead(const Task& t, uint64_t read) {
  if (t.file == nullptr) return t.grew;
  uint64_t now = 0;
  return t.file->Size(&now) && now != read;
}

// The entry being written, on the calling thread: its header, the running CRC and, for an
// encrypted file, the cipher. The local header goes out before the first chunk's data and,
// when the entry spans several chunks, gets its CRC and sizes patched in at the end.
class EntryWriter {
 public:
  EntryWriter(const DzipOptions& o, OutFile& out) : o_(o), out_(out) {}

  // The first chunk of an entry is at hand.
  void Begin(Task& t, const NewItem& it) {
    const SourceFile& s = *it.src;
    item_ = t.item;
    cipherEnd_ = t.out.size();
    cur_ = HeaderFor(s, o_);
    headerPos_ = out_.Pos();
    cur_.localHeaderOffset = headerPos_;
    cur_.method = t.method;
    cur_.versionNeeded = VersionNeeded(s, t.method);
    single_ = t.last;
    size_ = s.isDir ? 0 : t.fileSize;
    crc_ = t.crc;
    done_ = 0;
    result_ = EntryResult{};
    result_.zipName = s.zipName;
    result_.sourcePath = s.path;
    result_.action = it.action;
    result_.isDir = s.isDir;
    result_.mtime = s.mtime;
    result_.method = t.method;
    std::string localExtra;   // the file times travel in the central header only
    encrypted_ = t.encrypt && !s.isDir;
    aes_ = std::move(t.aes);
    aesCode_ = t.aesCode;
    if (encrypted_) {
      localExtra = AesExtraField(t.method, kAesStrength);
      cur_.extra += localExtra;
      cur_.method = kAesMethod;
      cur_.flags |= kFlagEncrypted;
      cur_.versionNeeded = kVersionAes;
    }
    cur_.compressedSize = (encrypted_ ? AesOverhead(kAesStrength) : 0) + t.out.size();
    cur_.uncompressedSize = t.rawLen;
    cur_.crc = encrypted_ ? 0 : crc_;   // AE-2 keeps no CRC: the authentication code covers the data
    zip64_ = !single_ && NeedsZip64Sizes(size_);
    EntryHeader local = cur_;
    local.extra = localExtra;
    const std::string h = BuildLocalHeader(local, zip64_);
    out_.Write(h.data(), h.size());
    out_.Write(t.aesHeader.data(), t.aesHeader.size());
  }

  // One chunk of the entry, the first one (encrypted by its worker) included; false when
  // the cipher failed.
  bool Append(Task& t) {
    if (!t.first) {
      crc_ = Crc32Combine(crc_, t.crc, t.rawLen);
      cur_.compressedSize += t.out.size();
      cur_.uncompressedSize += t.rawLen;
      if (encrypted_ && (!aes_ || !t.cipherQueued || t.cipherAt != cipherEnd_)) return false;
      if (aes_ && !t.out.empty() && aes_->Authenticate(t.out.data(), t.out.size()) != AesResult::Ok) return false;
      cipherEnd_ += t.out.size();
    }
    if (!t.out.empty()) out_.Write(t.out.data(), t.out.size());
    done_ += t.rawLen;
    return true;
  }

  // After the last chunk: the authentication code, the header patch, the records. changed:
  // the file changed while it was read.
  bool End(std::vector<EntryHeader>& central, std::vector<EntryResult>& results, bool changed) {
    if (encrypted_) {
      if (aes_) {   // spread over several chunks: the code comes now
        const bool ok = aes_->Finish(&aesCode_) == AesResult::Ok;
        aes_.reset();
        if (!ok) return false;
      }
      out_.Write(aesCode_.data(), aesCode_.size());
    } else {
      cur_.crc = crc_;
    }
    if (!single_) {
      // Sizes and CRC of a multi-chunk entry are known only now.
      std::string fix;
      Put32(fix, cur_.crc);
      if (zip64_) {
        out_.Patch(headerPos_ + kLocalCrcOffset, fix.data(), fix.size());
        std::string sizes;
        Put64(sizes, cur_.uncompressedSize);
        Put64(sizes, cur_.compressedSize);
        out_.Patch(headerPos_ + LocalZip64SizesOffset(cur_), sizes.data(), sizes.size());
      } else {
        Put32(fix, static_cast<uint32_t>(cur_.compressedSize));
        Put32(fix, static_cast<uint32_t>(cur_.uncompressedSize));
        out_.Patch(headerPos_ + kLocalCrcOffset, fix.data(), fix.size());
      }
    }
    if (zip64_) cur_.versionNeeded = std::max(cur_.versionNeeded, kVersionZip64);
    central.push_back(cur_);
    result_.size = cur_.uncompressedSize;
    result_.compressed = cur_.compressedSize;
    result_.changed = changed;
    results.push_back(result_);
    return true;
  }

  int Percent() const { return size_ ? ziplib::Percent(done_, size_) : 100; }
  uint64_t Done() const { return done_; }   // the bytes of the file read into the entry
  // The cipher of the encrypted file being written (null between files or for one of one
  // chunk), its item and how many encrypted bytes of it are written.
  const AesZipEncryptor* Cipher() const { return aes_.get(); }
  size_t Item() const { return item_; }
  uint64_t CipherEnd() const { return cipherEnd_; }

 private:
  const DzipOptions& o_;
  OutFile& out_;
  EntryHeader cur_;
  EntryResult result_;
  std::unique_ptr<AesZipEncryptor> aes_;   // while an entry of several chunks is written
  std::string aesCode_;
  bool encrypted_ = false;
  uint64_t headerPos_ = 0, size_ = 0, done_ = 0, cipherEnd_ = 0;
  size_t item_ = 0;
  uint32_t crc_ = 0;
  bool single_ = true, zip64_ = false;
};

}  // namespace

int CompressItems(const std::vector<NewItem>& items, const DzipOptions& o, OutFile& out, Reporter& rep,
                  ProgressTotals& progress, std::vector<EntryHeader>& central, std::vector<EntryResult>& results) {
  unsigned threads = std::thread::hardware_concurrency();
  threads = std::clamp(threads, 1u, 8u);
  // Many small files in flight keep every worker busy while others wait on their files;
  // the bytes in flight stay within a few chunks per worker.
  const size_t maxTasks = threads * 24;
  const uint64_t maxBytes = static_cast<uint64_t>(threads * 3 + 2) * kChunk;
  // Files read by several chunks; declared before the workers, so they outlive every read.
  std::vector<std::unique_ptr<File>> openFiles;
  Workers workers(o.level, o.encrypt ? o.password : std::string(), threads);
  std::deque<std::unique_ptr<Task>> inflight;
  uint64_t bytesInFlight = 0;
  BufferPool pool(static_cast<size_t>(maxBytes + maxBytes / 4));

  size_t nextItem = 0;
  uint64_t nextOffset = 0;   // of the item being scheduled
  uint64_t itemSize = 0;
  File* itemFile = nullptr;
  bool scheduling = false;   // an item of several chunks is partly scheduled
  int result = dz::ZE_OK;
  EntryWriter entry(o, out);

  auto finishFailure = [&](int code) {
    result = code;
    for (auto& t : inflight) workers.Wait(t.get());
  };
  // A file that cannot be opened: skipped with a warning, or the end of the run.
  auto openFailed = [&](const SourceFile& s, DWORD err) {
    const std::string path = tk::Narrow(s.path);
    EntryResult r;
    r.zipName = s.zipName;
    r.sourcePath = s.path;
    r.action = EntryAction::Skipped;
    if (IsLockError(err) && !o.Sub(dz::ZSO_SKIPLOCKEDFILES)) {
      rep.Error(dz::ZE_OPEN, "Cannot open file (locked or no read permission): " + path);
      r.note = "cannot open (locked or no read permission)";
      results.push_back(r);
      return false;
    }
    r.note = IsLockError(err) ? "skipped, locked or no read permission" : "skipped, not found";
    rep.Warning("File skipped (" + std::string(IsLockError(err) ? "locked or no read permission" : "not found") +
                "): " + path);
    results.push_back(r);
    progress.doneBytes += s.size;
    return true;
  };
  // A later chunk of an encrypted file goes back to the workers for its encryption once it
  // and every chunk before it are compressed: then its place in the entry's data is known.
  auto needsCipher = [&](const Task& t) { return t.encrypt && !t.first && !t.readError && t.openError == 0; };
  auto queueCiphers = [&] {
    if (!o.encrypt) return;
    const AesZipEncryptor* cipher = entry.Cipher();
    size_t item = entry.Item();
    uint64_t at = entry.CipherEnd();
    for (auto& p : inflight) {
      Task& t = *p;
      if (t.first && t.last) continue;    // a file of one chunk, encrypted whole by its worker
      if (t.first) {
        if (!t.done.load()) return;
        cipher = t.aes.get();
        item = t.item;
        at = t.out.size();
        continue;
      }
      if (cipher == nullptr || t.item != item) return;
      if (!t.cipherQueued) {
        if (!t.done.load() || !needsCipher(t)) return;
        t.cipherQueued = true;
        t.cipher = cipher;
        t.cipherAt = at;
        t.done.store(false);
        workers.Submit(&t, true);
      }
      at = t.cipherAt + t.out.size();
    }
  };
  auto newTask = [&](size_t item) {
    auto t = std::make_unique<Task>();
    t->item = item;
    t->store = items[item].store || o.level == 0;
    t->deflate64 = o.deflate64;
    t->encrypt = o.encrypt;
    return t;
  };
  // A task that reads data: its length and an output buffer that holds the result.
  auto dataTask = [&](size_t item, uint32_t len) {
    auto t = newTask(item);
    t->len = len;
    t->out = pool.Take(OutputRoom(len));
    bytesInFlight += len;
    return t;
  };

  while (result == dz::ZE_OK) {
    // Fill the window.
    while (inflight.size() < maxTasks && bytesInFlight < maxBytes && (scheduling || nextItem < items.size())) {
      if (!scheduling) {
        const NewItem& it = items[nextItem];
        const SourceFile& s = *it.src;
        if (s.isDir) {
          auto t = newTask(nextItem++);
          t->done = true;
          t->method = kMethodStored;
          inflight.push_back(std::move(t));
          continue;
        }
        if (s.size <= kChunk) {
          // One chunk as listed: the worker opens, reads and closes the file.
          auto t = dataTask(nextItem++, static_cast<uint32_t>(s.size));
          t->path = &s.path;
          t->fileSize = s.size;
          workers.Submit(t.get());
          inflight.push_back(std::move(t));
          continue;
        }
        File f = OpenFileToRead(s.path, FILE_FLAG_SEQUENTIAL_SCAN);
        if (!f.IsOpen()) {
          const DWORD err = File::LastError();
          // Reported in order, after the items before it were written.
          auto t = newTask(nextItem++);
          t->openError = err;
          if (t->openError == 0) t->openError = ERROR_FILE_NOT_FOUND;
          t->done = true;
          inflight.push_back(std::move(t));
          continue;
        }
        itemSize = 0;
        f.Size(&itemSize);
        openFiles.push_back(std::make_unique<File>(std::move(f)));
        itemFile = openFiles.back().get();
        nextOffset = 0;
        scheduling = true;
      }
      auto t = dataTask(nextItem, static_cast<uint32_t>(std::min<uint64_t>(kChunk, itemSize - nextOffset)));
      t->file = itemFile;
      t->fileSize = itemSize;
      t->offset = nextOffset;
      t->first = nextOffset == 0;
      nextOffset += t->len;
      t->last = nextOffset >= itemSize;
      if (t->last) {
        scheduling = false;
        ++nextItem;
      }
      workers.Submit(t.get());
      inflight.push_back(std::move(t));
    }
    if (inflight.empty()) break;

    // Write the oldest chunk.
    queueCiphers();
    workers.Wait(inflight.front().get());
    if (needsCipher(*inflight.front()) && !inflight.front()->cipherQueued) {
      queueCiphers();   // compressed just now: its place is known
      if (inflight.front()->cipherQueued) workers.Wait(inflight.front().get());
      else inflight.front()->cipherError = true;
    }
    std::unique_ptr<Task> t = std::move(inflight.front());
    inflight.pop_front();
    bytesInFlight -= t->len;
    const NewItem& it = items[t->item];
    const SourceFile& s = *it.src;
    if (t->openError != 0) {
      if (!openFailed(s, t->openError)) {
        finishFailure(dz::ZE_OPEN);
        break;
      }
      continue;
    }
    if (t->readError) {
      rep.Error(dz::ZE_READ, "Read failure: " + tk::Narrow(s.path));
      finishFailure(dz::ZE_READ);
      break;
    }
    if (t->first && !t->cipherError) entry.Begin(*t, it);
    const bool appended = !t->cipherError && entry.Append(*t);
    const bool changed = appended && t->last && !s.isDir && ChangedWhileRead(*t, entry.Done());
    if (!appended || (t->last && !entry.End(central, results, changed))) {
      rep.Error(dz::ZE_INCOMPLETE, "Encryption failed (system error): " + s.zipName);
      finishFailure(dz::ZE_INCOMPLETE);
      break;
    }
    if (changed)
      rep.Warning("File changed while it was zipped, stored as read (" + std::to_string(entry.Done()) +
                  " bytes): " + tk::Narrow(s.path));
    pool.Give(std::move(t->out));
    progress.doneBytes += t->rawLen;
    if (t->last && t->file != nullptr)
      openFiles.erase(std::find_if(openFiles.begin(), openFiles.end(), [&](const auto& f) { return f.get() == t->file; }));
    if (out.Failed()) {
      rep.FileError(dz::DZ_MSG_WRITE_ERROR, "Write failure: " + o.zipFile, out.Error());
      finishFailure(dz::ZE_WRITE);
      break;
    }
    if (!s.isDir) rep.Minor(s.zipName, entry.Percent());
    if (rep.Cancelled() || rep.Major(progress.majorItem, Percent(progress.doneBytes, progress.totalBytes))) {
      finishFailure(dz::ZE_ABORT);
      break;
    }
  }
  for (auto& t : inflight) workers.Wait(t.get());
  return result;
}

}  // namespace ziplib
