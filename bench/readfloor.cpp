// The floor under the zip library's speed: finds every file below one folder and reads
// each one whole, with a given number of threads, doing nothing with the bytes. Prints
// "<seconds> <files> <bytes>" (the search and the reads together, as a zip run needs both).
// With a level, the floor under its processor time instead: the files are read into memory
// first, then zlib alone compresses them in the library's 1 MiB chunks (each primed with
// the 32 KiB before it, with the library's settings) with the threads, and it prints
// "<seconds> <processor seconds> <bytes out>" of the compression alone.
// Usage: readfloor <folder> <threads> [level]
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/processor_time.h"

namespace {

void Find(const std::wstring& folder, std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (f == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      Find(folder + name + L"\\", out);
    else
      out.push_back(folder + name);
  } while (FindNextFileW(f, &fd));
  FindClose(f);
}

std::vector<char> ReadWhole(const std::wstring& path) {
  std::vector<char> data;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return data;
  LARGE_INTEGER size{};
  GetFileSizeEx(h, &size);
  data.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  for (size_t at = 0;
       at < data.size() && ReadFile(h, data.data() + at, static_cast<DWORD>(data.size() - at), &got, nullptr) && got > 0;)
    at += got;
  CloseHandle(h);
  return data;
}

// zlib's own work on the files' chunks, nothing else.
int CompressFloor(const std::vector<std::wstring>& files, unsigned threads, int level) {
  constexpr size_t kChunk = 1u << 20, kWindow = 32768;
  struct Chunk {
    const std::vector<char>* file;
    size_t offset, len;
  };
  std::vector<std::vector<char>> data;
  for (const auto& f : files) data.push_back(ReadWhole(f));
  std::vector<Chunk> chunks;
  for (const auto& d : data) {
    size_t at = 0;
    do {
      chunks.push_back({&d, at, std::min(kChunk, d.size() - at)});
      at += kChunk;
    } while (at < d.size());
  }
  std::atomic<size_t> next{0};
  std::atomic<unsigned long long> bytesOut{0};
  const double cpu0 = ProcessorSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  auto work = [&] {
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> out(deflateBound(&zs, kChunk) + 64);
    for (size_t i = next++; i < chunks.size(); i = next++) {
      const Chunk& c = chunks[i];
      const auto* base = reinterpret_cast<const Bytef*>(c.file->data());
      deflateReset(&zs);
      const size_t dict = std::min(kWindow, c.offset);
      if (dict > 0) deflateSetDictionary(&zs, base + c.offset - dict, static_cast<uInt>(dict));
      zs.next_in = const_cast<Bytef*>(base + c.offset);
      zs.avail_in = static_cast<uInt>(c.len);
      zs.next_out = out.data();
      zs.avail_out = static_cast<uInt>(out.size());
      deflate(&zs, c.offset + c.len == c.file->size() ? Z_FINISH : Z_SYNC_FLUSH);
      bytesOut += out.size() - zs.avail_out;
    }
    deflateEnd(&zs);
  };
  std::vector<std::thread> pool;
  for (unsigned i = 0; i < threads; ++i) pool.emplace_back(work);
  for (auto& t : pool) t.join();
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%.3f %.3f %llu\n", secs, ProcessorSeconds() - cpu0, bytesOut.load());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: readfloor <folder> <threads> [level]\n");
    return 2;
  }
  std::wstring folder = argv[1];
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  const unsigned threads = std::max(1, _wtoi(argv[2]));
  const auto t0 = std::chrono::steady_clock::now();
  std::vector<std::wstring> files;
  Find(folder, files);
  if (argc > 3) return CompressFloor(files, threads, _wtoi(argv[3]));
  std::atomic<size_t> next{0};
  std::atomic<unsigned long long> bytes{0};
  auto work = [&] {
    std::vector<char> buf(1u << 20);
    for (size_t i = next++; i < files.size(); i = next++) {
      HANDLE h = CreateFileW(files[i].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      DWORD got = 0;
      while (ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) bytes += got;
      CloseHandle(h);
    }
  };
  std::vector<std::thread> pool;
  for (unsigned i = 0; i < threads; ++i) pool.emplace_back(work);
  for (auto& t : pool) t.join();
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%.3f %zu %llu\n", secs, files.size(), bytes.load());
  return 0;
}
