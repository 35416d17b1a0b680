#include "settings/dynazip.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "toolkit/strings.h"

// ---------------------------------------------------------------------------------
// TLPStr

TLPStr::TLPStr(uint16_t Capacity) {
  if (Capacity != 0) SetCapacity(Capacity);
}

TLPStr::~TLPStr() { delete[] text_; }

void TLPStr::Clear() {
  if (fixed_) {
    if (text_) text_[0] = '\0';
    return;
  }
  delete[] text_;
  text_ = nullptr;
  capacity_ = 0;
}

void TLPStr::SetText(const char* Text) {
  Clear();
  if (!Text) return;
  const size_t len = std::strlen(Text);
  if (fixed_ && text_) {
    const size_t n = std::min<size_t>(len, capacity_ ? capacity_ - 1u : 0u);
    std::memcpy(text_, Text, n);
    text_[n] = '\0';
    return;
  }
  text_ = new char[len + 1];
  std::memcpy(text_, Text, len + 1);
  // The 16-bit capacity cannot state more; the buffer itself is always the text's size.
  capacity_ = uint16_t(std::min<size_t>(len + 1, 0xFFFF));
}

void TLPStr::SetCapacity(uint16_t NewCapacity) {
  if (NewCapacity == 0) {  // growable again; the buffer stays
    fixed_ = false;
    return;
  }
  if (NewCapacity == capacity_ && text_) {
    fixed_ = true;
    return;
  }
  char* buffer = new (std::nothrow) char[NewCapacity];
  if (!buffer) return;
  buffer[0] = '\0';
  if (text_) {
    const size_t n = std::min<size_t>(std::strlen(text_), NewCapacity - 1u);
    std::memcpy(buffer, text_, n);
    buffer[n] = '\0';
  }
  delete[] text_;
  text_ = buffer;
  capacity_ = NewCapacity;
  fixed_ = true;
}

std::string& TLPStr::CopyTo(std::string& Dest) const {
  Dest = text_ ? text_ : "";
  return Dest;
}

void TLPStr::LoadFromStream(std::istream& Stream) {
  const size_t limit = fixed_ ? capacity_ : 32768u;
  std::vector<char> buf(limit + 1, '\0');
  Stream.read(buf.data(), std::streamsize(limit));
  const size_t got = size_t(Stream.gcount());
  if (got >= limit) throw std::runtime_error("Line too long");
  buf[got] = '\0';
  SetText(buf.data());
}

void TLPStr::SaveToStream(std::ostream& Stream) const {
  if (text_ && *text_) Stream.write(text_, std::streamsize(std::strlen(text_)));
}

void TLPStr::WritePChar(std::ostream& Stream) const {
  if (!text_ || !*text_) return;
  const uint32_t len = uint32_t(std::strlen(text_) + 1);
  const char head[5] = {10, char(len & 0xFF), char((len >> 8) & 0xFF), char((len >> 16) & 0xFF), char(len >> 24)};
  Stream.write(head, 5);
  Stream.write(text_, std::streamsize(len));
}

void TLPStr::ReadPChar(std::istream& Stream) {
  unsigned char head[5];
  if (!Stream.read(reinterpret_cast<char*>(head), 5)) return;
  const int32_t len = int32_t(uint32_t(head[1]) | (uint32_t(head[2]) << 8) | (uint32_t(head[3]) << 16) |
                              (uint32_t(head[4]) << 24));
  if (len <= 0) return;
  // The length comes from the file: read what is there, never more than it says.
  std::string bytes;
  char chunk[4096];
  for (int32_t left = len; left > 0 && Stream;) {
    Stream.read(chunk, std::min<int32_t>(left, int32_t(sizeof chunk)));
    bytes.append(chunk, size_t(Stream.gcount()));
    left -= int32_t(Stream.gcount());
  }
  SetText(bytes.c_str());
}

// ---------------------------------------------------------------------------------
// Loading a library

namespace {

TDynaZipFailureSeam g_seam;
std::string g_libraryFolder;

std::string ProgramFolder() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 2);
  }
  const size_t cut = buf.find_last_of(L"\\/");
  return tk::Narrow(cut == std::wstring::npos ? std::wstring() : buf.substr(0, cut + 1));
}

void Fail(const std::string& text) {
  if (g_seam.ShowBox)
    g_seam.ShowBox(text, MB_OK | MB_ICONWARNING);
  else
    MessageBoxW(nullptr, tk::Widen(text).c_str(), L"Quillbank", MB_OK | MB_ICONWARNING | MB_TASKMODAL);
  if (g_seam.EndProgram)
    g_seam.EndProgram(1);
  else
    ExitProcess(1);
  throw EDynaZipLoadError{text};
}

}  // namespace

void SetDynaZipFailureSeam(const TDynaZipFailureSeam& seam) { g_seam = seam; }
void SetDynaZipLibraryFolder(const std::string& folder) { g_libraryFolder = folder; }

TDynaZip::TDynaZip(const char* fileName, const char* entryName, const char* functionLabel) {
  const std::string libraryFile = tk::UpperCase(fileName);
  std::string folder = g_libraryFolder.empty() ? ProgramFolder() : g_libraryFolder;
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  // A full path, so that only the library beside the program is ever taken.
  module_ = LoadLibraryExW(tk::Widen(folder + libraryFile).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (reinterpret_cast<uintptr_t>(module_) <= 32) {
    module_ = nullptr;
    Fail("Could not load " + libraryFile + "!");
  }
  entry_ = GetProcAddress(module_, entryName);
  if (!entry_) {
    FreeLibrary(module_);
    module_ = nullptr;
    Fail(std::string("Could not load ") + functionLabel + " function!");
  }
}

TDynaZip::~TDynaZip() {
  entry_ = nullptr;
  if (module_) FreeLibrary(module_);
}

// ---------------------------------------------------------------------------------
// Events

void TDynaZip::DoMajorCallback(const char* szItem, int32_t Percent, bool& DoCancel) {
  if (OnMajorCallback) OnMajorCallback(szItem, Percent, DoCancel);
}

void TDynaZip::DoMinorCallback(const char* szItem, int32_t Percent, bool& DoCancel) {
  if (OnMinorCallback) OnMinorCallback(szItem, Percent, DoCancel);
}

void TDynaZip::DoMessageCallback(uint16_t MsgID, uint16_t mbType, int32_t p1, int32_t p2, char* lpsz1, char* lpsz2,
                                 int32_t& RtnResult) {
  if (OnMessageCallback) OnMessageCallback(MsgID, mbType, p1, p2, lpsz1, lpsz2, RtnResult);
}

void TDynaZip::DoRenameCallback(PDZRename dzr) {
  if (OnRenameCallback) OnRenameCallback(dzr);
}

void TDynaZip::DoMemToMem(int32_t lAction, char* lpMemBuf, uint32_t* pdwSize, int32_t dwTotalReadL,
                          int32_t dwTotalReadH, int32_t dwTotalWrittenL, int32_t dwTotalWrittenH, int32_t* plRet) {
  if (OnMemToMem)
    OnMemToMem(lAction, lpMemBuf, pdwSize, dwTotalReadL, dwTotalReadH, dwTotalWrittenL, dwTotalWrittenH, plRet);
}

void TDynaZip::SetLPStr(TLPStr&, const char*) {
  const std::string text = "Cannot Directly assign a value to type LPSTR.  Use SetText";
  if (g_seam.ShowBox)
    g_seam.ShowBox(text, MB_OK | MB_ICONINFORMATION);
  else
    MessageBoxW(nullptr, tk::Widen(text).c_str(), L"Quillbank", MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}

// ---------------------------------------------------------------------------------
// Thunks. A handler's exception must not unwind through the library's frames: it is
// caught here and the call goes on as if the handler had not answered.

int32_t __stdcall MajorCallbackThunk(const char* szItem, int32_t Percent, void* userData) {
  bool cancel = false;
  try {
    if (userData) static_cast<TDynaZip*>(userData)->DoMajorCallback(szItem, Percent, cancel);
  } catch (...) {
  }
  return cancel ? -1 : 0;
}

int32_t __stdcall MinorCallbackThunk(const char* szItem, int32_t Percent, void* userData) {
  bool cancel = false;
  try {
    if (userData) static_cast<TDynaZip*>(userData)->DoMinorCallback(szItem, Percent, cancel);
  } catch (...) {
  }
  return cancel ? -1 : 0;
}

int32_t __stdcall MessageCallbackThunk(int32_t MsgID, int32_t mbType, int32_t p1, int32_t p2, char* lpsz1,
                                       char* lpsz2, void* userData) {
  int32_t result = 0;
  try {
    if (userData)
      static_cast<TDynaZip*>(userData)->DoMessageCallback(uint16_t(MsgID & 0xFFFF), uint16_t(mbType & 0xFFFF), p1, p2,
                                                          lpsz1, lpsz2, result);
  } catch (...) {
  }
  return result;
}

int32_t __stdcall RenameCallbackThunk(void* dzr, void* userData) {
  try {
    if (userData) static_cast<TDynaZip*>(userData)->DoRenameCallback(dzr);
  } catch (...) {
  }
  return 0;
}

void __stdcall MemToMemCallbackThunk(int32_t lAction, char* lpMemBuf, uint32_t* pdwSize, int32_t dwTotalReadL,
                                     int32_t dwTotalReadH, int32_t dwTotalWrittenL, int32_t dwTotalWrittenH,
                                     void* userData, int32_t* plRet) {
  try {
    if (userData)
      static_cast<TDynaZip*>(userData)->DoMemToMem(lAction, lpMemBuf, pdwSize, dwTotalReadL, dwTotalReadH,
                                                   dwTotalWrittenL, dwTotalWrittenH, plRet);
  } catch (...) {
  }
}
