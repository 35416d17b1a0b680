# The version reader against real version resources: the test program's own (made
# here), the built programs and DLLs, and files without one.
set(verinfo_rc ${CMAKE_CURRENT_BINARY_DIR}/verinfo_test_version.rc)
file(WRITE ${verinfo_rc} [=[
#pragma code_page(65001)
#include <winver.h>
1 VERSIONINFO
FILEVERSION    2,0,1,15
PRODUCTVERSION 2,0,1,0
FILEFLAGSMASK  0x3fL
FILEFLAGS      0x0L
FILEOS         VOS_NT_WINDOWS32
FILETYPE       VFT_APP
FILESUBTYPE    0x0L
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040704E4"
    BEGIN
      VALUE "CompanyName",      "Prüfwerk"
      VALUE "FileDescription",  "Reader test program"
      VALUE "FileVersion",      "2.0.1.15"
      VALUE "InternalName",     "verinfo"
      VALUE "OriginalFilename", "verinfo_tests.exe"
      VALUE "ProductName",      "Reader test"
      VALUE "ProductVersion",   "2.0.1"
      VALUE "Comments",         "Grüße aus dem Test"
      VALUE "LegalTrademarks",  "none"
    END
    BLOCK "040904B0"
    BEGIN
      VALUE "CompanyName",      "second translation"
      VALUE "LegalCopyright",   "second translation"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x407, 1252, 0x409, 1200
  END
END
]=])
qb_add_test(settings_verinfo_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/verinfo_test.cpp ${verinfo_rc}
  LIBS settings
  DEPENDS QbEw dzip32)
target_compile_definitions(settings_verinfo_tests PRIVATE
  QB_EXPECT_VERSION="${QB_VERSION_MAJOR}.${QB_VERSION_MINOR}.${QB_VERSION_PATCH}.${QB_VERSION_BUILD}")
