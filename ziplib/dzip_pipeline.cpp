// The compression pipeline. Files are cut into chunks; worker threads read and compress
// chunks independently (each deflate chunk primed with the 32 KiB before it, ended with a
// sync flush, the last one with the final block), and the calling thread writes the
// results in order and makes every callback. At most a fixed number of chunks are in
// flight, so memory stays bounded whatever the sizes of the files.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "toolkit/strings.h"
#include "ziplib/zipformat.h"
#include "ziplib/zipwriter.h"

namespace ziplib {

// ---------------------------------------------------------------------------------
OutFile::~OutFile() {
  if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
}

bool OutFile::Create(const std::wstring& path) {
  h_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                   FILE_ATTRIBUTE_NORMAL, nullptr);
  buf_.resize(4u << 20);
  return h_ != INVALID_HANDLE_VALUE;
}

bool OutFile::Flush() {
  size_t done = 0;
  while (!failed_ && done < used_) {
    DWORD put = 0;
    const DWORD n = static_cast<DWORD>(std::min<size_t>(used_ - done, 1u << 30));
    if (!WriteFile(h_, buf_.data() + done, n, &put, nullptr) || put == 0) failed_ = true;
    done += put;
  }
  used_ = 0;
  return !failed_;
}

bool OutFile::Write(const void* data, size_t len) {
  if (failed_) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  pos_ += len;
  if (used_ + len > buf_.size()) {
    if (!Flush()) return false;
    if (len >= buf_.size()) {
      size_t done = 0;
      while (done < len) {
        DWORD put = 0;
        const DWORD n = static_cast<DWORD>(std::min<size_t>(len - done, 1u << 30));
        if (!WriteFile(h_, p + done, n, &put, nullptr) || put == 0) return !(failed_ = true);
        done += put;
      }
      return true;
    }
  }
  std::memcpy(buf_.data() + used_, p, len);
  used_ += len;
  return true;
}

bool OutFile::Patch(uint64_t offset, const void* data, size_t len) {
  if (!Flush()) return false;
  LARGE_INTEGER at{}, end{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  end.QuadPart = static_cast<LONGLONG>(pos_);
  DWORD put = 0;
  if (!SetFilePointerEx(h_, at, nullptr, FILE_BEGIN) ||
      !WriteFile(h_, data, static_cast<DWORD>(len), &put, nullptr) || put != len ||
      !SetFilePointerEx(h_, end, nullptr, FILE_BEGIN))
    failed_ = true;
  return !failed_;
}

bool OutFile::Close() {
  if (h_ == INVALID_HANDLE_VALUE) return !failed_;
  Flush();
  if (!failed_ && !FlushFileBuffers(h_)) failed_ = true;
  if (!CloseHandle(h_)) failed_ = true;
  h_ = INVALID_HANDLE_VALUE;
  return !failed_;
}

// ---------------------------------------------------------------------------------
namespace {

constexpr uint32_t kChunk = 1u << 20;
constexpr uint32_t kDict = 32768;

struct Task {
  size_t item = 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  uint64_t offset = 0;
  uint32_t len = 0;
  bool first = true, last = true, store = false;
  // results
  std::vector<uint8_t> out;
  uint32_t crc = 0;
  uint32_t rawLen = 0;
  uint16_t method = kMethodDeflated;
  bool readError = false;
  bool done = false;
};

bool ReadAt(HANDLE h, uint64_t offset, uint8_t* buf, uint32_t len, uint32_t* got) {
  *got = 0;
  while (*got < len) {
    OVERLAPPED ov{};
    const uint64_t at = offset + *got;
    ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD n = 0;
    if (!ReadFile(h, buf + *got, len - *got, &n, &ov)) return GetLastError() == ERROR_HANDLE_EOF;
    if (n == 0) break;
    *got += n;
  }
  return true;
}

class Workers {
 public:
  Workers(int level, unsigned count) : level_(level) {
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { Loop(); });
  }
  ~Workers() {
    {
      std::lock_guard<std::mutex> g(m_);
      stop_ = true;
    }
    cvWork_.notify_all();
    for (auto& t : threads_) t.join();
  }
  void Submit(Task* t) {
    {
      std::lock_guard<std::mutex> g(m_);
      pending_.push_back(t);
    }
    cvWork_.notify_one();
  }
  void Wait(Task* t) {
    std::unique_lock<std::mutex> g(m_);
    cvDone_.wait(g, [t] { return t->done; });
  }

 private:
  void Loop() {
    z_stream zs{};
    bool zInit = false;
    std::vector<uint8_t> in;
    for (;;) {
      Task* t = nullptr;
      {
        std::unique_lock<std::mutex> g(m_);
        cvWork_.wait(g, [this] { return stop_ || !pending_.empty(); });
        if (pending_.empty()) break;
        t = pending_.front();
        pending_.pop_front();
      }
      if (!t->store && !zInit) {
        zInit = deflateInit2(&zs, level_, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
      }
      Process(*t, zs, zInit, in);
      {
        std::lock_guard<std::mutex> g(m_);
        t->done = true;
      }
      cvDone_.notify_all();
    }
    if (zInit) deflateEnd(&zs);
  }

  void Process(Task& t, z_stream& zs, bool zInit, std::vector<uint8_t>& in) {
    const uint32_t dict = (!t.store && !t.first) ? static_cast<uint32_t>(std::min<uint64_t>(kDict, t.offset)) : 0;
    in.resize(static_cast<size_t>(dict) + t.len);
    uint32_t got = 0;
    if (!ReadAt(t.h, t.offset - dict, in.data(), dict + t.len, &got)) {
      t.readError = true;
      return;
    }
    const uint32_t dataLen = got > dict ? got - dict : 0;
    const uint8_t* data = in.data() + dict;
    t.rawLen = dataLen;
    t.crc = Crc32(0, data, dataLen);
    if (t.store || !zInit) {
      t.method = kMethodStored;
      t.out.assign(data, data + dataLen);
      return;
    }
    deflateReset(&zs);
    if (dict > 0 && got >= dict) deflateSetDictionary(&zs, in.data(), dict);
    t.out.resize(deflateBound(&zs, dataLen) + 64);
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = dataLen;
    zs.next_out = t.out.data();
    zs.avail_out = static_cast<uInt>(t.out.size());
    const int rc = deflate(&zs, t.last ? Z_FINISH : Z_SYNC_FLUSH);
    if ((t.last && rc != Z_STREAM_END) || (!t.last && (rc != Z_OK || zs.avail_in != 0))) {
      t.readError = true;  // cannot happen with a deflateBound buffer; reported as a failure
      return;
    }
    t.out.resize(t.out.size() - zs.avail_out);
    t.method = kMethodDeflated;
    // A small file that does not shrink is stored, as other zip tools do.
    if (t.first && t.last && t.out.size() >= dataLen) {
      t.method = kMethodStored;
      t.out.assign(data, data + dataLen);
    }
  }

  int level_;
  std::mutex m_;
  std::condition_variable cvWork_, cvDone_;
  std::deque<Task*> pending_;
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

}  // namespace

int CompressItems(const std::vector<NewItem>& items, const DzipOptions& o, OutFile& out, Reporter& rep,
                  ProgressTotals& progress, std::vector<EntryHeader>& central, std::vector<EntryResult>& results) {
  unsigned threads = std::thread::hardware_concurrency();
  threads = std::clamp(threads, 1u, 8u);
  const size_t window = threads * 3 + 2;
  Workers workers(o.level, threads);
  std::deque<std::unique_ptr<Task>> inflight;

  size_t nextItem = 0;
  uint64_t nextOffset = 0;   // of the item being scheduled
  uint64_t itemSize = 0;
  HANDLE itemHandle = INVALID_HANDLE_VALUE;
  bool scheduling = false;   // an item is partly scheduled
  int result = dz::ZE_OK;

  // The entry being written.
  EntryHeader cur;
  uint64_t curHeaderPos = 0;
  bool curZip64 = false;
  uint64_t curDone = 0, curSize = 0;
  EntryResult curResult;

  auto finishFailure = [&](int code) {
    result = code;
    for (auto& t : inflight) workers.Wait(t.get());
  };
  std::vector<HANDLE> openHandles;   // closed at the end, whatever happens
  auto closeAll = [&] {
    for (HANDLE h : openHandles) CloseHandle(h);
    openHandles.clear();
  };

  while (result == dz::ZE_OK) {
    // Fill the window.
    while (inflight.size() < window && (scheduling || nextItem < items.size())) {
      if (!scheduling) {
        const NewItem& it = items[nextItem];
        const SourceFile& s = *it.src;
        if (s.isDir) {
          auto t = std::make_unique<Task>();
          t->item = nextItem++;
          t->done = true;
          t->method = kMethodStored;
          inflight.push_back(std::move(t));
          continue;
        }
        HANDLE h = CreateFileW(s.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
          const DWORD err = GetLastError();
          const std::string path = tk::Narrow(s.path);
          EntryResult r;
          r.zipName = s.zipName;
          r.sourcePath = s.path;
          r.action = EntryAction::Skipped;
          if (IsLockError(err) && !o.Sub(dz::ZSO_SKIPLOCKEDFILES)) {
            rep.Error(dz::ZE_OPEN, "Cannot open file (locked or no read permission): " + path);
            r.note = "cannot open (locked or no read permission)";
            results.push_back(r);
            finishFailure(dz::ZE_OPEN);
            break;
          }
          r.note = IsLockError(err) ? "skipped, locked or no read permission" : "skipped, not found";
          rep.Warning("File skipped (" + std::string(IsLockError(err) ? "locked or no read permission" : "not found") +
                      "): " + path);
          results.push_back(r);
          progress.doneBytes += s.size;
          ++nextItem;
          continue;
        }
        openHandles.push_back(h);
        LARGE_INTEGER sz{};
        GetFileSizeEx(h, &sz);
        itemSize = static_cast<uint64_t>(sz.QuadPart);
        itemHandle = h;
        nextOffset = 0;
        scheduling = true;
      }
      auto t = std::make_unique<Task>();
      t->item = nextItem;
      t->h = itemHandle;
      t->offset = nextOffset;
      t->len = static_cast<uint32_t>(std::min<uint64_t>(kChunk, itemSize - nextOffset));
      t->first = nextOffset == 0;
      t->store = items[nextItem].store || o.level == 0;
      nextOffset += t->len;
      t->last = nextOffset >= itemSize;
      if (t->last) {
        scheduling = false;
        ++nextItem;
      }
      workers.Submit(t.get());
      inflight.push_back(std::move(t));
    }
    if (result != dz::ZE_OK) break;
    if (inflight.empty()) break;

    // Write the oldest chunk.
    std::unique_ptr<Task> t = std::move(inflight.front());
    inflight.pop_front();
    workers.Wait(t.get());
    const NewItem& it = items[t->item];
    const SourceFile& s = *it.src;
    if (t->readError) {
      rep.Error(dz::ZE_READ, "Read failure: " + tk::Narrow(s.path));
      finishFailure(dz::ZE_READ);
      break;
    }
    if (t->first) {
      cur = HeaderFor(s, o);
      cur.localHeaderOffset = out.Pos();
      curHeaderPos = out.Pos();
      cur.method = t->method;
      cur.versionNeeded = s.isDir || t->method == kMethodStored ? 10 : kVersionDefault;
      if (s.isDir) cur.versionNeeded = kVersionDefault;
      curDone = 0;
      curSize = s.isDir ? 0 : itemSize;
      curResult = EntryResult{};
      curResult.zipName = s.zipName;
      curResult.sourcePath = s.path;
      curResult.action = it.action;
      curResult.isDir = s.isDir;
      curResult.mtime = s.mtime;
      cur.crc = t->crc;
      cur.compressedSize = t->out.size();
      cur.uncompressedSize = t->rawLen;
      const std::string localExtra = cur.extra;
      cur.extra.clear();  // the file times travel in the central header only
      if (t->last) {
        curZip64 = false;
        out.Write(BuildLocalHeader(cur, false).data(), LocalHeaderSize(cur, false));
      } else {
        curZip64 = NeedsZip64Sizes(curSize);
        out.Write(BuildLocalHeader(cur, curZip64).data(), LocalHeaderSize(cur, curZip64));
      }
      cur.extra = localExtra;
    } else {
      cur.crc = Crc32Combine(cur.crc, t->crc, t->rawLen);
      cur.compressedSize += t->out.size();
      cur.uncompressedSize += t->rawLen;
    }
    if (!t->out.empty()) out.Write(t->out.data(), t->out.size());
    curDone += t->rawLen;
    progress.doneBytes += t->rawLen;
    if (t->last) {
      if (!t->first) {
        // Sizes and CRC of a multi-chunk entry are known only now.
        std::string fix;
        Put32(fix, cur.crc);
        if (curZip64) {
          out.Patch(curHeaderPos + kLocalCrcOffset, fix.data(), fix.size());
          std::string sizes;
          Put64(sizes, cur.uncompressedSize);
          Put64(sizes, cur.compressedSize);
          EntryHeader nameOnly = cur;
          nameOnly.extra.clear();
          out.Patch(curHeaderPos + LocalZip64SizesOffset(nameOnly), sizes.data(), sizes.size());
        } else {
          Put32(fix, static_cast<uint32_t>(cur.compressedSize));
          Put32(fix, static_cast<uint32_t>(cur.uncompressedSize));
          out.Patch(curHeaderPos + kLocalCrcOffset, fix.data(), fix.size());
        }
      }
      if (t->h != INVALID_HANDLE_VALUE) {
        CloseHandle(t->h);
        openHandles.erase(std::find(openHandles.begin(), openHandles.end(), t->h));
      }
      if (curZip64) cur.versionNeeded = kVersionZip64;
      central.push_back(cur);
      curResult.method = cur.method;
      curResult.size = cur.uncompressedSize;
      curResult.compressed = cur.compressedSize;
      results.push_back(curResult);
    }
    if (out.Failed()) {
      rep.FileError(dz::DZ_MSG_WRITE_ERROR, "Write failure: " + o.zipFile);
      finishFailure(dz::ZE_WRITE);
      break;
    }
    if (!s.isDir) {
      rep.Minor(s.zipName, curSize ? Percent(curDone, curSize) : 100);
    }
    if (rep.Cancelled() || rep.Major(progress.majorItem, Percent(progress.doneBytes, progress.totalBytes))) {
      finishFailure(dz::ZE_ABORT);
      break;
    }
  }
  for (auto& t : inflight) workers.Wait(t.get());
  closeAll();
  return result;
}

}  // namespace ziplib
