#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/date_text.h"
#include "runtime/file_text.h"
#include "runtime/file_utils.h"
#include "runtime/fs_redirection.h"
#include "runtime/heap.h"
#include "runtime/long_path.h"
#include "runtime/rights.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/version_resource.h"

namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// A fresh folder under the temporary folder, removed with everything in it afterwards.
class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char16_t name[300];
    TempFileNameFrom(name, name + 299, u"rtu", u"", GetTickCount() ^ GetCurrentProcessId());
    root_ = name;
    ASSERT_TRUE(CreateDirectoryW(W(root_), nullptr));
  }
  void TearDown() override { EXPECT_EQ(FolderDeleteTree(root_.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders), 0u); }

  std::u16string Path(const char16_t* relative) const { return root_ + u"\\" + relative; }
  void Write(const char16_t* relative, const std::string& bytes, DWORD attributes = 0) const {
    HANDLE h = CreateFileW(W(Path(relative)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(h);
    if (attributes) SetFileAttributesW(W(Path(relative)), attributes);
  }
  void Folder(const char16_t* relative) const { ASSERT_TRUE(CreateDirectoryW(W(Path(relative)), nullptr)); }

  std::u16string root_;
};

struct TextResult {
  uint32_t err;
  std::u16string text;
  uint32_t encoding;
};

TextResult ReadText(const std::u16string& path, uint32_t codePage = 0) {
  char16_t* text = nullptr;
  size_t length = 0;
  TextResult r{};
  r.err = FileReadText(path.c_str(), codePage, &text, &length, &r.encoding);
  if (text) {
    r.text.assign(text, length);
    EXPECT_EQ(text[length], 0);
  }
  MemFree(text);
  return r;
}

}  // namespace

using FileText = TempFolder;

TEST_F(FileText, EncodingsByMark) {
  struct Case {
    const char16_t* name;
    std::string bytes;
    uint32_t codePage;
    const char16_t* text;
    uint32_t encoding;
  } cases[] = {
      {u"be.txt", std::string("\xFE\xFF\0A\0B\0\r\0\n", 10), 0, u"AB\n", kTextEncodingUtf16BE},
      {u"le.txt", std::string("\xFF\xFE" "A\0\r\0\n\0\xAC\x20", 10), 0, u"A\n\u20AC", kTextEncodingUtf16LE},
      {u"u8.txt", "\xEF\xBB\xBFx\xE2\x82\xAC\r\ny", 0, u"x\u20AC\ny", kTextEncodingUtf8},
      {u"cp.txt", "a\xE4\r\n", 1252, u"a\u00E4\n", kTextEncodingCodePage},
      {u"one.txt", "\xFF", 1252, u"\u00FF", kTextEncodingCodePage},
      {u"empty.txt", "", 0, u"", kTextEncodingCodePage},
      {u"markonly.txt", "\xEF\xBB\xBF", 0, u"", kTextEncodingUtf8},
  };
  for (const Case& c : cases) {
    Write(c.name, c.bytes);
    TextResult r = ReadText(Path(c.name), c.codePage);
    EXPECT_EQ(r.err, 0u) << TextToUtf8(c.name);
    EXPECT_EQ(r.text, c.text) << TextToUtf8(c.name);
    EXPECT_EQ(r.encoding, c.encoding) << TextToUtf8(c.name);
  }
}

TEST_F(FileText, SizeLimitAndMissingFile) {
  HANDLE h = CreateFileW(W(Path(u"big.txt")), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = kFileTextMaxBytes + 1;
  SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  EXPECT_EQ(ReadText(Path(u"big.txt")).err, 8u);
  EXPECT_EQ(ReadText(Path(u"absent.txt")).err, 2u);
}

using FileRemoval = TempFolder;

TEST_F(FileRemoval, ReadOnlyAndMissing) {
  Write(u"ro.txt", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(FileDeleteForced(Path(u"ro.txt").c_str()), 0u);
  EXPECT_FALSE(FileExists(Path(u"ro.txt").c_str()));
  EXPECT_EQ(FileDeleteForced(Path(u"ro.txt").c_str()), 0u);
  EXPECT_EQ(FileDeleteForced(Path(u"no\\such\\file").c_str()), 0u);
}

TEST_F(FileRemoval, TreeFlags) {
  auto build = [&] {
    Folder(u"t");
    Write(u"t\\a.txt", "a", FILE_ATTRIBUTE_READONLY);
    Folder(u"t\\sub");
    Write(u"t\\sub\\b.txt", "b", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    Folder(u"t\\sub\\deep");
  };
  std::u16string t = Path(u"t");

  build();
  EXPECT_EQ(FolderDeleteTree(t.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders), 0u);
  EXPECT_FALSE(FileExists(t.c_str()));

  build();
  EXPECT_EQ(FolderDeleteTree(t.c_str(), kTreeDeleteFiles | kTreeKeepFolder), 0u);
  EXPECT_FALSE(FileExists(Path(u"t\\a.txt").c_str()));
  EXPECT_TRUE(FileExists(Path(u"t\\sub\\b.txt").c_str()));

  // Without the file flag the files stay and the non-empty folders cannot go: the first error wins.
  EXPECT_EQ(FolderDeleteTree(t.c_str(), kTreeDeleteSubfolders), uint32_t(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(FileExists(Path(u"t\\sub\\b.txt").c_str()));
  EXPECT_FALSE(FileExists(Path(u"t\\sub\\deep").c_str()));

  EXPECT_EQ(FolderDeleteTree((t + u"\\").c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders), 0u);
  EXPECT_FALSE(FileExists(t.c_str()));
  EXPECT_EQ(FolderDeleteTree(t.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders), 0u);
}

TEST_F(FileRemoval, FindOneAndWildcards) {
  Write(u"match1.log", "12345");
  FoundFile found;
  EXPECT_EQ(FileFindOne(Path(u"match?.log").c_str(), false, &found), 87u);
  EXPECT_EQ(FileFindOne(Path(u"match*.log").c_str(), true, &found), 0u);
  EXPECT_EQ(std::u16string(found.name), u"match1.log");
  EXPECT_EQ(found.facts.size, 5u);
  EXPECT_EQ(FileFindOne(Path(u"match1.log").c_str(), false, &found), 0u);
  EXPECT_EQ(FileFindOne(Path(u"none*.log").c_str(), true, &found), 2u);
  EXPECT_FALSE(FileExists(u""));
  EXPECT_FALSE(FileExists(nullptr));
  EXPECT_TRUE(FileExists(root_.c_str()));
}

TEST(LongPath, OnlyLongPlainFullPathsTakeTheLongForm) {
  const std::wstring deep = L"\\" + std::wstring(250, L'd');
  const struct {
    std::wstring path;
    std::wstring expected;
  } kCases[] = {
      {L"C:\\Product\\app.exe", L"C:\\Product\\app.exe"},
      {L"C:\\Product" + deep, L"\\\\?\\C:\\Product" + deep},
      {L"\\\\server\\share" + deep, L"\\\\?\\UNC\\server\\share" + deep},
      {L"C:/Product" + deep, L"C:/Product" + deep},
      {L"C:\\Product\\..\\Other" + deep, L"C:\\Product\\..\\Other" + deep},
      {L"C:\\Product\\\\Other" + deep, L"C:\\Product\\\\Other" + deep},
      {L"C:\\Product.\\Other" + deep, L"C:\\Product.\\Other" + deep},
      {L"C:\\Product \\Other" + deep, L"C:\\Product \\Other" + deep},
      {L"C:\\Product" + deep + L".", L"C:\\Product" + deep + L"."},
      {L"C:\\Pro.duct" + deep, L"\\\\?\\C:\\Pro.duct" + deep},
      {L"\\\\?\\C:\\Product" + deep, L"\\\\?\\C:\\Product" + deep},
      {L"Product" + deep, L"Product" + deep},
  };
  for (const auto& c : kCases) EXPECT_EQ(std::wstring(LongPathArgument(c.path.c_str()).path), c.expected);
}

// Folders and files deeper than MAX_PATH are made, moved and removed through the system-call table.
TEST_F(FileRemoval, DeepTreeThroughTheSystemCalls) {
  std::u16string folder = root_;
  for (int i = 0; i < 6; ++i) {
    folder += u"\\" + std::u16string(60, char16_t(u'a' + i));
    ASSERT_TRUE(Sys().CreateDirectoryW(W(folder), nullptr)) << GetLastError();
  }
  ASSERT_GT(folder.size(), size_t(MAX_PATH));
  std::u16string file = folder + u"\\data.txt";
  HANDLE h = Sys().CreateFileW(W(file), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(Sys().WriteFile(h, "deep", 4, &written, nullptr));
  CloseHandle(h);
  EXPECT_TRUE(Sys().MoveFileExW(W(file), W(file + u"._rb"), 0)) << GetLastError();
  EXPECT_TRUE(Sys().CopyFileW(W(file + u"._rb"), W(file), TRUE)) << GetLastError();
  EXPECT_TRUE(Sys().DeleteFileW(W(file + u"._rb"))) << GetLastError();
  EXPECT_FALSE(Sys().DeleteFileW(W(file + u"._rb")));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << "the last error survives the long form's copy";
}

TEST(TempFileName, FolderPrefixDigitsExtension) {
  wchar_t folder[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, folder);
  std::u16string base = reinterpret_cast<const char16_t*>(folder);
  char16_t name[300];
  TempFileNameFrom(name, name + 299, u"Setup", nullptr, 0x0A1B2C3D);
  EXPECT_EQ(std::u16string(name), base + u"Setup0A1B2C3D.tmp");
  TempFileNameFrom(name, name + 299, u"", u".log", 0xFF);
  EXPECT_EQ(std::u16string(name), base + u"000000FF.log");
  EXPECT_FALSE(FileExists(name));
}

TEST(DateTimeLocale, UserDefaultFormats) {
  const DateTime t{2025, 7, 3, 16, 15, 41, 0, 0};
  SYSTEMTIME st{2025, 7, 3, 16, 15, 41, 0, 0};
  wchar_t shortDate[100], longDate[100], time[100];
  ASSERT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, shortDate, 100), 0);
  ASSERT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, longDate, 100), 0);
  ASSERT_GT(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 100), 0);
  auto text = [&](uint32_t flags) {
    char16_t buffer[200];
    DateTimeText(buffer, buffer + 199, t, flags);
    return std::u16string(buffer);
  };
  auto s = [](const wchar_t* w) { return std::u16string(reinterpret_cast<const char16_t*>(w)); };
  EXPECT_EQ(text(0x03), s(shortDate));
  EXPECT_EQ(text(0x04), s(longDate));
  EXPECT_EQ(text(0x30), s(time));
  EXPECT_EQ(text(0x33), s(shortDate) + u" " + s(time));
  EXPECT_EQ(text(0x1034), s(longDate) + u"T" + s(time));
  EXPECT_NE(s(longDate).find(u"2025"), std::u16string::npos);
  // A locale text that does not fit is left out, never cut.
  char16_t small[4];
  EXPECT_EQ(DateTimeText(small, small + 3, t, 0x04), small);
}

TEST(VersionResource, SystemLibrary) {
  wchar_t path[MAX_PATH];
  GetSystemDirectoryW(path, MAX_PATH);
  wcscat(path, L"\\kernel32.dll");
  VersionResource resource;
  ASSERT_EQ(VersionResourceOpen(reinterpret_cast<const char16_t*>(path), &resource), 0u);
  VersionFixedPart fixed;
  ASSERT_TRUE(VersionResourceFixed(&resource, &fixed));
  EXPECT_EQ(fixed.signature, 0xFEEF04BDu);
  char16_t value[200];
  EXPECT_NE(VersionResourceValue(&resource, u"FileVersion", value, value + 199), value);
  EXPECT_EQ(VersionResourceValue(&resource, u"NoSuchValue", value, value + 199), value);
  EXPECT_EQ(value[0], 0);
  VersionResourceClose(&resource);
}

TEST(VersionResource, FixtureValuesAndMissingTranslation) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::u16string folder = reinterpret_cast<const char16_t*>(self);
  folder.resize(folder.rfind(u'\\') + 1);
  VersionResource resource;
  ASSERT_EQ(VersionResourceOpen(reinterpret_cast<const char16_t*>(self), &resource), 0u);
  EXPECT_EQ(resource.language, 0x0409);
  EXPECT_EQ(resource.code_page, 1200);
  char16_t value[200];
  VersionResourceValue(&resource, u"ProductName", value, value + 199);
  EXPECT_EQ(std::u16string(value), u"Version fixture");
  VersionResourceValue(&resource, u"Comments", value, value + 199);  // present but empty
  EXPECT_EQ(value[0], 0);
  VersionFixedPart fixed;
  ASSERT_TRUE(VersionResourceFixed(&resource, &fixed));
  EXPECT_EQ(fixed.file_version_high, 0x00010002u);
  EXPECT_EQ(fixed.file_version_low, 0x00030004u);
  VersionResourceClose(&resource);
  EXPECT_EQ(VersionResourceOpen((folder + u"version_no_translation.exe").c_str(), &resource), 13u);
  EXPECT_NE(VersionResourceOpen((folder + u"absent.exe").c_str(), &resource), 0u);
}

TEST(Rights, AdministratorAndElevation) {
  // Wine runs every process with a full administrator token.
  EXPECT_TRUE(ProcessIsAdministrator());
  EXPECT_EQ(ProcessElevationState(), 3);
}

TEST(Rights, PrivilegeAdjust) {
  EXPECT_EQ(PrivilegeAdjust(nullptr, u"SeShutdownPrivilege", false), 0u);
  EXPECT_EQ(PrivilegeAdjust(nullptr, u"NoSuchPrivilege", false), uint32_t(ERROR_NO_SUCH_PRIVILEGE));
}

TEST(FsRedirection, NestsAndKeepsLastError) {
  SetLastError(1234);
  FsRedirectionOff();
  FsRedirectionOff();
  FsRedirectionRestore();
  FsRedirectionRestore();
  FsRedirectionRestore();  // one too many: ignored
  EXPECT_EQ(GetLastError(), 1234u);
}
