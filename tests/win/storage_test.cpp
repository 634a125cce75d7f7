// The data folder, the settings file and the profile store in Wine's real
// Documents folder, through the Win32 file calls: what only Windows shows.
// The format rules themselves are tested on the host.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"
#include "tests/support/storage_files.h"

namespace fs = std::filesystem;

namespace {

std::string Documents() {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
  return path;
}

std::string DataFolder() { return Documents() + "\\Tarvix"; }
std::string Settings() { return DataFolder() + "\\settings.txt"; }
std::string ProfileFile(const std::string& name) { return DataFolder() + "\\Profiles\\" + name + ".txt"; }

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::set<std::string> ListedNames() {
  std::set<std::string> names;
  for (int i = 0; i < profileCount; ++i) names.insert(profileNames[i]);
  return names;
}

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Each test starts from an empty Tarvix folder made by CreateDataFolders.
class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Documents().empty());
    RemoveDataFolder();
    ResetToDefaults();
    CreateDataFolders();
    ClearProfileList();
  }
  void TearDown() override { RemoveDataFolder(); }
  static void RemoveDataFolder() {
    std::error_code ignored;
    SetFileAttributesA(Settings().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(DataFolder(), ignored);
  }
};

TEST_F(StorageTest, CreateDataFoldersMakesBothFoldersInDocuments) {
  RemoveDataFolder();
  CreateDataFolders();
  EXPECT_EQ(std::string(settingsFilePath), Settings());
  EXPECT_EQ(std::string(profileFolderPath), DataFolder() + "\\Profiles");
  char buffer[STORAGE_PATH_SIZE];
  GetDataFolderPath(buffer);
  EXPECT_EQ(std::string(buffer), DataFolder());

  // The same folder seen from the Linux side, $HOME/Documents/Tarvix: Wine
  // gives its programs the Unix home folder as \??\Z:\<path> (older versions
  // as \??\unix/<path>), Z: being the Unix root.
  char home[STORAGE_PATH_SIZE];
  DWORD length = GetEnvironmentVariableA("WINEHOMEDIR", home, sizeof home);
  ASSERT_GT(length, 0u) << "not running under Wine?";
  ASSERT_LT(length, sizeof home);
  std::string unixSide = home;
  if (unixSide.compare(0, 4, "\\??\\") == 0) unixSide.erase(0, 4);
  if (unixSide.compare(0, 4, "unix") == 0) unixSide.replace(0, 4, "Z:");
  unixSide += "/Documents/Tarvix/Profiles";
  std::replace(unixSide.begin(), unixSide.end(), '/', '\\');
  EXPECT_TRUE(IsFolder(unixSide)) << unixSide;
}

// Written in binary, so CR LF is not doubled by the runtime's text mode; read
// through the Windows runtime, whose number parsing is not glibc's.
TEST_F(StorageTest, FirstStartWritesCrLfAndNumbersFollowTheCConventions) {
  SaveProfile("Default");  // as start-up does on a first start
  EXPECT_EQ(ReadFileBytes(ProfileFile("Default")), DEFAULT_PROFILE_BYTES);
  EXPECT_EQ(ReadFileBytes(Settings()), DEFAULT_SETTINGS_BYTES);
  EXPECT_FALSE(Exists(Settings() + ".tmp"));
  EXPECT_FALSE(Exists(ProfileFile("Default") + ".tmp"));

  tuningSettings.sensitivity = 45.37f;
  SaveSettings();
  EXPECT_EQ(ReadFileBytes(Settings()).find("sensitivity=45.4\r\nresponseCurve=1.50\r\n"), 0u);

  ASSERT_TRUE(WriteFileBytes(Settings(), "sensitivity=nan\r\nresponseCurve=inf\r\nautoCenterForce=1e999\r\n"
                                         "steeringLimit=-INF\r\nsmoothing=99999999999\r\nstartMin= 12abc\r\n"));
  ResetToDefaults();
  LoadSettings();
  EXPECT_EQ(tuningSettings.sensitivity, 45.0f);
  EXPECT_EQ(tuningSettings.responseCurve, 1.5f);
  EXPECT_EQ(tuningSettings.autoCenterForce, 5.0f);
  EXPECT_EQ(tuningSettings.steeringLimit, 100.0f);
  EXPECT_EQ(tuningSettings.smoothing, 32);
  EXPECT_EQ(tuningSettings.startMin, 12);
}

TEST_F(StorageTest, ProfileWithABlankIsSavedListedLoadedAndDeleted) {
  tuningSettings.sensitivity = 80.0f;
  tuningSettings.curveOnSteering = 0;
  SaveProfile("My Car");
  SaveProfile("Other");
  ScanProfiles();
  EXPECT_EQ(ListedNames(), (std::set<std::string>{"My Car", "Other"}));

  ResetToDefaults();
  LoadProfile("My Car");
  EXPECT_EQ(tuningSettings.sensitivity, 80.0f);
  EXPECT_EQ(tuningSettings.curveOnSteering, 0);
  EXPECT_STREQ(tuningSettings.profile, "My Car");
  EXPECT_NE(ReadFileBytes(Settings()).find("\r\nprofile=My Car\r\n"), std::string::npos);

  DeleteProfile("My Car");
  EXPECT_FALSE(Exists(ProfileFile("My Car")));
  EXPECT_EQ(ListedNames(), std::set<std::string>{"Other"});
}

// The FindFirstFile listing: "*.txt" files only, folders skipped, the
// extension cut at the last point, at most 32 names, none without the folder.
TEST_F(StorageTest, ScanListsAtMost32TxtFilesByName) {
  ASSERT_TRUE(WriteFileBytes(ProfileFile("a.b"), ""));
  ASSERT_TRUE(WriteFileBytes(ProfileFile(""), ""));  // ".txt"
  ASSERT_TRUE(CreateDirectoryA(ProfileFile("x").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(ProfileFile("Fast") + ".tmp", ""));
  ScanProfiles();
  EXPECT_EQ(ListedNames(), (std::set<std::string>{"a.b", ""}));

  for (int i = 0; i < 40; ++i) WriteFileBytes(ProfileFile("P" + std::to_string(i)), DEFAULT_PROFILE_BYTES);
  ScanProfiles();
  EXPECT_EQ(profileCount, 32);
  const std::set<std::string> names = ListedNames();
  EXPECT_EQ(names.size(), 32u);
  for (const std::string& name : names) EXPECT_TRUE(Exists(ProfileFile(name))) << name;

  RemoveDataFolder();
  ScanProfiles();
  EXPECT_EQ(profileCount, 0);
}

// A read-only file cannot be replaced: the new file is written, then dropped,
// and the old one stays whole.
TEST_F(StorageTest, FailedReplaceLeavesTheOldFileWholeAndNoTemporaryFile) {
  SaveProfile("Default");
  tuningSettings.sensitivity = 99.0f;
  ASSERT_TRUE(SetFileAttributesA(Settings().c_str(), FILE_ATTRIBUTE_READONLY));
  SaveSettings();
  SetFileAttributesA(Settings().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(Settings()), DEFAULT_SETTINGS_BYTES);
  EXPECT_FALSE(Exists(Settings() + ".tmp"));

  const std::string fast = ProfileFile("Fast");
  ASSERT_TRUE(WriteFileBytes(fast, DEFAULT_PROFILE_BYTES));
  ASSERT_TRUE(SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_READONLY));
  steeringState.profileModified = 1;
  SaveProfile("Fast");
  SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(fast), DEFAULT_PROFILE_BYTES);
  EXPECT_FALSE(Exists(fast + ".tmp"));
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(steeringState.profileModified, 1);

  SaveSettings();  // nothing in the way any more: replaced in place
  EXPECT_EQ(ReadFileBytes(Settings()).find("sensitivity=99.0\r\n"), 0u);
}

TEST_F(StorageTest, RefusedProfileNamesDoNothing) {
  SaveProfile("Default");
  const std::vector<std::string> before = FilesUnder(Documents());
  const std::string settings = ReadFileBytes(Settings());
  const char* refused[] = {"",         "..",         "..\\settings", "..\\..\\escape", "../settings",
                           "C:escape", "C:\\escape", "con",          "NUL",            "aux.txt",
                           "COM1",     "lpt9 .log",  "a|b",          "what?",          "tab\tname"};
  for (const char* name : refused) {
    SCOPED_TRACE(name);
    steeringState.profileModified = 1;
    SaveProfile(name);
    LoadProfile(name);
    DeleteProfile(name);
    EXPECT_EQ(FilesUnder(Documents()), before);
    EXPECT_EQ(ReadFileBytes(Settings()), settings);
    EXPECT_STREQ(tuningSettings.profile, "Default");
    EXPECT_EQ(steeringState.profileModified, 1);
  }
  EXPECT_FALSE(Exists("C:\\escape.txt"));
  EXPECT_FALSE(Exists(Documents() + "\\escape.txt"));
}

}  // namespace
