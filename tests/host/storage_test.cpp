// The settings file and the profile store: the line rules of both readers, the
// bytes the writers produce, and replacing writes that never leave a torn file.
// Files live in a data folder of the test's own under /tmp.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <sys/resource.h>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"
#include "tests/support/storage_files.h"

namespace fs = std::filesystem;

namespace {

void ReadText(void (*reader)(FILE*), const std::string& bytes) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  reader(file);
  std::fclose(file);
}

std::set<std::string> ListedNames() {
  std::set<std::string> names;
  for (int i = 0; i < profileCount; ++i) names.insert(profileNames[i]);
  return names;
}

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvix-storage-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    data = root / "Tarvix";
    profiles = data / "Profiles";
    fs::create_directories(profiles);
    SetDataFolder(data.c_str());
    ResetToDefaults();
    ClearProfileList();
    getrlimit(RLIMIT_FSIZE, &savedLimit);
  }
  void TearDown() override {
    AllowAnyFileSize();
    SetDataFolder("");
    ClearProfileList();
    fs::remove_all(root);
  }
  // Every write beyond `bytes` in a file fails (EFBIG) until allowed again.
  void LimitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = savedLimit;
    limit.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  void AllowAnyFileSize() {
    setrlimit(RLIMIT_FSIZE, &savedLimit);
    std::signal(SIGXFSZ, SIG_DFL);
  }
  std::string Settings() const { return (data / "settings.txt").string(); }
  std::string Profile(const std::string& name) const { return (profiles / (name + ".txt")).string(); }

  fs::path root, data, profiles;
  rlimit savedLimit{};
};

// ---- Reading -----------------------------------------------------------------

TEST(ReadSettingsStream, FollowsTheLineRules) {
  struct Row {
    const char* what;
    std::string input;
    float sensitivity;
    const char* hotkeyLock;
    const char* profile;
  };
  const Row rows[] = {
      {"lone LF", "sensitivity=50\nprofile=Lf\n", 50.0f, "F4", "Lf"},
      {"last line without line end", "hotkeyLock=F9\r\nsensitivity=50", 50.0f, "F9", "Default"},
      {"blanks around '=' make another key", "sensitivity = 50\r\n", 45.0f, "F4", "Default"},
      {"keys are case-sensitive", "Sensitivity=50\r\n", 45.0f, "F4", "Default"},
      {"nothing after '='", "sensitivity=\r\n", 45.0f, "F4", "Default"},
      {"only blanks after '=' is 0", "sensitivity=   \r\n", 0.0f, "F4", "Default"},
      {"number then text", "sensitivity=  12.5xyz\r\n", 12.5f, "F4", "Default"},
      {"no number is 0", "sensitivity=abc\r\n", 0.0f, "F4", "Default"},
      {"last value wins", "sensitivity=50\r\nsensitivity=60\r\n", 60.0f, "F4", "Default"},
      {"unknown key and malformed lines skipped",
       "colour=red\r\nno equals sign\r\n=50\r\n\r\nsensitivity=50\r\n", 50.0f, "F4", "Default"},
      {"nan skipped", "sensitivity=nan\r\n", 45.0f, "F4", "Default"},
      {"inf skipped", "sensitivity=inf\r\n", 45.0f, "F4", "Default"},
      {"overflowing double skipped", "sensitivity=1e999\r\n", 45.0f, "F4", "Default"},
      {"overflowing f32 skipped", "sensitivity=1e39\r\n", 45.0f, "F4", "Default"},
      {"blanks kept around a text", "profile= My Car  \r\n", 45.0f, "F4", " My Car  "},
      {"'=' inside a text value", "profile=a=b\r\n", 45.0f, "F4", "a=b"},
      {"lone CR is part of the value", "profile=a\rb\r\n", 45.0f, "F4", "a\rb"},
      {"NUL ends the line's text", std::string("profile=ab\0cd\r\nsensitivity=50", 29), 50.0f,
       "F4", "ab"},
      {"hotkey stored unchecked", "hotkeyLock=5\r\n", 45.0f, "5", "Default"},
      {"hotkey of 31 fits", "hotkeyLock=" + std::string(31, 'k') + "\r\n", 45.0f,
       "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk", "Default"},
      {"hotkey of 32 skipped whole", "hotkeyLock=" + std::string(32, 'k') + "\r\n", 45.0f, "F4",
       "Default"},
      {"profile of 128 skipped whole", "profile=" + std::string(128, 'p') + "\r\n", 45.0f, "F4",
       "Default"},
      {"value of 191 fits", "sensitivity=5" + std::string(190, ' ') + "\r\n", 5.0f, "F4",
       "Default"},
      {"value of 192 skipped whole", "sensitivity=5" + std::string(191, ' ') + "\r\n", 45.0f,
       "F4", "Default"},
      {"key of 64 skipped whole", std::string(64, 'k') + "=1\r\nsensitivity=50\r\n", 50.0f, "F4",
       "Default"},
      {"over-long line read in pieces of 255",
       "profile=" + std::string(247, 'a') + "sensitivity=50\r\n", 50.0f, "F4", "Default"},
      {"second piece scanned as a line", std::string(255, 'x') + "profile=Tail\r\n", 45.0f, "F4",
       "Tail"},
      {"CR LF split at the 255 boundary",
       "hotkeyLock=" + std::string(243, 'c') + "\r\nprofile=Next\r\n", 45.0f, "F4", "Next"},
      {"curveOnSteering is no settings key", "curveOnSteering=0\r\n", 45.0f, "F4", "Default"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ResetToDefaults();
    ReadText(ReadSettingsStream, row.input);
    EXPECT_EQ(tuningSettings.sensitivity, row.sensitivity);
    EXPECT_STREQ(tuningSettings.hotkeyLock, row.hotkeyLock);
    EXPECT_STREQ(tuningSettings.profile, row.profile);
    EXPECT_EQ(tuningSettings.curveOnSteering, 1);
  }
}

TEST(ReadSettingsStream, ReadsIntegersWithAtoiRulesAndSaturates) {
  struct Row {
    const char* line;
    int32_t TuningSettings::*field;
    int32_t expected;
  };
  const Row rows[] = {
      {"startMin= 7x", &TuningSettings::startMin, 7},
      {"startMin=abc", &TuningSettings::startMin, 0},
      {"startWithWindows=+1", &TuningSettings::startWithWindows, 1},
      {"startWithWindows=99999999999999999999", &TuningSettings::startWithWindows, INT32_MAX},
      {"accelBrakeMode=-2147483648", &TuningSettings::accelBrakeMode, INT32_MIN},
      {"accelBrakeMode=-2147483649", &TuningSettings::accelBrakeMode, INT32_MIN},
      {"accelBrakeMode=0.9", &TuningSettings::accelBrakeMode, 0},
      {"smoothing=99", &TuningSettings::smoothing, 32},
      {"smoothing=-3", &TuningSettings::smoothing, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ResetToDefaults();
    ReadText(ReadSettingsStream, std::string(row.line) + "\r\n");
    EXPECT_EQ(tuningSettings.*row.field, row.expected);
  }
}

TEST(ReadSettingsStream, ChangesTheSmoothingWindowOnlyThroughItsSetter) {
  // A changed window clears the ring; the same window keeps it.
  for (int32_t window : {2, 4}) {
    SCOPED_TRACE(window);
    ResetToDefaults();
    steeringState.smoothingRing[0] = 9;
    steeringState.ringCount = 1;
    steeringState.ringIndex = 1;
    ReadText(ReadSettingsStream, "smoothing=" + std::to_string(window) + "\r\n");
    EXPECT_EQ(steeringState.ringCount, window == 2 ? 1 : 0);
    EXPECT_EQ(steeringState.smoothingRing[0], window == 2 ? 9 : 0);
  }
}

// The profile reader takes the first word after '=' into a 64-byte value.
TEST(ReadProfileStream, FollowsTheLineRules) {
  struct Row {
    const char* what;
    std::string input;
    float sensitivity;
    int32_t curveOnSteering;
  };
  const Row rows[] = {
      {"plain lines", "sensitivity=50\r\ncurveOnSteering=1\r\n", 50.0f, 1},
      {"curveOnSteering missing reads as 0", "sensitivity=50\r\n", 50.0f, 0},
      {"lone LF and no final line end", "sensitivity=50\ncurveOnSteering=1", 50.0f, 1},
      {"value is the first word", "sensitivity=50 extra\r\n", 50.0f, 0},
      {"blanks before the value skipped", "sensitivity= \t 50\r\n", 50.0f, 0},
      {"only blanks after '=' skipped", "sensitivity=   \r\n", 45.0f, 0},
      {"blanks around '=' make another key", "sensitivity = 50\r\n", 45.0f, 0},
      {"settings keys and malformed lines skipped",
       "profile=Other\r\nstartMin=0\r\nno equals\r\n=1\r\nsensitivity=50\r\n", 50.0f, 0},
      {"nan skipped", "sensitivity=nan\r\n", 45.0f, 0},
      {"value of 63 fits", "sensitivity=" + std::string(62, '0') + "7\r\n", 7.0f, 0},
      {"value of 64 skipped whole", "sensitivity=" + std::string(63, '0') + "7\r\n", 45.0f, 0},
      {"over-long line read in pieces", std::string(255, 'x') + "sensitivity=50\r\n", 50.0f, 0},
      {"curve flag stored unchecked", "curveOnSteering=5\r\n", 45.0f, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ResetToDefaults();
    ReadText(ReadProfileStream, row.input);
    EXPECT_EQ(tuningSettings.sensitivity, row.sensitivity);
    EXPECT_EQ(tuningSettings.curveOnSteering, row.curveOnSteering);
    EXPECT_EQ(tuningSettings.smoothing, 2) << "a missing line keeps its value";
    EXPECT_STREQ(tuningSettings.profile, "Default");
    EXPECT_EQ(tuningSettings.startMin, 1);
  }
}

TEST(IsValidProfileName, RefusesNamesThatLeaveTheFolderOrNameADevice) {
  const char* refused[] = {
      "", ".", "..", "a/b", "../settings", "a\\b", "C:x", "a:b", "tab\there", "\x1f", "<", ">",
      "\"", "|", "?", "a*b", "CON", "con", "Con.txt", "CON.", "con  .txt", "PRN", "aux", "NUL",
      "nul.tar.gz", "COM1", "com9", "lpt9.txt", "COM\xb9", "LPT\xb2", "CONIN$", "conout$",
  };
  for (const char* name : refused) EXPECT_EQ(IsValidProfileName(name), 0) << name;
  EXPECT_EQ(IsValidProfileName(nullptr), 0);
  EXPECT_EQ(IsValidProfileName(std::string(128, 'n').c_str()), 0);

  const char* accepted[] = {"Default", "My Car", "a.b", ".hidden", "...", "x.", " x", "COM10",
                            "COM0", "LPT", "CONSOLE", "NULL", "aux1", "caf\xe9", "100%", "[1]"};
  for (const char* name : accepted) EXPECT_EQ(IsValidProfileName(name), 1) << name;
  EXPECT_EQ(IsValidProfileName(std::string(127, 'n').c_str()), 1);
}

// ---- Writing -----------------------------------------------------------------

// As on a first start: the "Default" profile is written, which saves the
// settings too.
TEST_F(StorageTest, DefaultsAreWrittenByteForByteWithCrLf) {
  steeringState.profileModified = 1;
  SaveProfile("Default");
  EXPECT_EQ(ReadFileBytes(Profile("Default")), DEFAULT_PROFILE_BYTES);
  EXPECT_EQ(ReadFileBytes(Settings()), DEFAULT_SETTINGS_BYTES);
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_FALSE(fs::exists(Settings() + ".tmp"));
  EXPECT_FALSE(fs::exists(Profile("Default") + ".tmp"));
}

TEST_F(StorageTest, WritesOneDecimalOrTwoAndReadsBack) {
  tuningSettings.sensitivity = 45.37f;
  tuningSettings.steeringLimit = 99.96f;
  SaveProfile("P");
  EXPECT_EQ(ReadFileBytes(Profile("P")).find("sensitivity=45.4\r\nresponseCurve=1.50\r\n"), 0u);
  const std::string settings = ReadFileBytes(Settings());
  EXPECT_EQ(settings.find("sensitivity=45.4\r\nresponseCurve=1.50\r\n"), 0u) << settings;
  EXPECT_NE(settings.find("steeringLimit=100.0\r\n"), std::string::npos) << settings;
  ResetToDefaults();
  LoadSettings();
  EXPECT_EQ(tuningSettings.sensitivity, 45.4f);
  EXPECT_EQ(tuningSettings.steeringLimit, 100.0f);
}

// Every key read back into its own field: a hand-edited file, loaded and saved
// again, comes out as it went in, less what the writer never writes.
TEST_F(StorageTest, SettingsRoundTripEveryKeyButCurveOnSteering) {
  const std::string saved =
      "sensitivity=12.0\r\nresponseCurve=2.75\r\nsmoothing=9\r\nautoCenterForce=0.5\r\n"
      "steeringLimit=55.0\r\nstartMin=0\r\nstartWithWindows=1\r\naccelBrakeMode=0\r\n"
      "hotkeyLock=!B\r\nhotkeyRecenter=+^x\r\nprofile=My Car \r\n";
  ASSERT_TRUE(WriteFileBytes(Settings(), "colour=red\r\ncurveOnSteering=0\r\n" + saved));
  steeringState.profileModified = 1;
  LoadSettings();
  EXPECT_EQ(tuningSettings.curveOnSteering, 1) << "only profiles carry it";
  EXPECT_EQ(steeringState.profileModified, 0);
  SaveSettings();
  EXPECT_EQ(ReadFileBytes(Settings()), saved);
}

TEST_F(StorageTest, MissingFilesChangeNothing) {
  steeringState.profileModified = 1;
  tuningSettings.sensitivity = 33.0f;
  LoadSettings();
  LoadProfile("Nowhere");
  EXPECT_EQ(tuningSettings.sensitivity, 33.0f);
  EXPECT_EQ(tuningSettings.curveOnSteering, 1);
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_FALSE(fs::exists(Settings()));
}

TEST_F(StorageTest, ProfileRoundTripMakesItActiveAndSurvivesARestart) {
  const std::string bytes =
      "sensitivity=80.0\r\nresponseCurve=2.50\r\nsmoothing=6\r\nautoCenterForce=12.5\r\n"
      "steeringLimit=70.0\r\ncurveOnSteering=0\r\n";
  ASSERT_TRUE(WriteFileBytes(Profile("My Car"), bytes));
  ScanProfiles();
  EXPECT_EQ(ListedNames(), std::set<std::string>{"My Car"});
  steeringState.profileModified = 1;
  LoadProfile(profileNames[0]);
  EXPECT_STREQ(tuningSettings.profile, "My Car");
  EXPECT_EQ(steeringState.profileModified, 0);
  SaveProfile("Copy");
  EXPECT_EQ(ReadFileBytes(Profile("Copy")), bytes);

  // Each load and save saved the settings: the tuning and the name survive a
  // restart, the curve flag returns to its default.
  LoadProfile("My Car");
  ResetToDefaults();
  LoadSettings();
  EXPECT_EQ(tuningSettings.sensitivity, 80.0f);
  EXPECT_EQ(tuningSettings.smoothing, 6);
  EXPECT_STREQ(tuningSettings.profile, "My Car");
  EXPECT_EQ(tuningSettings.curveOnSteering, 1);
}

TEST_F(StorageTest, SavingTheActiveProfileUnderItsOwnName) {
  SaveProfile("Rally");
  tuningSettings.sensitivity = 70.0f;
  steeringState.profileModified = 1;
  SaveProfile(tuningSettings.profile);
  EXPECT_STREQ(tuningSettings.profile, "Rally");
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_EQ(ReadFileBytes(Profile("Rally")).find("sensitivity=70.0\r\n"), 0u);
}

TEST_F(StorageTest, DeleteRemovesOnlyTheFileRescansAndKeepsTheActiveName) {
  SaveProfile("A");
  SaveProfile("B");
  const std::string settings = ReadFileBytes(Settings());
  fs::create_directories(profiles / "x.txt");
  DeleteProfile("B");
  EXPECT_FALSE(fs::exists(Profile("B")));
  EXPECT_EQ(ListedNames(), std::set<std::string>{"A"});
  EXPECT_STREQ(tuningSettings.profile, "B");
  EXPECT_EQ(ReadFileBytes(Settings()), settings) << "a delete saves no settings";
  DeleteProfile("x");
  EXPECT_TRUE(fs::is_directory(profiles / "x.txt")) << "never a folder";
}

// ---- Never a torn file -------------------------------------------------------

TEST_F(StorageTest, FailedSettingsWriteLeavesTheOldFileWhole) {
  struct Case {
    const char* what;
    std::function<void()> obstruct;
  };
  const Case cases[] = {
      {"write breaks off in its second line", [&] { LimitFileSize(40); }},
      {"temporary file cannot be made",
       [&] { fs::create_directories(Settings() + ".tmp"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetToDefaults();
    SaveSettings();
    tuningSettings.sensitivity = 99.0f;
    c.obstruct();
    SaveSettings();
    AllowAnyFileSize();
    EXPECT_EQ(ReadFileBytes(Settings()), DEFAULT_SETTINGS_BYTES);
    EXPECT_FALSE(fs::is_regular_file(Settings() + ".tmp"));
    fs::remove_all(Settings() + ".tmp");
    SaveSettings();  // the next save tries again
    EXPECT_EQ(ReadFileBytes(Settings()).find("sensitivity=99.0\r\n"), 0u);
  }
  // A folder in the file's place: the new file is written but cannot replace it.
  fs::remove(Settings());
  fs::create_directories(data / "settings.txt" / "inside");
  SaveSettings();
  EXPECT_TRUE(fs::is_directory(data / "settings.txt" / "inside"));
  EXPECT_FALSE(fs::exists(Settings() + ".tmp"));
}

TEST_F(StorageTest, FailedProfileWriteKeepsTheOldFileAndTheActiveName) {
  SaveProfile("Fast");
  SaveProfile("Default");
  fs::create_directories(profiles / "Busy.txt" / "inside");
  const std::string settings = ReadFileBytes(Settings());
  tuningSettings.sensitivity = 99.0f;
  steeringState.profileModified = 1;

  LimitFileSize(30);
  SaveProfile("Fast");
  AllowAnyFileSize();
  SaveProfile("Busy");

  EXPECT_EQ(ReadFileBytes(Profile("Fast")), DEFAULT_PROFILE_BYTES);
  EXPECT_TRUE(fs::is_directory(profiles / "Busy.txt" / "inside"));
  EXPECT_FALSE(fs::exists(Profile("Fast") + ".tmp"));
  EXPECT_FALSE(fs::exists(Profile("Busy") + ".tmp"));
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_EQ(ReadFileBytes(Settings()), settings);
}

// ---- Data folder and scan ----------------------------------------------------

TEST_F(StorageTest, NoDataFolderMeansNothingIsReadOrWritten) {
  // With empty paths nothing may land relative to the working folder either.
  const fs::path work = root / "work";
  fs::create_directories(work);
  const fs::path previous = fs::current_path();
  fs::current_path(work);
  WriteFileBytes((work / "settings.txt").string(), "sensitivity=50\r\n");
  WriteFileBytes((work / "Default.txt").string(), "sensitivity=50\r\n");

  SetDataFolder("");
  EXPECT_STREQ(settingsFilePath, "");
  EXPECT_STREQ(profileFolderPath, "");
  steeringState.profileModified = 1;
  SaveSettings();
  LoadSettings();
  SaveProfile("Default");
  LoadProfile("Default");
  DeleteProfile("Default");
  ScanProfiles();
  fs::current_path(previous);

  EXPECT_EQ(tuningSettings.sensitivity, 45.0f);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_EQ(profileCount, 0);
  std::set<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    entries.insert(entry.path().lexically_relative(root).string());
  }
  EXPECT_EQ(entries, (std::set<std::string>{"Tarvix", "Tarvix/Profiles", "work",
                                            "work/Default.txt", "work/settings.txt"}));
  EXPECT_EQ(ReadFileBytes((work / "settings.txt").string()), "sensitivity=50\r\n");
}

TEST_F(StorageTest, TooLongDataFolderLeavesBothPathsEmpty) {
  const std::string longest(STORAGE_PATH_SIZE - 1 - 13 - 4, 'd');  // + "/settings.txt" + ".tmp"
  SetDataFolder(longest.c_str());
  EXPECT_STREQ(settingsFilePath, (longest + "/settings.txt").c_str());
  SetDataFolder((longest + "d").c_str());
  EXPECT_STREQ(settingsFilePath, "");
  EXPECT_STREQ(profileFolderPath, "");
}

TEST_F(StorageTest, ScanListsTxtFilesByNameWithoutTheExtension) {
  for (const std::string& file :
       {std::string("a.b.txt"), std::string(".txt"), std::string("Upper.TXT"),
        std::string(".hidden.txt"), std::string("notes.md"), std::string("a.txtx"),
        std::string("Fast.txt.tmp"), std::string(127, 'n') + ".txt",
        std::string(128, 'o') + ".txt"}) {
    WriteFileBytes((profiles / file).string(), "");
  }
  fs::create_directories(profiles / "x.txt");
  ScanProfiles();
  EXPECT_EQ(ListedNames(),
            (std::set<std::string>{"a.b", "", "Upper", ".hidden", std::string(127, 'n')}));
  for (int i = profileCount; i < PROFILE_LIST_SIZE; ++i) EXPECT_EQ(profileNames[i][0], 0);
}

}  // namespace
