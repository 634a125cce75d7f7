// The vJoy link against the stand-in library in each of its behaviours, and the
// output tick through it. The stand-in's log is the record of what reached
// "the driver".

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/output_tick.h"
#include "engine/tuning.h"
#include "tests/support/standin_log_win32.h"
#include "tests/support/system_fake.h"
#include "vjoy/vjoy_link.h"

using Calls = std::vector<std::string>;

namespace {

const Calls BIND_CALLS_FREE = {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-",
                               "AcquireVJD(1)=1", "ResetVJD(1)=1"};

class VJoyLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StandinUnloadLink();
    ASSERT_EQ(GetModuleHandleA("vJoyInterface.dll"), nullptr) << "a stand-in is still loaded";
    StandinUseFolder(nullptr);
    StandinSetMode(nullptr);
    ASSERT_FALSE(StandinStartLog().empty());
  }
  void TearDown() override {
    StandinUnloadLink();
    StandinUseFolder(nullptr);
    StandinSetMode(nullptr);
    StandinClearLog();
    FakeSystemReset();
  }
  static Calls Logged() { return StandinCallTexts(StandinReadLog()); }
};

bool SamePath(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

}  // namespace

TEST_F(VJoyLinkTest, NoLibraryAnywhereFailsAndTouchesNothing) {
  // A fresh Wine prefix has vJoy in none of the fixed places.
  for (const char* path :
       {"C:\\Windows\\System32\\vJoyInterface.dll", "C:\\Windows\\SysWOW64\\vJoyInterface.dll",
        "C:\\Program Files\\vJoy\\x64\\vJoyInterface.dll"})
    ASSERT_EQ(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES) << path;

  EXPECT_EQ(VJoyBind(), 0);
  EXPECT_EQ(virtualJoystickLink.library, nullptr);
  EXPECT_EQ(virtualJoystickLink.vjoyAcquired, 0);
  // Sending and releasing without a library are silent no-ops.
  VJoySetAxis(VJOY_AXIS_X, 100);
  VJoySetButton(7, 1);
  VJoyRelease();
  EXPECT_EQ(GetModuleHandleA("vJoyInterface.dll"), nullptr);
  EXPECT_EQ(Logged(), Calls{});
}

// The library is found in vJoy's install folders when the search order has none,
// and the search order wins over them when both have one.
TEST_F(VJoyLinkTest, FindsTheLibraryInItsInstallFoldersAfterTheSearchOrder) {
  struct Case {
    const char* installFolder;
    bool alsoOnSearchPath;
  };
  const Case cases[] = {
      {"C:\\Windows\\SysWOW64", false},
      {"C:\\Program Files\\vJoy\\x64", false},
      {"C:\\Program Files\\vJoy\\x64", true},
  };
  const std::string standin = StandinFolder("standin") + "\\vJoyInterface.dll";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.installFolder) + (c.alsoOnSearchPath ? " + search path" : ""));
    // Make the folder chain as needed and remember what to remove afterwards.
    std::vector<std::string> made;
    std::string folder;
    for (const char* p = c.installFolder; *p; ++p) {
      if (*p == '\\' && folder.size() > 2 && CreateDirectoryA(folder.c_str(), nullptr))
        made.push_back(folder);
      folder += *p;
    }
    if (CreateDirectoryA(folder.c_str(), nullptr)) made.push_back(folder);
    const std::string installed = folder + "\\vJoyInterface.dll";
    ASSERT_TRUE(CopyFileA(standin.c_str(), installed.c_str(), TRUE)) << installed;
    StandinUseFolder(c.alsoOnSearchPath ? "standin" : nullptr);
    StandinClearLog();

    EXPECT_EQ(VJoyBind(), 1);
    EXPECT_TRUE(SamePath(StandinLinkLibraryPath(), c.alsoOnSearchPath ? standin : installed))
        << StandinLinkLibraryPath();
    EXPECT_EQ(Logged(), BIND_CALLS_FREE);

    VJoyRelease();
    StandinUnloadLink();
    StandinUseFolder(nullptr);
    EXPECT_TRUE(DeleteFileA(installed.c_str()));
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryA(it->c_str());
  }
}

// Each behaviour of the driver: what binding calls, what it returns, whether
// sending then reaches the device, and that releasing twice releases once.
TEST_F(VJoyLinkTest, BindsSendsAndReleasesAsTheDriverAllows) {
  struct Case {
    const char* mode;
    int bound;
    Calls bindCalls;
  };
  const Case cases[] = {
      {"free", 1, BIND_CALLS_FREE},
      // Left owned by an earlier run: taken afresh.
      {"owned",
       1,
       {"vJoyEnabled()=1", "GetVJDStatus(1)=0", "RelinquishVJD(1)=-", "AcquireVJD(1)=1",
        "ResetVJD(1)=1"}},
      {"disabled", 0, {"vJoyEnabled()=0"}},
      // Another feeder's device, or none at all: never relinquished nor acquired.
      {"busy", 0, {"vJoyEnabled()=1", "GetVJDStatus(1)=2"}},
      {"missing", 0, {"vJoyEnabled()=1", "GetVJDStatus(1)=3"}},
      {"refuse",
       0,
       {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-", "AcquireVJD(1)=0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    StandinUnloadLink();
    StandinUseFolder("standin");
    StandinSetMode(c.mode);
    StandinClearLog();

    EXPECT_EQ(VJoyBind(), c.bound);
    EXPECT_EQ(virtualJoystickLink.vjoyAcquired, c.bound);
    EXPECT_NE(virtualJoystickLink.library, nullptr);
    const std::vector<StandinCall> calls = StandinReadLog();
    EXPECT_EQ(StandinCallTexts(calls), c.bindCalls);
    // The driver wants 100 ms between relinquish and acquire; never an upper
    // bound (the machine may be busy), and timers may round a little.
    if (calls.size() >= 4 && calls[2].call == "RelinquishVJD(1)") {
      EXPECT_GE(StandinSecondsBetween(calls[2], calls[3]), 0.095);
    }

    StandinClearLog();
    VJoySetAxis(VJOY_AXIS_X, 16384);
    VJoySetButton(7, 1);
    VJoyRelease();
    VJoyRelease();
    EXPECT_EQ(virtualJoystickLink.vjoyAcquired, 0);
    // After the release nothing is sent any more.
    VJoySetAxis(VJOY_AXIS_Y, 1);
    VJoySetButton(8, 1);
    if (c.bound) {
      EXPECT_EQ(Logged(), (Calls{"SetAxis(16384,1,48)=1", "SetBtn(1,1,7)=1", "ResetVJD(1)=1",
                                 "RelinquishVJD(1)=-"}));
    } else {
      EXPECT_EQ(Logged(), Calls{});
    }
  }
}

// A library lacking any one entry point is refused before anything is called,
// and the link never calls through the gap afterwards.
TEST_F(VJoyLinkTest, LibraryMissingAnEntryPointIsRefusedUntouched) {
  for (const char* entry : {"vJoyEnabled", "AcquireVJD", "RelinquishVJD", "GetVJDStatus", "SetAxis",
                            "SetBtn", "ResetVJD"}) {
    SCOPED_TRACE(entry);
    const std::string folder = std::string("standin-without-") + entry;
    StandinUnloadLink();
    StandinUseFolder(folder.c_str());
    StandinClearLog();

    EXPECT_EQ(VJoyBind(), 0);
    // The partial build is what was loaded, and it does lack the entry point.
    EXPECT_TRUE(
        SamePath(StandinLinkLibraryPath(), StandinFolder(folder.c_str()) + "\\vJoyInterface.dll"))
        << StandinLinkLibraryPath();
    HMODULE library = static_cast<HMODULE>(virtualJoystickLink.library);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(GetProcAddress(library, entry), nullptr);
    EXPECT_EQ(virtualJoystickLink.vjoyAcquired, 0);

    VJoySetAxis(VJOY_AXIS_X, 1);
    VJoySetButton(7, 1);
    VJoyRelease();
    EXPECT_EQ(Logged(), Calls{});
  }
}

// One output tick through the real link: X, Y, Z truncated toward zero, then
// button 7 (left) and button 8 (right), all on device 1, and nothing else. (The
// tick's rules themselves are tested on the host.)
TEST_F(VJoyLinkTest, OutputTickSendsTheAxesTruncatedThenBothButtons) {
  StandinUseFolder("standin");
  ASSERT_EQ(VJoyBind(), 1);
  ResetToDefaults();
  tuningSettings.autoCenterForce = 0.0f;  // the wheel is sent where it was put
  steeringState.steering = 16383.9f;
  steeringState.throttle = 16383.5f;
  steeringState.brake = 6553.4f;
  fakeSystem.overrideButtons = 1;
  fakeSystem.leftDown = 1;
  StandinClearLog();
  OutputTick();
  EXPECT_EQ(Logged(), (Calls{"SetAxis(16383,1,48)=1", "SetAxis(16383,1,49)=1", "SetAxis(6553,1,50)=1",
                             "SetBtn(1,1,7)=1", "SetBtn(0,1,8)=1"}));
}
