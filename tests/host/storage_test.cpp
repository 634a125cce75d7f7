// The settings and profile formats, profile names, and whole-file writes that never leave a torn file.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "engine/status_notice.h"
#include "engine/tuning.h"
#include "storage/file_replace.h"
#include "storage/file_writer.h"
#include "storage/game_profiles.h"
#include "storage/name_rules.h"
#include "storage/profile_store.h"
#include "storage/saving.h"
#include "storage/settings_file.h"
#include "tests/support/system_fake.h"

namespace {

namespace fs = std::filesystem;
const auto S = ReadSettingsStream, P = ReadProfileStream;

std::string Bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}
// The files a first start writes, without their last line end.
const std::string SETTINGS = Bytes(TARVIX_TEST_DEFAULTS "/settings.txt"), PROFILE = Bytes(TARVIX_TEST_DEFAULTS "/Default.txt");
std::string Cut(const std::string& file) { return file.substr(0, file.size() - 2); }
std::string Formatted(size_t (*format)(const TuningSettings&, char*, size_t)) {
  char text[FILE_WRITE_TEXT_SIZE];
  return std::string(text, format(tuningSettings, text, sizeof text));
}

// The input is read over the defaults; what both writers then write must hold the line(s).
TEST(Readers, LineRulesAndRoundTrips) {
  const std::string k31(31, 'k'), c243(243, 'c');
  const std::string settings = "sensitivity=12.0\r\nresponseCurve=2.75\r\nsmoothing=9\r\nautoCenterForce=0.5\r\n"
      "steeringLimit=55.0\r\nstartMin=0\r\nstartWithWindows=1\r\naccelBrakeMode=0\r\nhotkeyLock=!B\r\n"
      "hotkeyRecenter=+^x\r\nprofile=My Car ";
  const std::string profile = "sensitivity=80.0\r\nresponseCurve=2.50\r\nsmoothing=6\r\nautoCenterForce=12.5\r\n"
      "steeringLimit=70.0\r\ncurveOnSteering=0";
  const struct { void (*reader)(FILE*); std::string input, line; } rows[] = {
      {S, "", Cut(SETTINGS)}, {P, "curveOnSteering=1", Cut(PROFILE)}, {S, settings, settings}, {P, profile, profile},
      {S, "sensitivity=45.37", "sensitivity=45.4"}, {S, "steeringLimit=99.96", "steeringLimit=100.0"},
      {S, "profile=Lf\nstartMin=0\n", "profile=Lf"}, {S, "hotkeyLock=F9\r\nsensitivity=50", "sensitivity=50.0"},
      {S, "sensitivity = 50\r\n", "sensitivity=45.0"}, {S, "Sensitivity=50\r\n", "sensitivity=45.0"},
      {S, "sensitivity=\r\n", "sensitivity=45.0"}, {S, "sensitivity=   \r\n", "sensitivity=0.0"},
      {S, "sensitivity=  12.5xyz\r\n", "sensitivity=12.5"}, {S, "x=1\r\nno equals\r\n=5\r\n\r\nsensitivity=50", "sensitivity=50.0"},
      {S, "responseCurve=nan\r\n", "responseCurve=1.50"}, {S, "steeringLimit=-INF\r\n", "steeringLimit=100.0"},
      {S, "autoCenterForce=1e39\r\n", "autoCenterForce=5.0"},  // beyond f32
      {S, "profile= My Car  \r\n", "profile= My Car  "}, {S, "profile=a=b\r\n", "profile=a=b"},
      {S, "profile=a\rb\r\n", "profile=a\rb"}, {S, "hotkeyLock=" + k31 + "\r\n", "hotkeyLock=" + k31},
      {S, "hotkeyLock=" + k31 + "k\r\n", "hotkeyLock=F4"}, {S, "profile=" + std::string(128, 'p'), "profile=Default"},
      {S, "sensitivity=5" + std::string(190, ' '), "sensitivity=5.0"},  // values up to 191 characters
      {S, "sensitivity=5" + std::string(191, ' '), "sensitivity=45.0"},
      {S, std::string(64, 'k') + "=1\r\nsensitivity=50\r\n", "sensitivity=50.0"},  // keys up to 63
      {S, "profile=" + std::string(247, 'a') + "sensitivity=50\r\n", "sensitivity=50.0"},  // pieces of 255
      {S, "hotkeyLock=" + c243 + "\r\nprofile=Next\r\n", "profile=Next"},  // CR LF split at 255
      {S, "hotkeyLock=" + c243 + "\rprofile=Next\r\n", "profile=Next"},
      {S, "curveOnSteering=0\r\n", "curveOnSteering=1"}, {S, "startMin= 7x\r\n", "startMin=7"},
      {S, "startMin=99999999999999999999\r\n", "startMin=2147483647"},
      {S, "accelBrakeMode=-2147483649\r\n", "accelBrakeMode=-2147483648"},
      {S, "smoothing=99\r\n", "smoothing=32"}, {S, "smoothing=-3\r\n", "smoothing=0"},
      {S, "directMode=1 x\r\n", "directMode=1"}, {P, "directMode=1\r\n", "directMode=0"},  // not in profiles
      {P, "sensitivity=50\r\n", "curveOnSteering=0"}, {P, "sensitivity=50 " + std::string(63, 'x'), "sensitivity=50.0"},
      {P, "sensitivity= \t 50\r\n", "sensitivity=50.0"}, {P, "sensitivity=   \r\n", "sensitivity=45.0"},
      {P, "curveOnSteering=5\r\n", "curveOnSteering=5"}, {P, "profile=Other\r\n", "profile=Default"},
      {P, "smoothing=" + std::string(62, '0') + "7", "smoothing=7"},  // values up to 63
      {P, "smoothing=" + std::string(63, '0') + "7", "smoothing=2"},
      {S, "autoProfile=0\r\n", "autoProfile=0"}, {P, "autoProfile=0\r\n", "autoProfile=1"}, {S, "game=a.exe", "profile=Default"},
      {S, "padAntiDeadzone=25\r\noutputDevice=1\r\n", "outputDevice=1\r\npadAntiDeadzone=25"}, {P, "outputDevice=1\r\n", "outputDevice=0"},
      {P, "game= My Game.exe;b.exe \r\n", "game= My Game.exe;b.exe "}, {P, "game=" + std::string(127, 'g'), "game=" + std::string(127, 'g')},
      {P, "game=a.exe\r\ngame=" + std::string(128, 'g'), "game=a.exe"}, {P, "game=\r\n", "curveOnSteering=0"},
      {S, "scrollThrottle=10\r\nautoCenterDelay=450\r\n", "autoCenterDelay=450\r\nscrollThrottle=10"},
      {P, "autoCenterDelay=1500 ms\r\nscrollThrottle=5\r\n", "autoCenterDelay=1500\r\nscrollThrottle=0"},  // not in profiles
      {S, "steeringMouse=" + std::string(241, 'm'), "steeringMouse=" + std::string(241, 'm')},  // to the piece's end
      {S, "steeringMouse=" + std::string(242, 'm') + "\r\nsensitivity=50", "sensitivity=50.0"},
  };
  for (const auto& r : rows) {
    ResetToDefaults();
    steeringState.profileModified = 1;
    FILE* file = std::tmpfile();
    std::fputs(r.input.c_str(), file), std::rewind(file), r.reader(file), std::fclose(file);
    const std::string written = "\n" + Formatted(FormatSettingsText) + Formatted(FormatProfileText);
    EXPECT_NE(written.find("\n" + r.line + "\r\n"), std::string::npos) << r.input << "\n" << written;
    EXPECT_EQ(steeringState.profileModified, r.reader == S ? 0 : 1);
    EXPECT_EQ(written.find("game=") != std::string::npos, r.line.rfind("game=", 0) == 0) << "only when set";
  }
}

TEST(ProfileNames, RefusedAcceptedAndListed) {
  const std::string refused[] = {"", ".", "..", "a/b", "../settings", "a\\b", "C:x", "tab\there", "\x1f", "<", ">", "\"",
                                 "|", "?", "a*b", "CON", "con", "Con.txt", "CON.", "con  .txt", "PRN", "aux", "NUL",
                                 "nul.tar.gz", "COM1", "com9", "lpt9.txt", "COM\xc2\xb9", "lpt\xc2\xb3.x", "CONIN$", "conout$",
                                 std::string(128, 'n'), "caf\xe9", "\xc3", "\xc0\xaf", "\xe0\x9f\xbf", "\xed\xa0\x80",
                                 "\xf4\x90\x80\x80", "\x80" "a", "\xf0\x9f\x98"};
  for (const std::string& name : refused) EXPECT_EQ(IsValidProfileName(name.c_str()), 0) << name;
  const std::string accepted[] = {"Default", "My Car", "a.b", ".hidden", "...", "x.", " x", "COM10", "COM0", "LPT",
                                  "CONSOLE", "NULL", "aux1", "Caf\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac", "\xf0\x9f\x98\x80",
                                  "COM\xc2\xb4", "\xed\x9f\xbf", "100%", "[1]", std::string(127, 'n')};
  for (const std::string& name : accepted) EXPECT_EQ(IsValidProfileName(name.c_str()), 1) << name;

  // Listed file names: "*.txt" in any case, the extension cut, up to 127 characters and 32 entries.
  ClearProfileList();
  const std::string files[] = {"a.b.txt", ".txt", "Up.TXT", "n.md", "a.txtx", "F.txt.tmp", "txt",
                               std::string(127, 'n') + ".txt", std::string(128, 'o') + ".txt"};
  for (const std::string& file : files) AddListedProfile(file.c_str());
  std::string names;
  for (int i = 0; i < profileCount; ++i) names += profileNames[i] + std::string("|");
  EXPECT_EQ(names, "a.b||Up|" + std::string(127, 'n') + "|");
  for (int i = 4; i < 40; ++i) EXPECT_EQ(AddListedProfile("x.txt"), i >= 31) << i;
  EXPECT_EQ(profileCount, 32);
}

TEST(GameProfiles, NamesMatchIgnoringCaseAndMustBePlainFileNames) {
  const struct { const char* list; const char* exe; int holds, valid; } rows[] = {
      {"acc.exe;acs.exe", "ACS.EXE", 1, 1}, {" My Game.exe ;\tb.exe", "my game.exe", 1, 1}, {"acc.exe", "acc", 0, 1},
      {"acc", "acc.exe", 0, 1}, {";;", "", 0, 1}, {"", "a.exe", 0, 1}, {"Caf\xc3\xa9.exe", "CAF\xc3\xa9.exe", 1, 1},
      {"a.exe;..", "a.exe", 1, 0}, {"C:\\games\\a.exe", "a.exe", 0, 0}, {"x/a.exe", "a.exe", 0, 0},
      {"a\x01.exe", "a\x01.exe", 1, 0}, {"con", "con", 1, 0}, {"caf\xe9.exe", "caf\xe9.exe", 1, 0}};
  for (const auto& r : rows) {
    EXPECT_EQ(GameListHolds(r.list, r.exe), r.holds) << r.list << " " << r.exe;
    EXPECT_EQ(IsValidGameList(r.list), r.valid) << r.list;
  }
}

// The switch through real profile files: which profile is in force, and which one the settings file names.
TEST(GameProfiles, SwitchRestoreWaitAndTheUsersOwnChoice) {
  char pattern[] = "/tmp/tarvix-host-XXXXXX";
  const fs::path data = mkdtemp(pattern);
  fs::create_directories(data / "Profiles");
  SetDataFolder(data.c_str());
  for (auto [name, lines] : {std::pair{"Default", ""}, {"Mine", "sensitivity=30"}, {"Notes", "game=a.exe; NOTEPAD.EXE"},
                             {"Rally", "sensitivity=60\ngame=rally.exe;dirt.exe"}})
    std::ofstream(data / "Profiles" / (std::string(name) + ".txt")) << lines;
  ResetToDefaults();
  ScanProfiles();
  LoadUserProfile("Mine");
  tuningSettings.sensitivity = 33;  // kept only in the settings file, as after a start: back from a game, it is still 33
  const struct { char op; const char* exe; const char* profile; int active, waiting; const char* saved; } steps[] = {
      {'n', "explorer.exe", "Mine", 0, 0, "Mine"}, {'n', "notepad.exe", "Notes", 1, 0, "Mine"},
      {'n', "Explorer.EXE", "Notes", 1, 0, "Mine"},  // the shell is no change of game
      {'n', "dirt.exe", "Rally", 1, 0, "Mine"}, {'n', "", "Mine", 0, 0, "Mine"},  // an image that cannot be read
      {'n', "Notepad.exe", "Notes", 1, 0, "Mine"}, {'f', "Notepad.exe", "Notes", 1, 0, "Mine"},  // a save by hand failed
      {'m', "other.exe", "Notes", 1, 1, "Mine"},  // unsaved changes wait
      {'n', "other.exe", "Mine", 0, 0, "Mine"}, {'n', "notepad.exe", "Notes", 1, 0, "Mine"},
      {'d', "x.exe", "Default", 0, 0, "Default"},  // the user's own profile deleted
      {'n', "notepad.exe", "Notes", 1, 0, "Default"}, {'u', "rally.exe", "Rally", 0, 0, "Rally"},  // loaded by hand
      {'n', "x.exe", "Rally", 0, 0, "Rally"}, {'o', "notepad.exe", "Rally", 0, 0, "Rally"},  // the option off
      {'n', "a.exe", "Notes", 1, 0, "Rally"}, {'x', "", "Notes", 1, 0, "Rally"}};  // no profile to go back to
  for (const auto& s : steps) {
    if (s.op == 'd') DeleteProfile("Mine");
    if (s.op == 'x') DeleteProfile("Rally"), DeleteProfile("Default");
    if (s.op == 'u') LoadUserProfile("Rally");
    if (s.op == 'f') fileSeamFaults.denyWrites = 1, SaveUserProfile("Mine", ""), SettleFileWrites(), fileSeamFaults.denyWrites = 0;
    tuningSettings.autoProfile = s.op != 'o';
    steeringState.profileModified = s.op == 'm';
    NoteForegroundProgram(s.exe);
    RunAutoProfile();
    if (s.op == 'm') RunAutoProfile();  // and on the next pass
    SettleFileWrites();
    EXPECT_EQ(tuningSettings.profile + std::to_string(autoProfileState.active) + std::to_string(autoProfileState.waiting),
              s.profile + std::to_string(s.active) + std::to_string(s.waiting)) << s.exe;
    EXPECT_TRUE(std::string(tuningSettings.profile) != "Mine" || tuningSettings.sensitivity == 33.0f) << s.exe;
    EXPECT_NE(Bytes((data / "settings.txt").string()).find(std::string("profile=") + s.saved + "\r\n"), std::string::npos) << s.exe;
  }
  EXPECT_STREQ(lastGameProgram, "a.exe");  // not the image that could not be read
  fs::remove_all(data);
}

// The store in a data folder of the test's own.
TEST(Store, SaveLoadDeleteAndFailedWrites) {
  char pattern[] = "/tmp/tarvix-host-XXXXXX";
  const fs::path data = fs::path(mkdtemp(pattern)) / "Tarvix";
  const std::string settingsFile = (data / "settings.txt").string();
  auto profileFile = [&](const char* name) { return (data / "Profiles" / name).string() + ".txt"; };
  fs::create_directories(data / "Profiles");
  SetDataFolder(data.c_str());
  ResetToDefaults();
  steeringState.profileModified = 1;
  SaveUserProfile("../Escaped", "");  // refused: nothing is written
  EXPECT_STREQ(StatusNoticeText(NOTICE_FILE), "Profile not saved: the name is not a plain file name");
  SaveUserProfile("Default", ""), SettleFileWrites();  // as on a first start
  EXPECT_EQ(Bytes(profileFile("Default")) + Bytes(settingsFile), PROFILE + SETTINGS);
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(data), {}), 3) << "no .tmp left, nothing escaped";
  EXPECT_EQ(steeringState.profileModified, 0);

  std::ofstream(profileFile("My Car")) << "sensitivity=80.0\n";
  steeringState.profileModified = 1;
  LoadUserProfile("Nowhere");  // no file: nothing changes
  EXPECT_EQ(steeringState.profileModified + tuningSettings.curveOnSteering, 2);
  LoadUserProfile("My Car");
  SaveUserProfile(tuningSettings.profile, ""), SettleFileWrites();  // the active profile under its own name
  EXPECT_EQ(steeringState.profileModified, 0);
  ResetToDefaults();
  LoadSettings();
  EXPECT_EQ(tuningSettings.sensitivity, 80.0f);
  EXPECT_STREQ(tuningSettings.profile, "My Car");

  // A delete removes only the file, rescans, keeps the active name and saves nothing.
  SaveUserProfile("Other", ""), SettleFileWrites();
  const std::string settings = Bytes(settingsFile);
  fs::create_directories(data / "Profiles" / "dir.txt");
  DeleteProfile("dir"), DeleteProfile("Other");
  EXPECT_EQ(profileCount, 2);
  EXPECT_TRUE(fs::is_directory(data / "Profiles" / "dir.txt"));
  EXPECT_STREQ(tuningSettings.profile, "Other");
  EXPECT_EQ(Bytes(settingsFile), settings);

  // A write that breaks off or finds no room for its temporary file leaves the old file, the active profile and
  // the list, and says so; as does one refused (controlled folder access).
  rlimit saved{}, cut{};
  getrlimit(RLIMIT_FSIZE, &saved);
  cut = saved, cut.rlim_cur = 40;
  std::signal(SIGXFSZ, SIG_IGN);
  for (int c = 0; c < 6; ++c) {
    ResetToDefaults();
    SaveUserProfile("Fast", ""), SettleFileWrites();
    const std::string path = c & 1 ? profileFile("Fast") : settingsFile, before = Bytes(path);
    tuningSettings.sensitivity = 99, steeringState.profileModified = 1, std::strcpy(tuningSettings.profile, "Mine");
    ASSERT_EQ(c & 4 ? !(fileSeamFaults.denyWrites = 1) : c & 2 ? setrlimit(RLIMIT_FSIZE, &cut) : !fs::create_directory(path + ".tmp"), 0);
    c & 1 ? SaveUserProfile("Fast", "fast.exe") : SaveSettings();
    SettleFileWrites(), setrlimit(RLIMIT_FSIZE, &saved), fileSeamFaults.denyWrites = 0;
    EXPECT_EQ(Bytes(path), before) << c;
    EXPECT_FALSE(fs::is_regular_file(path + ".tmp")) << c;
    EXPECT_EQ(tuningSettings.profile + std::to_string(steeringState.profileModified) + tuningSettings.game, "Mine1") << c;
    EXPECT_STREQ(StatusNoticeText(NOTICE_FILE), c & 4 ? "Documents blocked: allow Tarvix in Windows Security"
                 : c & 1 ? "Profile not saved: the file cannot be written" : "Settings not saved: the file cannot be written");
    fs::remove_all(path + ".tmp");
    c & 1 ? SaveUserProfile("Fast", "fast.exe") : SaveSettings();
    SettleFileWrites();
    EXPECT_EQ(Bytes(path).substr(0, 18), "sensitivity=99.0\r\n") << c;
    EXPECT_STREQ(StatusNoticeText(NOTICE_FILE), "") << c;
  }
  fs::remove_all(data.parent_path());
  // Documents refusing the data folder (controlled folder access) is named on the status line.
  const std::string home = std::getenv("HOME");
  fileSeamFaults.denyWrites = 1, setenv("HOME", "/tmp", 1), CreateDataFolders();
  fileSeamFaults.denyWrites = 0, setenv("HOME", home.c_str(), 1);
  EXPECT_STREQ(StatusNoticeText(NOTICE_FILE), "Documents blocked: allow Tarvix in Windows Security");
  SetStatusNotice(NOTICE_FILE, nullptr);
  // A folder whose settings file, with its ".tmp" sibling, would not fit: no paths, nothing written anywhere.
  for (auto [length, fits] : {std::pair{494, 1}, {495, 0}}) {
    SetDataFolder(std::string(length, 'd').c_str());
    EXPECT_EQ(settingsFilePath[0] && profileFolderPath[0], fits) << length;
  }
}

// A value changing in pass after pass (a slider drag) is written at most every 250 ms, and once more after it stops.
TEST(Store, ChangesKeptComingAreSavedAtMostEveryQuarterSecond) {
  char pattern[] = "/tmp/tarvix-host-XXXXXX";
  const std::string folder = mkdtemp(pattern), file = folder + "/settings.txt";
  SetDataFolder(folder.c_str());
  ResetToDefaults();
  const struct { uint32_t ms; float set; float saved; } passes[] = {  // set 0: no change in that pass
      {1000, 10, 10}, {1100, 11, 10}, {1249, 12, 10}, {1250, 13, 13}, {1300, 0, 13}, {1400, 14, 13},
      {1499, 0, 13}, {1500, 0, 14}, {2000, 0, 14}, {2010, 15, 15}, {2100, 16, 15}, {2259, 0, 15}, {2260, 0, 16},
      {0xFFFFFF00u, 17, 17}, {0x40, 18, 18}, {0x41, 19, 18}};  // across the clock's wrap
  for (const auto& p : passes) {
    if (p.set) tuningSettings.sensitivity = p.set, RequestSettingsSave();
    RunSettingsSave(p.ms), SettleFileWrites();
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "sensitivity=" + std::to_string(int(p.saved)) + ".0\r") << p.ms;
  }
  EXPECT_STREQ(StatusNoticeText(NOTICE_FILE), "");
  fs::remove_all(folder);
}

}  // namespace
