#pragma once
// The binding to the zip library's two DLLs: the owned text buffer TLPStr that holds every
// text handed to a library, the component base TDynaZip with its five events, and the
// callback thunks whose addresses go into the command records.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <istream>
#include <ostream>
#include <string>

#include "ziplib/dzrecords.h"

// ---------------------------------------------------------------------------------
// An owned, NUL-terminated character buffer (UTF-8). Growable (capacity 0 at creation:
// re-allocated to the exact size at each SetText, nil while empty) or fixed (a capacity
// given at creation or through SetCapacity: texts are cut to capacity - 1 bytes).
class TLPStr {
 public:
  explicit TLPStr(uint16_t Capacity = 0);
  virtual ~TLPStr();
  TLPStr(const TLPStr&) = delete;
  // Texts are set only through SetText; plain assignment does not compile.
  TLPStr& operator=(const TLPStr&) = delete;

  virtual void Clear();
  // The buffer as it stands: nil for an empty growable string. This goes into a record.
  const char* GetText() const { return text_; }
  virtual void SetText(const char* Text);
  void SetText(const std::string& Text) { SetText(Text.c_str()); }
  void SetCapacity(uint16_t NewCapacity);
  uint16_t Capacity() const { return capacity_; }
  bool Fixed() const { return fixed_; }

  // Dest becomes a copy of the text (an empty string for an empty one); returns Dest.
  virtual std::string& CopyTo(std::string& Dest) const;
  // Reads the rest of the stream as the text: at most capacity (fixed) or 32768 (growable)
  // bytes; a stream that holds that many or more raises "Line too long" and the text stays.
  virtual void LoadFromStream(std::istream& Stream);
  // Writes the text without its NUL; nothing for an empty string.
  virtual void SaveToStream(std::ostream& Stream) const;

  // Persistence of the "PChar" property: type byte 10, 4-byte little-endian length counting
  // the NUL, the bytes with the NUL; written only for a non-empty text.
  void WritePChar(std::ostream& Stream) const;
  void ReadPChar(std::istream& Stream);

 private:
  char* text_ = nullptr;
  uint16_t capacity_ = 0;
  bool fixed_ = false;
};

// ---------------------------------------------------------------------------------
// A set of enumeration members kept as a mask with member n at bit n.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr explicit TSet(uint32_t mask) : mask_(mask) {}
  constexpr TSet(std::initializer_list<E> members) {
    for (E e : members) Include(e);
  }
  constexpr bool Contains(E e) const { return (mask_ >> int(e)) & 1u; }
  constexpr void Include(E e) { mask_ |= 1u << int(e); }
  constexpr void Exclude(E e) { mask_ &= ~(1u << int(e)); }
  constexpr void Clear() { mask_ = 0; }
  constexpr uint32_t Mask() const { return mask_; }
  constexpr bool operator==(const TSet&) const = default;

 private:
  uint32_t mask_ = 0;
};

using TUnzipFlags = TSet<dz::TUnzipFlag>;
using TUnzipSubOptions = TSet<dz::TUnzipSubOption>;
using TZipFlags = TSet<dz::TZipFlag>;
using TZipFormats = TSet<dz::TZipFormat>;
using TMultiVolFlags = TSet<dz::TMultiVolFlag>;
using TZipSubOptions = TSet<dz::TZipSubOption>;

// ---------------------------------------------------------------------------------
// The five events. The message handler's lpsz1 and lpsz2 are writable buffers of
// dz::kDzMsgBufferSize bytes each.
using TStatusCallback = std::function<void(const char* szItem, int32_t Percent, bool& DoCancel)>;
using TMessageCallback = std::function<void(uint16_t MsgID, uint16_t mbType, int32_t p1, int32_t p2, char* lpsz1,
                                            char* lpsz2, int32_t& RtnResult)>;
using PDZRename = void*;
using TRenameCallback = std::function<void(PDZRename dzr)>;
using TMemToMemCallback =
    std::function<void(int32_t lAction, char* lpMemBuf, uint32_t* pdwSize, int32_t dwTotalReadL, int32_t dwTotalReadH,
                       int32_t dwTotalWrittenL, int32_t dwTotalWrittenH, int32_t* plRet)>;

// What a failed library load shows and does. Tests replace it so that no box appears and
// the program goes on; the component's construction then fails with an exception.
struct TDynaZipFailureSeam {
  void (*ShowBox)(const std::string& text, UINT type) = nullptr;  // nil: the system box
  void (*EndProgram)(int exitCode) = nullptr;                     // nil: end the process
};
void SetDynaZipFailureSeam(const TDynaZipFailureSeam& seam);
// The folder the libraries are loaded from; empty (the default) means the program's folder.
void SetDynaZipLibraryFolder(const std::string& folder);

// Thrown out of a component's constructor when the failure seam let the program go on.
struct EDynaZipLoadError {
  std::string message;
};

class TDynaZip {
 public:
  TDynaZip(const TDynaZip&) = delete;
  TDynaZip& operator=(const TDynaZip&) = delete;
  virtual ~TDynaZip();

  TStatusCallback OnMajorCallback;
  TStatusCallback OnMinorCallback;
  TMessageCallback OnMessageCallback;
  TRenameCallback OnRenameCallback;
  TMemToMemCallback OnMemToMem;

  void DoMajorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void DoMinorCallback(const char* szItem, int32_t Percent, bool& DoCancel);
  void DoMessageCallback(uint16_t MsgID, uint16_t mbType, int32_t p1, int32_t p2, char* lpsz1, char* lpsz2,
                         int32_t& RtnResult);
  void DoRenameCallback(PDZRename dzr);
  void DoMemToMem(int32_t lAction, char* lpMemBuf, uint32_t* pdwSize, int32_t dwTotalReadL, int32_t dwTotalReadH,
                  int32_t dwTotalWrittenL, int32_t dwTotalWrittenH, int32_t* plRet);

  // A direct assignment to a text property: refused with an information box; the
  // property keeps its value. Texts are set through the property's SetText.
  void SetLPStr(TLPStr& Property, const char* Value);

 protected:
  // Loads the library (its file name in capitals, from the library folder) and looks up
  // its entry; on failure shows the warning box and ends the program with exit code 1.
  TDynaZip(const char* fileName, const char* entryName, const char* functionLabel);
  FARPROC Entry() const { return entry_; }
  // Puts the thunks with this component as user data, the sub-record and the reserved
  // values into a command record (both records name these fields alike).
  template <class Record>
  void WireRecord(Record& record, dz::DzCallbackSubRecord& sub, void* reserved1, void* reserved2, void* reserved3);

 private:
  HMODULE module_ = nullptr;
  FARPROC entry_ = nullptr;
};

// The thunks whose addresses go into the records; the user data is the TDynaZip.
int32_t __stdcall MajorCallbackThunk(const char* szItem, int32_t Percent, void* userData);
int32_t __stdcall MinorCallbackThunk(const char* szItem, int32_t Percent, void* userData);
int32_t __stdcall MessageCallbackThunk(int32_t MsgID, int32_t mbType, int32_t p1, int32_t p2, char* lpsz1,
                                       char* lpsz2, void* userData);
int32_t __stdcall RenameCallbackThunk(void* dzr, void* userData);
void __stdcall MemToMemCallbackThunk(int32_t lAction, char* lpMemBuf, uint32_t* pdwSize, int32_t dwTotalReadL,
                                     int32_t dwTotalReadH, int32_t dwTotalWrittenL, int32_t dwTotalWrittenH,
                                     void* userData, int32_t* plRet);

template <class Record>
void TDynaZip::WireRecord(Record& record, dz::DzCallbackSubRecord& sub, void* reserved1, void* reserved2,
                          void* reserved3) {
  record.reserved1 = reserved1;
  record.reserved2 = reserved2;
  record.reserved3 = reserved3;
  record.MajorCallback = MajorCallbackThunk;
  record.majorUserData = this;
  record.MinorCallback = MinorCallbackThunk;
  record.minorUserData = this;
  record.MessageCallback = MessageCallbackThunk;
  record.messageUserData = this;
  record.RenameCallback = RenameCallbackThunk;
  record.renameUserData = this;
  sub = dz::DzCallbackSubRecord{};
  sub.size = sizeof sub;
  sub.MemToMemCallback = MemToMemCallbackThunk;
  sub.memToMemUserData = this;
  record.lpCallbackSubRecord = &sub;
}

// The option word of a set: the sum of the values of the members present (values[n] for
// member n).
template <class Set, size_t N>
uint16_t SetToWord(Set set, const uint16_t (&values)[N]) {
  uint16_t word = 0;
  for (size_t i = 0; i < N; ++i)
    if ((set.Mask() >> i) & 1u) word |= values[i];
  return word;
}

// The record's BOOL of a set member.
inline dz::DzBool DzBoolOf(bool b) { return b ? dz::kDzTrue : dz::kDzFalse; }
