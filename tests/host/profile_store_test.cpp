#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"

namespace fs = std::filesystem;

namespace {

const char DEFAULT_PROFILE[] =
    "sensitivity=45.0\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
    "steeringLimit=100.0\r\ncurveOnSteering=1\r\n";

void ReadProfileText(const std::string& bytes) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  ReadProfileStream(file);
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

std::set<std::string> ListedNames() {
  std::set<std::string> names;
  for (int i = 0; i < profileCount; ++i) names.insert(profileNames[i]);
  return names;
}

std::vector<std::string> FilesUnder(const fs::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    files.push_back(entry.path().lexically_relative(folder).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class ProfileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvix-profiles-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    data = root / "Tarvix";
    profiles = data / "Profiles";
    fs::create_directories(profiles);
    SetDataFolder(data.c_str());
    ResetToDefaults();
    getrlimit(RLIMIT_FSIZE, &savedLimit);
  }
  void TearDown() override {
    setrlimit(RLIMIT_FSIZE, &savedLimit);
    std::signal(SIGXFSZ, SIG_DFL);
    SetDataFolder("");
    ClearProfileList();
    fs::remove_all(root);
  }
  fs::path root;
  fs::path data;
  fs::path profiles;
  rlimit savedLimit{};
};

// ---- Reading rules ---------------------------------------------------------

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
      {"nothing after '=' skipped", "sensitivity=\r\n", 45.0f, 0},
      {"blanks around '=' make another key", "sensitivity = 50\r\n", 45.0f, 0},
      {"last value wins", "sensitivity=50\r\nsensitivity=60\r\n", 60.0f, 0},
      {"unknown keys and malformed lines skipped",
       "profile=Other\r\nstartMin=0\r\nno equals\r\n=1\r\nsensitivity=50\r\n", 50.0f, 0},
      {"nan skipped", "sensitivity=nan\r\n", 45.0f, 0},
      {"inf skipped", "sensitivity=INF\r\n", 45.0f, 0},
      {"1e999 skipped", "sensitivity=1e999\r\n", 45.0f, 0},
      {"no number is 0", "sensitivity=x\r\n", 0.0f, 0},
      {"value of 63 fits", "sensitivity=" + std::string(62, '0') + "7\r\n", 7.0f, 0},
      {"value of 64 skipped whole", "sensitivity=" + std::string(63, '0') + "7\r\n", 45.0f, 0},
      {"key of 64 skipped whole", std::string(64, 'k') + "=1\r\nsensitivity=50\r\n", 50.0f, 0},
      {"over-long line read in pieces", std::string(255, 'x') + "sensitivity=50\r\n", 50.0f, 0},
      {"curve flag stored unchecked", "curveOnSteering=5\r\n", 45.0f, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ResetToDefaults();
    ReadProfileText(row.input);
    EXPECT_EQ(tuningSettings.sensitivity, row.sensitivity);
    EXPECT_EQ(tuningSettings.curveOnSteering, row.curveOnSteering);
    EXPECT_STREQ(tuningSettings.profile, "Default");
    EXPECT_EQ(tuningSettings.startMin, 1);
  }
}

TEST(ReadProfileStream, ReadsTheSixValues) {
  ResetToDefaults();
  ReadProfileText(
      "sensitivity=80.0\r\nresponseCurve=2.50\r\nsmoothing=7\r\nautoCenterForce=0.5\r\n"
      "steeringLimit=60.0\r\ncurveOnSteering=1\r\n");
  const TuningSettings& t = tuningSettings;
  EXPECT_EQ(t.sensitivity, 80.0f);
  EXPECT_EQ(t.responseCurve, 2.5f);
  EXPECT_EQ(t.smoothing, 7);
  EXPECT_EQ(t.autoCenterForce, 0.5f);
  EXPECT_EQ(t.steeringLimit, 60.0f);
  EXPECT_EQ(t.curveOnSteering, 1);
}

// ---- Names -----------------------------------------------------------------

TEST(IsValidProfileName, RefusesNamesThatLeaveTheFolderOrNameADevice) {
  const char* refused[] = {
      "", ".", "..", "a/b", "../settings", "a\\b", "..\\settings", "C:x", "C:", "a:b",
      "tab\there", "line\nend", "\x1f", "<", ">", "\"", "|", "?", "*", "a*b",
      "CON", "con", "Con.txt", "con.anything", "CON.", "CON ", "con  .txt", "PRN", "aux", "NUL",
      "nul.tar.gz", "COM1", "com9", "LPT1", "lpt9.txt", "COM\xb9", "LPT\xb2", "CONIN$", "conout$",
  };
  for (const char* name : refused) {
    SCOPED_TRACE(name);
    EXPECT_EQ(IsValidProfileName(name), 0);
  }
  EXPECT_EQ(IsValidProfileName(nullptr), 0);
  EXPECT_EQ(IsValidProfileName(std::string(128, 'n').c_str()), 0);

  const char* accepted[] = {
      "Default", "My Car", "a.b", ".hidden", "...", "x.", " x", "COM10", "COM0", "LPT", "CONSOLE",
      "Connect", "NULL", "aux1", "caf\xe9", "100%", "a&b", "[1]",
  };
  for (const char* name : accepted) {
    SCOPED_TRACE(name);
    EXPECT_EQ(IsValidProfileName(name), 1);
  }
  EXPECT_EQ(IsValidProfileName(std::string(127, 'n').c_str()), 1);
}

TEST_F(ProfileStoreTest, RefusedNamesDoNothing) {
  WriteBytes(data / "settings.txt", "sensitivity=50\r\n");
  WriteBytes(root / "outside.txt", "sensitivity=50\r\n");
  const std::vector<std::string> before = FilesUnder(root);
  const char* refused[] = {"", "..", "../settings", "../../outside", "a/b", "con", "LPT1.log",
                           "x:y", "bad|name"};
  for (const char* name : refused) {
    SCOPED_TRACE(name);
    steeringState.profileModified = 1;
    SaveProfile(name);
    LoadProfile(name);
    DeleteProfile(name);
    EXPECT_EQ(FilesUnder(root), before);
    EXPECT_STREQ(tuningSettings.profile, "Default");
    EXPECT_EQ(tuningSettings.sensitivity, 45.0f);
    EXPECT_EQ(steeringState.profileModified, 1);
  }
}

// ---- Save, load, delete ----------------------------------------------------

TEST_F(ProfileStoreTest, DefaultProfileIsWrittenByteForByteWithCrLf) {
  SaveProfile("Default");
  EXPECT_EQ(FileBytes(profiles / "Default.txt"), DEFAULT_PROFILE);
  EXPECT_FALSE(fs::exists(profiles / "Default.txt.tmp"));
}

TEST_F(ProfileStoreTest, SaveMakesTheProfileActiveAndSavesTheSettings) {
  tuningSettings.sensitivity = 45.37f;
  steeringState.profileModified = 1;
  SaveProfile("My Car");
  std::string bytes = FileBytes(profiles / "My Car.txt");
  EXPECT_EQ(bytes.find("sensitivity=45.4\r\nresponseCurve=1.50\r\n"), 0u) << bytes;
  EXPECT_STREQ(tuningSettings.profile, "My Car");
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_NE(FileBytes(data / "settings.txt").find("\r\nprofile=My Car\r\n"), std::string::npos);
}

TEST_F(ProfileStoreTest, MyCarRoundTrip) {
  TuningSettings& t = tuningSettings;
  t.sensitivity = 80.0f;
  t.responseCurve = 2.5f;
  SetSmoothingWindow(6);
  t.autoCenterForce = 12.5f;
  t.steeringLimit = 70.0f;
  t.curveOnSteering = 0;
  SaveProfile("My Car");
  ScanProfiles();
  EXPECT_EQ(ListedNames(), std::set<std::string>{"My Car"});

  ResetToDefaults();
  steeringState.profileModified = 1;
  LoadProfile(profileNames[0]);
  EXPECT_EQ(t.sensitivity, 80.0f);
  EXPECT_EQ(t.responseCurve, 2.5f);
  EXPECT_EQ(t.smoothing, 6);
  EXPECT_EQ(t.autoCenterForce, 12.5f);
  EXPECT_EQ(t.steeringLimit, 70.0f);
  EXPECT_EQ(t.curveOnSteering, 0);
  EXPECT_STREQ(t.profile, "My Car");
  EXPECT_EQ(steeringState.profileModified, 0);
  // The load saved the settings: the tuning and the name survive a restart.
  ResetToDefaults();
  LoadSettings();
  EXPECT_EQ(t.sensitivity, 80.0f);
  EXPECT_STREQ(t.profile, "My Car");
  EXPECT_EQ(t.curveOnSteering, 1);
}

TEST_F(ProfileStoreTest, SavingTheActiveProfileUnderItsOwnName) {
  SaveProfile("Rally");
  tuningSettings.sensitivity = 70.0f;
  steeringState.profileModified = 1;
  SaveProfile(tuningSettings.profile);
  EXPECT_STREQ(tuningSettings.profile, "Rally");
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_EQ(FileBytes(profiles / "Rally.txt").find("sensitivity=70.0\r\n"), 0u);
}

TEST_F(ProfileStoreTest, LoadingAMissingProfileChangesNothing) {
  steeringState.profileModified = 1;
  tuningSettings.curveOnSteering = 1;
  LoadProfile("Nowhere");
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(tuningSettings.curveOnSteering, 1);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_FALSE(fs::exists(data / "settings.txt"));
}

TEST_F(ProfileStoreTest, LoadingAnOldProfileTurnsTheCurveOnSteeringOff) {
  WriteBytes(profiles / "Old.txt", "sensitivity=30.0\r\n");
  SetSmoothingWindow(5);
  LoadProfile("Old");
  EXPECT_EQ(tuningSettings.curveOnSteering, 0);
  EXPECT_EQ(tuningSettings.sensitivity, 30.0f);
  EXPECT_EQ(tuningSettings.smoothing, 5);  // missing lines keep their values
}

TEST_F(ProfileStoreTest, DeleteRemovesTheFileAndRescansButKeepsTheActiveName) {
  SaveProfile("A");
  SaveProfile("B");
  SaveProfile("C");
  const std::string settings = FileBytes(data / "settings.txt");
  ScanProfiles();
  EXPECT_EQ(profileCount, 3);
  DeleteProfile("C");
  EXPECT_FALSE(fs::exists(profiles / "C.txt"));
  EXPECT_EQ(ListedNames(), (std::set<std::string>{"A", "B"}));
  EXPECT_STREQ(tuningSettings.profile, "C");
  EXPECT_EQ(FileBytes(data / "settings.txt"), settings);
  DeleteProfile("Missing");  // a failed delete still rescans
  EXPECT_EQ(profileCount, 2);
}

TEST_F(ProfileStoreTest, DeleteRemovesNoFolder) {
  fs::create_directories(profiles / "x.txt");
  DeleteProfile("x");
  EXPECT_TRUE(fs::is_directory(profiles / "x.txt"));
}

// ---- Never a torn file -----------------------------------------------------

TEST_F(ProfileStoreTest, FailedWriteKeepsTheOldProfileAndTheActiveName) {
  SaveProfile("Fast");
  SaveProfile("Default");
  const std::string settings = FileBytes(data / "settings.txt");
  tuningSettings.sensitivity = 99.0f;
  steeringState.profileModified = 1;

  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = savedLimit;
  limit.rlim_cur = 30;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  SaveProfile("Fast");
  setrlimit(RLIMIT_FSIZE, &savedLimit);

  EXPECT_EQ(FileBytes(profiles / "Fast.txt"), DEFAULT_PROFILE);
  EXPECT_FALSE(fs::exists(profiles / "Fast.txt.tmp"));
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_EQ(FileBytes(data / "settings.txt"), settings);
}

TEST_F(ProfileStoreTest, FailedReplaceLeavesNoTemporaryFile) {
  fs::create_directories(profiles / "Busy.txt" / "inside");
  steeringState.profileModified = 1;
  SaveProfile("Busy");
  EXPECT_TRUE(fs::is_directory(profiles / "Busy.txt" / "inside"));
  EXPECT_FALSE(fs::exists(profiles / "Busy.txt.tmp"));
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_FALSE(fs::exists(data / "settings.txt"));
}

// ---- Scan ------------------------------------------------------------------

TEST_F(ProfileStoreTest, ScanListsTxtFilesByNameWithoutTheExtension) {
  WriteBytes(profiles / "a.b.txt", "");
  WriteBytes(profiles / ".txt", "");
  WriteBytes(profiles / "Upper.TXT", "");
  WriteBytes(profiles / ".hidden.txt", "");
  WriteBytes(profiles / "notes.md", "");
  WriteBytes(profiles / "a.txtx", "");
  WriteBytes(profiles / "Fast.txt.tmp", "");
  WriteBytes(profiles / (std::string(127, 'n') + ".txt"), "");
  WriteBytes(profiles / (std::string(128, 'o') + ".txt"), "");
  fs::create_directories(profiles / "x.txt");
  ScanProfiles();
  EXPECT_EQ(ListedNames(), (std::set<std::string>{"a.b", "", "Upper", ".hidden",
                                                   std::string(127, 'n')}));
  for (int i = profileCount; i < PROFILE_LIST_SIZE; ++i) EXPECT_EQ(profileNames[i][0], 0);
}

TEST_F(ProfileStoreTest, ScanListsAtMost32) {
  for (int i = 0; i < 40; ++i) WriteBytes(profiles / ("P" + std::to_string(i) + ".txt"), "");
  ScanProfiles();
  EXPECT_EQ(profileCount, 32);
  std::set<std::string> names = ListedNames();
  EXPECT_EQ(names.size(), 32u);
  for (const std::string& name : names) EXPECT_TRUE(fs::exists(profiles / (name + ".txt")));
}

TEST_F(ProfileStoreTest, ScanOfAMissingFolderGivesAnEmptyList) {
  WriteBytes(profiles / "A.txt", "");
  ScanProfiles();
  EXPECT_EQ(profileCount, 1);
  fs::remove_all(profiles);
  ScanProfiles();
  EXPECT_EQ(profileCount, 0);
  EXPECT_EQ(profileNames[0][0], 0);
}

}  // namespace
