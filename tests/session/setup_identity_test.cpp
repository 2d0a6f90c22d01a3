// A Setup.exe built by the package builder as Windows shows it: the product's version texts and
// fixed version (GetFileVersionInfoW, VerQueryValueW), its icon with every size (ExtractIconExW, the
// main icon group), and a valid image checksum of the copy that a run installs (MapFileAndCheckSumW).
#include <gtest/gtest.h>
#include <windows.h>

#include <imagehlp.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "package/package_classify.h"
#include "package/package_format.h"
#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/tools/pe_fixture.h"
#include "tools/kez/project_build.h"

using namespace test_support;

namespace {

// Big enough that the resources outgrow the runtime's resource section and the sections behind it
// move up.
const std::vector<FixtureIconImage> kIcon = {{16, 0xFF2040C0}, {32, 0xFF20C040}, {48, 0xFFC04020}, {128, 0xFF808080}};

// A folder of the test with the project's inputs; removed with everything in it.
class Folder {
 public:
  Folder() : temp_(u"setup_identity_") {}
  ~Folder() { FolderDeleteTree(temp_.path().c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders); }
  std::u16string Path(const char16_t* name) const { return temp_.File(name); }

 private:
  TempFolder temp_;
};

std::u16string Build(const Folder& folder) {
  Bytes icon = FixtureIcon(kIcon);
  WriteBytes(folder.Path(u"product.ico"), std::string(icon.begin(), icon.end()));
  const char* project = R"({
    "output": {"package": "Setup.exe", "method": "zlib", "level": 1},
    "icon": "product.ico",
    "company": "Probe Company",
    "file_description": "Probe Product Setup",
    "header": {"package_code": "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}"},
    "objects": [{"tag": "inst", "name": "installation",
                 "fields": {"product": "Probe Product", "version_high": "0x00020003", "version_low": "0x00040005"}}]
  })";
  ProjectBuildOptions options;
  options.output = folder.Path(u"out");
  options.runtime = SetupPath();
  options.quiet = true;
  std::string message;
  EXPECT_EQ(ProjectBuild(project, folder.Path(u""), options, &message), 0u) << message;
  return folder.Path(u"out\\Setup.exe");
}

struct VersionInfo {
  std::vector<BYTE> block;
  std::wstring table;  // "\StringFileInfo\llllcccc\"
};

VersionInfo ReadVersionInfo(const std::u16string& path) {
  VersionInfo info;
  DWORD ignored = 0, size = GetFileVersionInfoSizeW(W(path), &ignored);
  EXPECT_NE(size, 0u) << GetLastError();
  info.block.resize(size);
  EXPECT_TRUE(GetFileVersionInfoW(W(path), 0, size, info.block.data()));
  WORD* translation = nullptr;
  UINT length = 0;
  EXPECT_TRUE(VerQueryValueW(info.block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  wchar_t table[64] = L"";
  if (translation && length >= 4) wsprintfW(table, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  info.table = table;
  return info;
}

std::wstring Text(VersionInfo& info, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.block.data(), (info.table + name).c_str(), reinterpret_cast<void**>(&value), &length)) return L"";
  return value;
}

// The size of an icon's colour bitmap and the colour of its middle pixel (0xRRGGBB).
void IconFacts(HICON icon, LONG* side, DWORD* color) {
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  *side = bitmap.bmWidth;
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = bitmap.bmWidth;
  request.bmiHeader.biHeight = bitmap.bmHeight;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  std::vector<DWORD> pixels(size_t(bitmap.bmWidth) * bitmap.bmHeight);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  *color = pixels.empty() ? 0 : pixels[pixels.size() / 2] & 0xFFFFFF;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

// The main icon group of a file: the sizes it lists and the colour of the icon loaded at each.
struct MainIcon {
  std::vector<int> sizes;
  std::vector<DWORD> colors;
};

BOOL CALLBACK TakeFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
  *reinterpret_cast<LPWSTR*>(context) = name;
  return FALSE;
}

MainIcon MainIconOf(const std::u16string& path) {
  MainIcon icon;
  HMODULE module = LoadLibraryExW(W(path), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  EXPECT_NE(module, nullptr) << GetLastError();
  if (!module) return icon;
  LPWSTR first = nullptr;
  EnumResourceNamesW(module, RT_GROUP_ICON, TakeFirstName, reinterpret_cast<LONG_PTR>(&first));
  HRSRC found = first ? FindResourceW(module, first, RT_GROUP_ICON) : nullptr;
  const BYTE* group = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
  EXPECT_NE(group, nullptr);
  for (WORD k = 0; group && k < *reinterpret_cast<const WORD*>(group + 4); ++k) {
    int side = group[6 + 14 * k] ? group[6 + 14 * k] : 256;
    icon.sizes.push_back(side);
    HICON loaded = static_cast<HICON>(LoadImageW(module, first, IMAGE_ICON, side, side, 0));
    LONG width = 0;
    DWORD color = 0;
    if (loaded) IconFacts(loaded, &width, &color);
    EXPECT_EQ(width, side);
    icon.colors.push_back(color);
    if (loaded) DestroyIcon(loaded);
  }
  FreeLibrary(module);
  return icon;
}

TEST(SetupIdentity, BuiltSetupShowsTheProductsNameVersionAndIcon) {
  Folder folder;
  std::u16string setup = Build(folder);
  VersionInfo info = ReadVersionInfo(setup);
  EXPECT_EQ(Text(info, L"ProductName"), L"Probe Product");
  EXPECT_EQ(Text(info, L"PackageCode"), L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}");
  EXPECT_EQ(Text(info, L"ProductVersion"), L"2.3.4.5");
  EXPECT_EQ(Text(info, L"FileVersion"), L"2.3.4.5");
  EXPECT_EQ(Text(info, L"CompanyName"), L"Probe Company");
  EXPECT_EQ(Text(info, L"FileDescription"), L"Probe Product Setup");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020003u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00040005u);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020003u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00040005u);

  EXPECT_GE(ExtractIconExW(W(setup), -1, nullptr, nullptr, 0), 1u);
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(ExtractIconExW(W(setup), 0, &large, &small, 1), 2u);
  LONG side = 0;
  DWORD color = 0;
  IconFacts(large, &side, &color);
  EXPECT_EQ(side, 32);
  EXPECT_EQ(color, kIcon[1].color & 0xFFFFFF) << "the shell shows the project's icon";
  IconFacts(small, &side, &color);
  EXPECT_EQ(side, 16);
  DestroyIcon(large);
  DestroyIcon(small);
  MainIcon icon = MainIconOf(setup);
  EXPECT_EQ(icon.sizes, (std::vector<int>{16, 32, 48, 128}));
  std::vector<DWORD> colors;
  for (const FixtureIconImage& image : kIcon) colors.push_back(image.color & 0xFFFFFF);
  EXPECT_EQ(icon.colors, colors);
  // The loader takes the rewritten image: the program starts and answers /? with its usage.
  Finished run = RunProgram(u"\"" + setup + u"\" /q2 /?", folder.Path(u""), 60000);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_code, 9u);
}

TEST(SetupIdentity, InstalledCopyHasAValidChecksumAndTheSameIdentity) {
  Folder folder;
  std::u16string setup = Build(folder);
  // The copy that a run installs: the executable without its package, its checksum restored from
  // the locator, marker, locator and locator checksum cleared.
  std::string bytes = ReadBytes(setup);
  ASSERT_GT(bytes.size(), size_t(kClassifyBytes));
  const uint8_t* head = reinterpret_cast<const uint8_t*>(bytes.data());
  uint64_t offset = 0;
  ASSERT_EQ(PackageClassifyBytes(head, kClassifyBytes, false, &offset), kFileIsExecutableWithPackage);
  PackageLocator locator;
  PackageLocatorDecode(head + kPackageLocatorOffset, &locator);
  std::string copy = bytes.substr(0, size_t(offset));
  uint32_t checksum_at = LoadLe32(head + 0x3C) + 24 + 64;
  memcpy(&copy[checksum_at], &locator.image_checksum, 4);
  memset(&copy[kPackageMarkerOffset], 0, 0x3C - kPackageMarkerOffset);
  std::u16string path = folder.Path(u"copy.exe");
  WriteBytes(path, copy);
  DWORD stored = 0, computed = 0;
  ASSERT_EQ(MapFileAndCheckSumW(const_cast<wchar_t*>(W(path)), &stored, &computed), DWORD(CHECKSUM_SUCCESS));
  EXPECT_NE(stored, 0u);
  EXPECT_EQ(stored, computed);
  VersionInfo info = ReadVersionInfo(path);
  EXPECT_EQ(Text(info, L"ProductName"), L"Probe Product");
  EXPECT_EQ(MainIconOf(path).sizes, (std::vector<int>{16, 32, 48, 128}));
}

}  // namespace
