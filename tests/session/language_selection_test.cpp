// The choice of the user-interface language among the database's languages.
#include <gtest/gtest.h>

#include <vector>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "session/language_selection.h"
#include "session/session_state.h"

namespace {

struct Language {
  uint16_t id;
  uint32_t flags;
};

// The index of the selected language (-1 for none) and whether it was decided.
std::pair<int, bool> Select(const std::vector<Language>& languages, uint16_t request, uint16_t user) {
  ClassRegistryRegisterSetupClasses();
  ObjectTable* table = BuilderCreateTable();
  std::vector<SetupObject*> objects;
  for (const Language& l : languages) {
    SetupObject* o = BuilderAddObject(table, TagOf("lang"), objects.size() + 1);
    BuilderSetU32(o, kLanguageId, l.id);
    BuilderSetU32(o, kLanguageFlags, l.flags | kLanguageValidLocale);
    objects.push_back(o);
  }
  LanguageSelection s = LanguageSelect(objects.data(), uint32_t(objects.size()), request, user);
  int index = -1;
  for (size_t i = 0; i < objects.size(); ++i)
    if (objects[i] == s.language) index = int(i);
  ObjectTableDestroy(table);
  return {index, s.decided};
}

constexpr uint16_t kNone = kNoLanguageRequest;
constexpr uint16_t kEnglishUs = 0x0409, kEnglishUk = 0x0809, kGerman = 0x0407, kFrench = 0x040C;
constexpr uint16_t kSerbianLatin = 0x081A, kCroatian = 0x041A;  // primary language 26

}  // namespace

TEST(LanguageSelection, Cases) {
  struct Case {
    std::vector<Language> languages;
    uint16_t request;
    uint16_t user;
    int index;
    bool decided;
    const char* why;
  } cases[] = {
      {{}, kNone, kGerman, -1, true, "no language object"},
      {{{kFrench, 0}}, kNone, kGerman, 0, true, "the only object"},
      {{{kEnglishUs, 0}, {kGerman, kLanguageForced}, {kFrench, kLanguageForced}}, kFrench, kEnglishUs, 1, true,
       "the first forced object wins at once"},
      {{{kEnglishUs, 0}, {kGerman, 0}}, kGerman, kEnglishUs, 1, true, "exact request"},
      {{{kEnglishUs, 0}, {kEnglishUk, 0}, {kGerman, 0}}, 0x0C09, kGerman, 1, true,
       "last primary match of the request"},
      {{{kEnglishUs, 0}, {kGerman, 0}}, kNone, kGerman, 1, false, "user default, exact"},
      {{{kFrench, 0}, {kEnglishUk, 0}, {kEnglishUs, 0}}, kNone, 0x0C09, 1, false,
       "first primary match of the user default"},
      {{{kFrench, 0}, {kGerman, kLanguageDefault}, {kEnglishUs, kLanguageDefault}}, kNone, 0x0416, 2, false,
       "last default object"},
      {{{kFrench, 0}, {kGerman, 0}}, kNone, 0x0416, 0, false, "first object without a default"},
      {{{kCroatian, 0}, {kEnglishUs, kLanguageDefault}}, kSerbianLatin, 0x0416, 1, false,
       "primary language 26 never matches by primary"},
  };
  for (const Case& c : cases) {
    auto result = Select(c.languages, c.request, c.user);
    EXPECT_EQ(result.first, c.index) << c.why;
    EXPECT_EQ(result.second, c.decided) << c.why;
  }
}

TEST(LanguageSelection, RightToLeft) {
  for (uint16_t id : {0x0401, 0x040D, 0x0420, 0x0429, 0x045A}) EXPECT_TRUE(LanguageIsRightToLeft(id)) << id;
  for (uint16_t id : {0x0409, 0x0407, 0x0411}) EXPECT_FALSE(LanguageIsRightToLeft(id)) << id;
}

TEST(SessionState, NegativeStateIsFinalAndTheFirstExitCodeWins) {
  SessionState* s = SessionCreate(7);
  SessionSetState(s, 1);
  EXPECT_EQ(SessionExitCode(s), 0);
  SessionSetState(s, -1);
  SessionSetState(s, -2);
  SessionSetState(s, 2);
  EXPECT_EQ(SessionInstallState(s), -1);
  EXPECT_EQ(SessionExitCode(s), 6);
  SessionRecordExitCode(s, 19);
  EXPECT_EQ(SessionExitCode(s), 6);
  SessionFree(s);
  s = SessionCreate(7);
  SessionSetState(s, -2);
  EXPECT_EQ(SessionExitCode(s), 5);
  SessionFree(s);
}
