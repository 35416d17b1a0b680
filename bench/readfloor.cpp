// The floor under the zip library's speed: finds every file below one folder and reads
// each one whole, with a given number of threads, doing nothing with the bytes. Prints
// "<seconds> <files> <bytes>" (the search and the reads together, as a zip run needs both).
// Usage: readfloor <folder> <threads>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: readfloor <folder> <threads>\n");
    return 2;
  }
  std::wstring folder = argv[1];
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  const unsigned threads = std::max(1, _wtoi(argv[2]));
  const auto t0 = std::chrono::steady_clock::now();
  std::vector<std::wstring> files;
  Find(folder, files);
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
