// The data folder, the settings file and the profile store in Wine's real
// Documents folder (C:\users\<user>\Documents\Tarvix, $HOME/Documents/Tarvix
// on the Linux side), through the cross build's own Win32 calls.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

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
const char DEFAULT_PROFILE[] =
    "sensitivity=45.0\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
    "steeringLimit=100.0\r\ncurveOnSteering=1\r\n";

std::string Documents() {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
  return path;
}

std::string DataFolder() { return Documents() + "\\Tarvix"; }
std::string ProfileFile(const std::string& name) { return DataFolder() + "\\Profiles\\" + name + ".txt"; }

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string FileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  char chunk[1024];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  std::fclose(file);
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

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
    if (Exists(DataFolder() + "\\settings.txt")) {
      SetFileAttributesA((DataFolder() + "\\settings.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(DataFolder(), ignored);
  }
};

TEST_F(StorageTest, CreateDataFoldersMakesBothFoldersInDocuments) {
  RemoveDataFolder();
  ASSERT_FALSE(IsFolder(DataFolder()));
  CreateDataFolders();
  EXPECT_EQ(std::string(settingsFilePath), DataFolder() + "\\settings.txt");
  EXPECT_EQ(std::string(profileFolderPath), DataFolder() + "\\Profiles");
  EXPECT_TRUE(IsFolder(DataFolder()));
  EXPECT_TRUE(IsFolder(DataFolder() + "\\Profiles"));
  char buffer[STORAGE_PATH_SIZE];
  GetDataFolderPath(buffer);
  EXPECT_EQ(std::string(buffer), DataFolder());

  // The same folder through the Linux side, $HOME/Documents/Tarvix: Wine
  // tells its programs the Unix home folder as \??\Z:\<path> (older
  // versions as \??\unix/<path>), Z: being the Unix root.
  char home[STORAGE_PATH_SIZE];
  DWORD length = GetEnvironmentVariableA("WINEHOMEDIR", home, sizeof home);
  ASSERT_GT(length, 0u) << "not running under Wine?";
  ASSERT_LT(length, sizeof home);
  std::string unixSide = home;
  if (unixSide.compare(0, 4, "\\??\\") == 0) unixSide.erase(0, 4);
  if (unixSide.compare(0, 4, "unix") == 0) unixSide.replace(0, 4, "Z:");
  unixSide += "/Documents/Tarvix/Profiles";
  std::replace(unixSide.begin(), unixSide.end(), '/', '\\');
  ASSERT_EQ(unixSide.compare(0, 2, "Z:"), 0) << unixSide;
  EXPECT_TRUE(IsFolder(unixSide)) << unixSide;
}

TEST_F(StorageTest, DefaultsAreWrittenByteForByteWithCrLf) {
  SaveProfile("Default");  // as start-up does on a first start
  EXPECT_EQ(FileBytes(ProfileFile("Default")), DEFAULT_PROFILE);
  EXPECT_EQ(FileBytes(DataFolder() + "\\settings.txt"), DEFAULT_SETTINGS);
  EXPECT_FALSE(Exists(DataFolder() + "\\settings.txt.tmp"));
  EXPECT_FALSE(Exists(ProfileFile("Default") + ".tmp"));
}

TEST_F(StorageTest, NumbersFollowTheCConventions) {
  tuningSettings.sensitivity = 45.37f;
  tuningSettings.responseCurve = 1.5f;
  SaveSettings();
  std::string bytes = FileBytes(DataFolder() + "\\settings.txt");
  EXPECT_EQ(bytes.find("sensitivity=45.4\r\nresponseCurve=1.50\r\n"), 0u) << bytes;

  WriteBytes(DataFolder() + "\\settings.txt",
             "sensitivity=nan\r\nresponseCurve=inf\r\nautoCenterForce=1e999\r\n"
             "steeringLimit=-INF\r\nsmoothing=99999999999\r\nstartMin= 12abc\r\n");
  ResetToDefaults();
  LoadSettings();
  EXPECT_EQ(tuningSettings.sensitivity, 45.0f);
  EXPECT_EQ(tuningSettings.responseCurve, 1.5f);
  EXPECT_EQ(tuningSettings.autoCenterForce, 5.0f);
  EXPECT_EQ(tuningSettings.steeringLimit, 100.0f);
  EXPECT_EQ(tuningSettings.smoothing, 32);
  EXPECT_EQ(tuningSettings.startMin, 12);
}

TEST_F(StorageTest, SettingsRoundTrip) {
  TuningSettings& t = tuningSettings;
  t.sensitivity = 12.5f;
  t.responseCurve = 2.75f;
  SetSmoothingWindow(9);
  t.autoCenterForce = 0.5f;
  t.steeringLimit = 55.0f;
  t.startMin = 0;
  t.startWithWindows = 1;
  t.accelBrakeMode = 0;
  std::strcpy(t.hotkeyLock, "!B");
  std::strcpy(t.hotkeyRecenter, "+^x");
  std::strcpy(t.profile, "My Car");
  SaveSettings();
  ResetToDefaults();
  steeringState.profileModified = 1;
  LoadSettings();
  EXPECT_EQ(t.sensitivity, 12.5f);
  EXPECT_EQ(t.responseCurve, 2.75f);
  EXPECT_EQ(t.smoothing, 9);
  EXPECT_EQ(t.autoCenterForce, 0.5f);
  EXPECT_EQ(t.steeringLimit, 55.0f);
  EXPECT_EQ(t.startMin, 0);
  EXPECT_EQ(t.startWithWindows, 1);
  EXPECT_EQ(t.accelBrakeMode, 0);
  EXPECT_STREQ(t.hotkeyLock, "!B");
  EXPECT_STREQ(t.hotkeyRecenter, "+^x");
  EXPECT_STREQ(t.profile, "My Car");
  EXPECT_EQ(steeringState.profileModified, 0);
}

TEST_F(StorageTest, MyCarRoundTrip) {
  TuningSettings& t = tuningSettings;
  t.sensitivity = 80.0f;
  t.responseCurve = 2.5f;
  SetSmoothingWindow(6);
  t.autoCenterForce = 12.5f;
  t.steeringLimit = 70.0f;
  t.curveOnSteering = 0;
  steeringState.profileModified = 1;
  SaveProfile("My Car");
  EXPECT_TRUE(Exists(ProfileFile("My Car")));
  EXPECT_STREQ(t.profile, "My Car");
  EXPECT_EQ(steeringState.profileModified, 0);
  ScanProfiles();
  EXPECT_EQ(ListedNames(), std::set<std::string>{"My Car"});

  ResetToDefaults();
  LoadProfile(profileNames[0]);
  EXPECT_EQ(t.sensitivity, 80.0f);
  EXPECT_EQ(t.responseCurve, 2.5f);
  EXPECT_EQ(t.smoothing, 6);
  EXPECT_EQ(t.autoCenterForce, 12.5f);
  EXPECT_EQ(t.steeringLimit, 70.0f);
  EXPECT_EQ(t.curveOnSteering, 0);
  EXPECT_STREQ(t.profile, "My Car");
  EXPECT_NE(FileBytes(DataFolder() + "\\settings.txt").find("\r\nprofile=My Car\r\n"), std::string::npos);
}

TEST_F(StorageTest, FortyProfileFilesListThirtyTwo) {
  for (int i = 0; i < 40; ++i) WriteBytes(ProfileFile("P" + std::to_string(i)), DEFAULT_PROFILE);
  ScanProfiles();
  EXPECT_EQ(profileCount, 32);
  std::set<std::string> names = ListedNames();
  EXPECT_EQ(names.size(), 32u);
  for (const std::string& name : names) EXPECT_TRUE(Exists(ProfileFile(name))) << name;
}

TEST_F(StorageTest, ScanCutsTheExtensionAndSkipsFolders) {
  WriteBytes(ProfileFile("a.b"), "");
  WriteBytes(ProfileFile(""), "");  // ".txt"
  ASSERT_TRUE(CreateDirectoryA(ProfileFile("x").c_str(), nullptr));
  WriteBytes(ProfileFile("Fast") + ".tmp", "");
  ScanProfiles();
  EXPECT_EQ(ListedNames(), (std::set<std::string>{"a.b", ""}));
}

TEST_F(StorageTest, DeleteRescans) {
  SaveProfile("A");
  SaveProfile("B");
  SaveProfile("C");
  ScanProfiles();
  ASSERT_EQ(profileCount, 3);
  DeleteProfile("B");
  EXPECT_FALSE(Exists(ProfileFile("B")));
  EXPECT_EQ(ListedNames(), (std::set<std::string>{"A", "C"}));
  EXPECT_STREQ(tuningSettings.profile, "C");
}

TEST_F(StorageTest, FailedWriteLeavesTheOldFileWhole) {
  SaveProfile("Default");
  const std::string settings = DataFolder() + "\\settings.txt";
  ASSERT_EQ(FileBytes(settings), DEFAULT_SETTINGS);
  tuningSettings.sensitivity = 99.0f;

  // A folder in the temporary file's place: the write cannot start.
  ASSERT_TRUE(CreateDirectoryA((settings + ".tmp").c_str(), nullptr));
  SaveSettings();
  EXPECT_EQ(FileBytes(settings), DEFAULT_SETTINGS);
  ASSERT_TRUE(RemoveDirectoryA((settings + ".tmp").c_str()));

  // A read-only file cannot be replaced: the new file is written, then
  // dropped.
  ASSERT_TRUE(SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_READONLY));
  SaveSettings();
  SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(FileBytes(settings), DEFAULT_SETTINGS);
  EXPECT_FALSE(Exists(settings + ".tmp"));

  // The same for a profile: the old file stays, the active name too.
  const std::string fast = ProfileFile("Fast");
  WriteBytes(fast, DEFAULT_PROFILE);
  ASSERT_TRUE(SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_READONLY));
  steeringState.profileModified = 1;
  SaveProfile("Fast");
  SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(FileBytes(fast), DEFAULT_PROFILE);
  EXPECT_FALSE(Exists(fast + ".tmp"));
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(steeringState.profileModified, 1);

  SaveSettings();  // nothing in the way any more
  EXPECT_EQ(FileBytes(settings).find("sensitivity=99.0\r\n"), 0u);
}

TEST_F(StorageTest, RefusedProfileNamesDoNothing) {
  SaveProfile("Default");
  const std::vector<std::string> before = FilesUnder(Documents());
  const std::string settings = FileBytes(DataFolder() + "\\settings.txt");
  const char* refused[] = {"",          "..",       "..\\settings", "..\\..\\escape", "../settings",
                           "C:escape",  "C:\\escape", "con",        "NUL",            "aux.txt",
                           "COM1",      "lpt9 .log", "a|b",         "what?",          "tab\tname"};
  for (const char* name : refused) {
    SCOPED_TRACE(name);
    steeringState.profileModified = 1;
    SaveProfile(name);
    LoadProfile(name);
    DeleteProfile(name);
    EXPECT_EQ(FilesUnder(Documents()), before);
    EXPECT_EQ(FileBytes(DataFolder() + "\\settings.txt"), settings);
    EXPECT_STREQ(tuningSettings.profile, "Default");
    EXPECT_EQ(steeringState.profileModified, 1);
  }
  EXPECT_FALSE(Exists("C:\\escape.txt"));
  EXPECT_FALSE(Exists(Documents() + "\\escape.txt"));
}

TEST_F(StorageTest, NoDataFolderWritesNothing) {
  char previous[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(DataFolder().c_str()));
  SetDataFolder("");
  SaveSettings();
  SaveProfile("Default");
  ScanProfiles();
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(FilesUnder(DataFolder()), std::vector<std::string>{DataFolder() + "\\Profiles"});
  EXPECT_EQ(profileCount, 0);
}

}  // namespace
