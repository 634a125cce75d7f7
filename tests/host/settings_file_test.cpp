#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"

namespace fs = std::filesystem;

namespace {

const char DEFAULT_SETTINGS[] =
    "sensitivity=45.0\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
    "steeringLimit=100.0\r\nstartMin=1\r\nstartWithWindows=0\r\naccelBrakeMode=1\r\n"
    "hotkeyLock=F4\r\nhotkeyRecenter=^R\r\nprofile=Default\r\n";

void ReadSettingsText(const std::string& bytes) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  ReadSettingsStream(file);
  std::fclose(file);
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// A data folder of the test's own under /tmp, with its Profiles folder.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvix-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    data = root / "Tarvix";
    fs::create_directories(data / "Profiles");
    SetDataFolder(data.c_str());
    ResetToDefaults();
    getrlimit(RLIMIT_FSIZE, &savedLimit);
  }
  void TearDown() override {
    setrlimit(RLIMIT_FSIZE, &savedLimit);
    std::signal(SIGXFSZ, SIG_DFL);
    SetDataFolder("");
    fs::remove_all(root);
  }
  // Every write beyond `bytes` in a file fails from now on (EFBIG).
  void LimitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = savedLimit;
    limit.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  fs::path root;
  fs::path data;
  rlimit savedLimit{};
};

// ---- Reading rules ---------------------------------------------------------

struct TextRow {
  const char* what;
  std::string input;
  float sensitivity;
  const char* hotkeyLock;
  const char* profile;
};

TEST(ReadSettingsStream, FollowsTheLineRules) {
  const std::string a247(247, 'a');
  const std::string x255(255, 'x');
  const TextRow rows[] = {
      {"plain line", "sensitivity=50\r\n", 50.0f, "F4", "Default"},
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
      {"-inf skipped", "sensitivity=-inf\r\n", 45.0f, "F4", "Default"},
      {"overflowing double skipped", "sensitivity=1e999\r\n", 45.0f, "F4", "Default"},
      {"overflowing f32 skipped", "sensitivity=1e39\r\n", 45.0f, "F4", "Default"},
      {"blanks kept inside and after a text", "profile=My Car  \r\n", 45.0f, "F4", "My Car  "},
      {"blank kept before a text", "profile= My Car\r\n", 45.0f, "F4", " My Car"},
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
       "profile=" + a247 + "sensitivity=50\r\n", 50.0f, "F4", "Default"},
      {"second piece scanned as a line", x255 + "profile=Tail\r\n", 45.0f, "F4", "Tail"},
      {"CR LF split at the 255 boundary", "hotkeyLock=" + std::string(243, 'c') + "\r\nprofile=Next\r\n",
       45.0f, "F4", "Next"},
      {"curveOnSteering is no settings key", "curveOnSteering=0\r\n", 45.0f, "F4", "Default"},
  };
  for (const TextRow& row : rows) {
    SCOPED_TRACE(row.what);
    ResetToDefaults();
    ReadSettingsText(row.input);
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
      {"startMin=0", &TuningSettings::startMin, 0},
      {"startMin=7", &TuningSettings::startMin, 7},
      {"startMin= 7x", &TuningSettings::startMin, 7},
      {"startMin=abc", &TuningSettings::startMin, 0},
      {"startMin=-", &TuningSettings::startMin, 0},
      {"startWithWindows=+1", &TuningSettings::startWithWindows, 1},
      {"startWithWindows=2147483647", &TuningSettings::startWithWindows, INT32_MAX},
      {"startWithWindows=99999999999999999999", &TuningSettings::startWithWindows, INT32_MAX},
      {"accelBrakeMode=-2147483648", &TuningSettings::accelBrakeMode, INT32_MIN},
      {"accelBrakeMode=-2147483649", &TuningSettings::accelBrakeMode, INT32_MIN},
      {"accelBrakeMode=0.9", &TuningSettings::accelBrakeMode, 0},
      {"smoothing=5", &TuningSettings::smoothing, 5},
      {"smoothing=99", &TuningSettings::smoothing, 32},
      {"smoothing=-3", &TuningSettings::smoothing, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ResetToDefaults();
    ReadSettingsText(std::string(row.line) + "\r\n");
    EXPECT_EQ(tuningSettings.*row.field, row.expected);
  }
}

TEST(ReadSettingsStream, SetsEveryKeyAndClearsProfileModified) {
  ResetToDefaults();
  steeringState.profileModified = 1;
  ReadSettingsText(
      "sensitivity=60.5\r\nresponseCurve=2.25\r\nsmoothing=4\r\nautoCenterForce=7.5\r\n"
      "steeringLimit=80.0\r\nstartMin=0\r\nstartWithWindows=1\r\naccelBrakeMode=0\r\n"
      "hotkeyLock=+^x\r\nhotkeyRecenter=!B\r\nprofile=Rally\r\n");
  const TuningSettings& t = tuningSettings;
  EXPECT_EQ(t.sensitivity, 60.5f);
  EXPECT_EQ(t.responseCurve, 2.25f);
  EXPECT_EQ(t.smoothing, 4);
  EXPECT_EQ(t.autoCenterForce, 7.5f);
  EXPECT_EQ(t.steeringLimit, 80.0f);
  EXPECT_EQ(t.startMin, 0);
  EXPECT_EQ(t.startWithWindows, 1);
  EXPECT_EQ(t.accelBrakeMode, 0);
  EXPECT_STREQ(t.hotkeyLock, "+^x");
  EXPECT_STREQ(t.hotkeyRecenter, "!B");
  EXPECT_STREQ(t.profile, "Rally");
  EXPECT_EQ(steeringState.profileModified, 0);
}

TEST(ReadSettingsStream, ChangesTheSmoothingWindowOnlyThroughItsSetter) {
  // A changed window clears the ring; the same window keeps it.
  for (int32_t window : {2, 4}) {
    SCOPED_TRACE(window);
    ResetToDefaults();
    steeringState.smoothingRing[0] = 9;
    steeringState.ringCount = 1;
    steeringState.ringIndex = 1;
    ReadSettingsText("smoothing=" + std::to_string(window) + "\r\n");
    EXPECT_EQ(steeringState.ringCount, window == 2 ? 1 : 0);
    EXPECT_EQ(steeringState.smoothingRing[0], window == 2 ? 9 : 0);
  }
}

// ---- Writing ---------------------------------------------------------------

TEST_F(SettingsFileTest, DefaultsAreWrittenByteForByteWithCrLf) {
  SaveSettings();
  EXPECT_EQ(FileBytes(data / "settings.txt"), DEFAULT_SETTINGS);
  EXPECT_FALSE(fs::exists(data / "settings.txt.tmp"));
}

TEST_F(SettingsFileTest, WritesOneDecimalOrTwoAndReadsBack) {
  tuningSettings.sensitivity = 45.37f;
  tuningSettings.responseCurve = 1.5f;
  tuningSettings.steeringLimit = 99.96f;
  SaveSettings();
  std::string bytes = FileBytes(data / "settings.txt");
  EXPECT_NE(bytes.find("sensitivity=45.4\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("responseCurve=1.50\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("steeringLimit=100.0\r\n"), std::string::npos) << bytes;
  ResetToDefaults();
  LoadSettings();
  EXPECT_EQ(tuningSettings.sensitivity, 45.4f);
  EXPECT_EQ(tuningSettings.steeringLimit, 100.0f);
}

TEST_F(SettingsFileTest, RoundTripsEveryValueButCurveOnSteering) {
  TuningSettings& t = tuningSettings;
  t.sensitivity = 12.0f;
  t.responseCurve = 2.75f;
  SetSmoothingWindow(9);
  t.autoCenterForce = 0.5f;
  t.steeringLimit = 55.0f;
  t.curveOnSteering = 0;
  t.startMin = 0;
  t.startWithWindows = 1;
  t.accelBrakeMode = 0;
  std::strcpy(t.hotkeyLock, "!B");
  std::strcpy(t.hotkeyRecenter, "+^x");
  std::strcpy(t.profile, "My Car ");
  const TuningSettings saved = t;
  SaveSettings();

  ResetToDefaults();
  steeringState.profileModified = 1;
  LoadSettings();
  EXPECT_EQ(t.sensitivity, saved.sensitivity);
  EXPECT_EQ(t.responseCurve, saved.responseCurve);
  EXPECT_EQ(t.smoothing, 9);
  EXPECT_EQ(t.autoCenterForce, saved.autoCenterForce);
  EXPECT_EQ(t.steeringLimit, saved.steeringLimit);
  EXPECT_EQ(t.curveOnSteering, 1);  // only profiles carry it
  EXPECT_EQ(t.startMin, 0);
  EXPECT_EQ(t.startWithWindows, 1);
  EXPECT_EQ(t.accelBrakeMode, 0);
  EXPECT_STREQ(t.hotkeyLock, "!B");
  EXPECT_STREQ(t.hotkeyRecenter, "+^x");
  EXPECT_STREQ(t.profile, "My Car ");
  EXPECT_EQ(steeringState.profileModified, 0);
}

TEST_F(SettingsFileTest, UnknownLinesAreGoneAfterTheNextSave) {
  WriteBytes(data / "settings.txt", "colour=red\r\nsensitivity=50\r\n");
  LoadSettings();
  SaveSettings();
  std::string bytes = FileBytes(data / "settings.txt");
  EXPECT_EQ(bytes.find("colour"), std::string::npos);
  EXPECT_NE(bytes.find("sensitivity=50.0\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, MissingFileChangesNothing) {
  steeringState.profileModified = 1;
  tuningSettings.sensitivity = 33.0f;
  LoadSettings();
  EXPECT_EQ(tuningSettings.sensitivity, 33.0f);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_FALSE(fs::exists(data / "settings.txt"));
}

// ---- Never a torn file -----------------------------------------------------

TEST_F(SettingsFileTest, FailedWriteLeavesTheOldFileWhole) {
  SaveSettings();
  tuningSettings.sensitivity = 99.0f;
  LimitFileSize(40);  // the new file breaks off in its second line
  SaveSettings();
  setrlimit(RLIMIT_FSIZE, &savedLimit);
  EXPECT_EQ(FileBytes(data / "settings.txt"), DEFAULT_SETTINGS);
  EXPECT_FALSE(fs::exists(data / "settings.txt.tmp"));

  SaveSettings();  // the next save tries again and succeeds
  EXPECT_NE(FileBytes(data / "settings.txt").find("sensitivity=99.0\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, FailedReplaceRemovesTheTemporaryFile) {
  // A folder where the file should be: the new file is written, but cannot
  // take the folder's place.
  fs::create_directories(data / "settings.txt" / "inside");
  SaveSettings();
  EXPECT_TRUE(fs::is_directory(data / "settings.txt" / "inside"));
  EXPECT_FALSE(fs::exists(data / "settings.txt.tmp"));
}

TEST_F(SettingsFileTest, UnopenableTemporaryFileLeavesTheOldFileWhole) {
  SaveSettings();
  fs::create_directories(data / "settings.txt.tmp");
  tuningSettings.sensitivity = 99.0f;
  SaveSettings();
  EXPECT_EQ(FileBytes(data / "settings.txt"), DEFAULT_SETTINGS);
  EXPECT_TRUE(fs::is_directory(data / "settings.txt.tmp"));
}

// ---- Data folder -----------------------------------------------------------

TEST_F(SettingsFileTest, NoDataFolderMeansNothingIsReadOrWritten) {
  // With empty paths nothing may land relative to the working folder either.
  fs::path work = root / "work";
  fs::create_directories(work);
  fs::path previous = fs::current_path();
  fs::current_path(work);
  WriteBytes(work / "settings.txt", "sensitivity=50\r\n");
  WriteBytes(work / "Default.txt", "sensitivity=50\r\n");

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
  EXPECT_EQ(FileBytes(work / "settings.txt"), "sensitivity=50\r\n");
}

TEST_F(SettingsFileTest, TooLongDataFolderLeavesBothPathsEmpty) {
  std::string longest(STORAGE_PATH_SIZE - 1 - 13 - 4, 'd');  // + "/settings.txt" + ".tmp"
  SetDataFolder(longest.c_str());
  EXPECT_STREQ(settingsFilePath, (longest + "/settings.txt").c_str());
  SetDataFolder((longest + "d").c_str());
  EXPECT_STREQ(settingsFilePath, "");
  EXPECT_STREQ(profileFolderPath, "");
}

TEST_F(SettingsFileTest, CreateDataFoldersMakesBothLevelsUnderDocuments) {
  const char* savedHome = std::getenv("HOME");
  std::string home = savedHome ? savedHome : "";
  fs::create_directories(root / "home" / "Documents");
  setenv("HOME", (root / "home").c_str(), 1);
  CreateDataFolders();
  EXPECT_STREQ(settingsFilePath, (root / "home/Documents/Tarvix/settings.txt").c_str());
  EXPECT_STREQ(profileFolderPath, (root / "home/Documents/Tarvix/Profiles").c_str());
  EXPECT_TRUE(fs::is_directory(root / "home/Documents/Tarvix/Profiles"));
  CreateDataFolders();  // existing folders are the normal case
  EXPECT_TRUE(fs::is_directory(root / "home/Documents/Tarvix/Profiles"));

  unsetenv("HOME");
  CreateDataFolders();
  EXPECT_STREQ(settingsFilePath, "");
  EXPECT_STREQ(profileFolderPath, "");
  if (savedHome) setenv("HOME", home.c_str(), 1);
}

}  // namespace
