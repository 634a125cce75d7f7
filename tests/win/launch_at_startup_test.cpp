// The Run key entry in Wine's registry (a fresh prefix per test run): written
// quoted, queried, deleted; and written by a copy of the helper program that
// sits in a folder with blanks.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "storage/launch_at_startup.h"
#include "tests/support/input_pump_win32.h"

namespace {

const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RunValue {
  LONG result;  // of the query
  DWORD type;
  std::string data;  // as stored, up to the first NUL
  DWORD size;        // bytes stored, the NUL included
};

RunValue ReadRunValue(const char* name) {
  RunValue value{};
  HKEY key;
  value.result = RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_QUERY_VALUE, &key);
  if (value.result != ERROR_SUCCESS) return value;
  char data[2048] = {};
  value.size = sizeof data - 1;
  value.result = RegQueryValueExA(key, name, nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(data), &value.size);
  RegCloseKey(key);
  if (value.result == ERROR_SUCCESS) value.data = data;
  return value;
}

void WriteRunValue(const char* name, DWORD type, const void* data, DWORD size) {
  EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, RUN_KEY, name, type, data, size), ERROR_SUCCESS);
}

void DeleteRunValue(const char* name) { RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, name); }

std::string ModulePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

class LaunchAtStartupTest : public testing::Test {
 protected:
  void SetUp() override { DeleteRunValue("Tarvix"); }
  void TearDown() override { DeleteRunValue("Tarvix"); }
};

TEST_F(LaunchAtStartupTest, EnableWritesTheQuotedPathAndDisableDeletesOnlyIt) {
  const char other[] = "C:\\other.exe";
  WriteRunValue("TarvixNeighbour", REG_SZ, other, sizeof other);
  SetLaunchAtStartup(0);  // no value yet: nothing to do
  EXPECT_EQ(IsLaunchAtStartupSet(), 0);

  for (int round = 0; round < 2; ++round) {  // enabling twice writes the same
    SetLaunchAtStartup(1);
    RunValue value = ReadRunValue("Tarvix");
    ASSERT_EQ(value.result, ERROR_SUCCESS) << "round " << round;
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, Quoted(ModulePath()));
    EXPECT_EQ(value.size, value.data.size() + 1);  // the NUL is stored
    EXPECT_EQ(IsLaunchAtStartupSet(), 1);
  }

  SetLaunchAtStartup(0);
  EXPECT_EQ(ReadRunValue("Tarvix").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(IsLaunchAtStartupSet(), 0);
  EXPECT_EQ(ReadRunValue("TarvixNeighbour").data, other);
  DeleteRunValue("TarvixNeighbour");
}

TEST_F(LaunchAtStartupTest, AnyHandMadeValueCountsAsSet) {
  const std::string texts[] = {
      "C:\\Program Files\\Tarvix\\tarvix.exe",  // unquoted, blanks and all
      "hello",
      "",
      std::string(700, 'x'),  // more than the query's 512 bytes
  };
  for (const std::string& text : texts) {
    WriteRunValue("Tarvix", REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    EXPECT_EQ(IsLaunchAtStartupSet(), 1) << "text \"" << text << "\"";
    DeleteRunValue("Tarvix");
    EXPECT_EQ(IsLaunchAtStartupSet(), 0);
  }
  const DWORD number = 7;
  WriteRunValue("Tarvix", REG_DWORD, &number, sizeof number);
  EXPECT_EQ(IsLaunchAtStartupSet(), 1) << "a number";
}

// Copies the helper program to folder\name, lets that copy enable the entry,
// and returns the module path it saw for itself ("" when it could not run).
std::string EnableFromCopyAt(const std::string& folder, const std::string& name) {
  char helper[MAX_PATH];
  InputHelperPath(helper);
  std::string copy = folder + "\\" + name;
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::string out = std::string(temp) + "tarvix-launch-path.txt";
  std::string seen;
  if (CopyFileA(helper, copy.c_str(), FALSE)) {
    std::string arguments = "launch 1 \"" + out + "\"";
    if (RunProgramPumping(copy.c_str(), arguments.c_str()) == 0) {
      if (FILE* in = std::fopen(out.c_str(), "rb")) {
        char path[1024] = {};
        size_t length = std::fread(path, 1, sizeof path - 1, in);
        std::fclose(in);
        seen.assign(path, length);
      }
    }
    DeleteFileA(copy.c_str());
  }
  DeleteFileA(out.c_str());
  return seen;
}

TEST_F(LaunchAtStartupTest, PathWithBlanksIsStoredQuoted) {
  const std::string folder = "C:\\Program Files\\Tarvix Probe";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string seen = EnableFromCopyAt(folder, "launch probe.exe");
  RemoveDirectoryA(folder.c_str());

  ASSERT_NE(seen, "") << "the copy in a folder with blanks did not run";
  ASSERT_NE(seen.find(' '), std::string::npos);
  RunValue value = ReadRunValue("Tarvix");
  ASSERT_EQ(value.result, ERROR_SUCCESS);
  EXPECT_EQ(value.data, Quoted(seen));
}

// Wine starts no program whose path is longer than MAX_PATH, so the limit of
// the 512-byte buffer is checked on the command builder itself.
TEST(BuildLaunchCommand, QuotesThePathOnlyWhenItFitsWithItsQuotes) {
  struct Case {
    size_t length;  // of the path
    uint32_t size;  // answered: quotes and NUL included, 0 when it does not fit
  };
  const Case cases[] = {{0, 3}, {1, 4}, {300, 303}, {509, 512}, {510, 0}, {511, 0}, {700, 0}};
  for (const Case& c : cases) {
    std::string path = "C:\\A B\\" + std::string(c.length, 'p');
    path.resize(c.length);
    char command[LAUNCH_COMMAND_SIZE];
    std::memset(command, '#', sizeof command);
    EXPECT_EQ(BuildLaunchCommand(path.c_str(), command), c.size) << "length " << c.length;
    if (c.size != 0) {
      EXPECT_EQ(std::string(command, c.size), Quoted(path) + '\0') << "length " << c.length;
    } else {
      EXPECT_EQ(command[0], '#') << "length " << c.length << ": nothing written";
    }
  }
}

}  // namespace
