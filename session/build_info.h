// The library's identification, written by record I0069 at the start of every run.
#pragma once

constexpr char16_t kLibraryVersion[] = u"11.8.7852.9329 (2025.07.16.1541Ux86 Lib Rel)";
constexpr char16_t kLibraryBuild[] = u"Win32 (x86) Unicode Lib Rel";
constexpr char16_t kBuildNumber[] = u"Build 7852.9329";
