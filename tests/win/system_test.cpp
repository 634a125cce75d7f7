// What only Windows shows, under Wine: the vJoy link against the stand-in; raw input, hotkeys and the mouse
// lock fed by tarvix_input_helper from another process, as a real mouse and keyboard; the Run value; the files.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <process.h>
#include <set>
#include <sstream>

#include "engine/output_link.h"
#include "engine/output_tick.h"
#include "engine/status_notice.h"
#include "engine/steering.h"
#include "engine/tuning.h"
#include "input/mouse_motion.h"
#include "input/hotkeys.h"
#include "input/mouse_lock.h"
#include "input/raw_input.h"
#include "storage/file_replace.h"
#include "storage/file_writer.h"
#include "storage/launch_at_startup.h"
#include "storage/profile_store.h"
#include "storage/saving.h"
#include "storage/settings_file.h"
#include "tests/support/standin_log_win32.h"
#include "tests/support/system_fake.h"
#include "vjoy/vjoy_link.h"

namespace {

std::string Beside(const std::string& name) {
  char path[MAX_PATH];
  std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return self.substr(0, self.rfind('\\') + 1) + name;
}

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Hooks, raw input and hotkeys are served only while this thread takes its messages.
void (*observe)(const MSG& message);
bool PumpUntil(bool (*done)(), DWORD timeoutMs = 5000) {
  for (DWORD start = GetTickCount();; MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&m))
      if (observe) observe(m);
    if (done() || GetTickCount() - start >= timeoutMs) return done();
  }
}

HANDLE running;
int RunPumping(const std::string& program, const std::string& arguments) {  // the exit code
  running = reinterpret_cast<HANDLE>(
      _spawnl(_P_NOWAIT, program.c_str(), ("\"" + program + "\"").c_str(), arguments.c_str(), nullptr));
  if (running == INVALID_HANDLE_VALUE) return -1;
  PumpUntil([] { return WaitForSingleObject(running, 0) == WAIT_OBJECT_0; }, 20000);
  PumpUntil([] { return true; });
  DWORD code = 1;
  GetExitCodeProcess(running, &code);  // STILL_ACTIVE when it hung
  return CloseHandle(running), static_cast<int>(code);
}

int Inject(const std::string& arguments) { return RunPumping(Beside("tarvix_input_helper.exe"), arguments); }

TEST(VJoyLink, BindsOnlyAWholeLibraryAndADeviceFreeOrItsOwnAndSendsOnlyWhileBound) {
  ResetToDefaults(); tuningSettings.autoCenterForce = 0.0f;
  steeringState.steering = 20000.9f; steeringState.throttle = 16383.5f; steeringState.brake = 6553.4f;
  fakeSystem = FakeSystem{1, 1, 0, 0, 0};  // left button down, right up
  struct Case { std::string folder; const char* mode; std::vector<std::string> bind; };
  std::vector<Case> cases = {
      {"standin", "free", {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-", "AcquireVJD(1)=1", "ResetVJD(1)=1"}},
      {"standin", "owned", {"vJoyEnabled()=1", "GetVJDStatus(1)=0", "RelinquishVJD(1)=-", "AcquireVJD(1)=1", "ResetVJD(1)=1"}},
      {"standin", "disabled", {"vJoyEnabled()=0"}},
      {"standin", "busy", {"vJoyEnabled()=1", "GetVJDStatus(1)=2"}},
      {"standin", "refuse", {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-", "AcquireVJD(1)=0"}},
      {"standin-without-UpdateVJD", "free", {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-", "AcquireVJD(1)=1", "ResetVJD(1)=1"}},
      {"standin-2.2", "free", {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-", "AcquireVJD(1)=1", "ResetVJD(1)=1"}},
      {"", "free", {}}};  // no library anywhere
  for (const char* entry : {"vJoyEnabled", "AcquireVJD", "RelinquishVJD", "GetVJDStatus", "SetAxis", "SetBtn", "ResetVJD"})
    cases.push_back({std::string("standin-without-") + entry, "free", {}});
  StandinTakeLog();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + " " + c.mode);
    // The link never lets its library go; the test does, so each case loads it afresh.
    for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}
    virtualJoystickLink = VirtualJoystickLink{};
    // The link searches only the exe's folder, System32 and folders added like this one.
    const std::string folder = Beside(c.folder);
    const DLL_DIRECTORY_COOKIE added = c.folder.empty() ? nullptr : AddDllDirectory(std::wstring(folder.begin(), folder.end()).c_str());
    SetEnvironmentVariableA("TARVIX_STANDIN_MODE", c.mode);
    const int bound = c.bind.size() == 5; EXPECT_EQ(OutputStart(), bound);
    EXPECT_EQ(virtualJoystickLink.library != nullptr, !c.folder.empty());
    std::vector<double> at; EXPECT_EQ(StandinTakeLog(&at), c.bind);
    EXPECT_GE(c.bind.size() > 3 ? at.at(3) - at.at(2) : 1.0, 0.095) << "from relinquish to acquire";
    fakeSystem.leftDown = 1, fakeSystem.rightDown = 0, OutputTick();
    fakeSystem.leftDown = 0, fakeSystem.rightDown = 1, PublishIfChanged();  // the buttons alone changed
    OutputRelease(); OutputRelease(); OutputTick();
    // One call with the whole record: every other axis centred, hats neutral; else five calls.
    std::vector<std::string> sent;
    for (auto [left, right] : {std::pair{1, 0}, {0, 1}}) {
      const std::string l = std::to_string(left), r = std::to_string(right), centred = ",16384,16384,16384";
      if (c.folder == "standin-without-UpdateVJD") {
        for (const char* axis : {"SetAxis(20000,1,48)=1", "SetAxis(16383,1,49)=1", "SetAxis(6553,1,50)=1"}) sent.push_back(axis);
        sent.insert(sent.end(), {"SetBtn(" + l + ",1,7)=1", "SetBtn(" + r + ",1,8)=1"});
      } else {
        // vJoy 2.2 reads four more axes, the tail of its larger record: centred too.
        sent.push_back("UpdateVJD(1,1" + centred + ",20000,16383,6553" + centred + centred + centred + centred + "," +
                       std::to_string(left << 6 | right << 7) + ",-1,-1,-1,-1,0,0,0" +
                       (c.folder == "standin-2.2" ? ",16384,16384,16384,16384" : "") + ")=1");
      }
    }
    sent.insert(sent.end(), {"ResetVJD(1)=1", "RelinquishVJD(1)=-"});
    EXPECT_EQ(StandinTakeLog(), bound ? sent : decltype(sent){});
    if (added) RemoveDllDirectory(added);
  }
  FakeSystemReset();
}

// With no copy in the search order, the library comes from the folder vJoy's installer recorded, else from
// vJoy's folder under Program Files wherever that is. Both registry values are restored.
TEST(VJoyLink, FindsTheLibraryWhereTheInstallerAndTheSystemSayItIs) {
  const char* uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8E31F76F-74C3-47F1-9550-E041EEDC5FBB}_is1";
  const char* current = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  char programFiles[MAX_PATH] = ""; DWORD size = sizeof programFiles;
  ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, current, "ProgramFilesDir", RRF_RT_REG_SZ, nullptr, programFiles, &size), 0);
  auto set = [](const char* key, const char* name, const std::string& value) {
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, name, REG_SZ, value.c_str(), DWORD(value.size() + 1)) == 0;
  };
  for (const bool recorded : {true, false}) {
    const std::string root = recorded ? "C:\\vJoy Elsewhere" : "C:\\Programs Elsewhere";
    SCOPED_TRACE(root);
    const std::string folder = root + (recorded ? "\\x64" : "\\vJoy\\x64");
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(CopyFileA((Beside("standin") + "\\vJoyInterface.dll").c_str(), (folder + "\\vJoyInterface.dll").c_str(), FALSE));
    ASSERT_TRUE(recorded ? set(uninstall, "DllX64Location", folder + "\\") : set(current, "ProgramFilesDir", root));
    for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}  // an earlier case's
    virtualJoystickLink = VirtualJoystickLink{}; SetEnvironmentVariableA("TARVIX_STANDIN_MODE", "free");
    EXPECT_EQ(VJoyBind(), 1);
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA(static_cast<HMODULE>(virtualJoystickLink.library), loaded, MAX_PATH);
    EXPECT_STRCASEEQ(loaded, (folder + "\\vJoyInterface.dll").c_str());
    VJoyRelease(); StandinTakeLog();
    for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, uninstall), set(current, "ProgramFilesDir", programFiles);
    std::filesystem::remove_all(root);
  }
}

// The optional queries as the libraries export them: the busy device's owner by name, the versions, the axes
// and buttons of device 1.
TEST(VJoyLink, NamesTheOwnerAndWhatTheDeviceLacks) {
  const std::string self = std::to_string(GetCurrentProcessId());
  struct Case { const char* folder; std::vector<std::pair<const char*, std::string>> env; const char* said; };
  const Case cases[] = {
      {"standin", {{"TARVIX_STANDIN_MODE", "busy"}, {"TARVIX_STANDIN_OWNER", self}}, "vJoy device 1 is in use by win_system_test.exe."},
      {"standin", {{"TARVIX_STANDIN_MODE", "refuse"}, {"TARVIX_STANDIN_DRIVER", "218"}},
       "acquired.\nvJoy's driver and library versions differ (driver 218, library 219): reinstall vJoy."},
      {"standin-2.2", {{"TARVIX_STANDIN_DRIVER", "221"}}, "vJoy: driver 221, library 222 differ"},
      {"standin-2.2", {{"TARVIX_STANDIN_AXES", "XY"}, {"TARVIX_STANDIN_BUTTONS", "4"}}, "vJoy: no Z axis, 4 buttons"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}
    const std::string folder = Beside(c.folder);
    const DLL_DIRECTORY_COOKIE added = AddDllDirectory(std::wstring(folder.begin(), folder.end()).c_str());
    for (auto& [name, value] : c.env) SetEnvironmentVariableA(name, value.c_str());
    virtualJoystickLink = VirtualJoystickLink{};
    char box[768] = "";
    FormatVJoyFailure(box, VJoyBind() ? 0 : sizeof box);
    EXPECT_NE((std::string(box) + virtualJoystickLink.notice).find(c.said), std::string::npos) << box;
    VJoyRelease(), StandinTakeLog(), RemoveDllDirectory(added);
    for (auto& [name, value] : c.env) SetEnvironmentVariableA(name, nullptr);
  }
}

// A device lost under the link: the refused update lets it go, a tick a second later takes it again, and the
// wheel goes on from there.
TEST(VJoyLink, TakesALostDeviceAgainOnTheTick) {
  for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}
  const std::string folder = Beside("standin");
  const DLL_DIRECTORY_COOKIE added = AddDllDirectory(std::wstring(folder.begin(), folder.end()).c_str());
  SetEnvironmentVariableA("TARVIX_STANDIN_MODE", "free"), SetEnvironmentVariableA("TARVIX_STANDIN_LOSE_AFTER", "1");
  ResetToDefaults(); tuningSettings.autoCenterForce = 0; steeringState.steering = 20000;
  fakeSystem = FakeSystem{1, 0, 0, 1, 1000000};
  virtualJoystickLink = VirtualJoystickLink{}; ASSERT_EQ(OutputStart(), 1); StandinTakeLog();
  std::vector<std::string> seen; std::string last;
  for (uint64_t ms : {0, 16, 32, 1032, 1048}) {
    fakeSystem.clockMicros = 1000000 + ms * 1000, steeringState.steering += 100, OutputTick();
    for (const std::string& call : StandinTakeLog()) seen.push_back(call.substr(0, call.find_first_of(",)")) + call.substr(call.size() - 2)), last = call;
  }
  EXPECT_NE(last.find(",20500,"), std::string::npos) << last;
  const std::vector<std::string> expected = {"UpdateVJD(1=1", "UpdateVJD(1=0", "RelinquishVJD(1=-", "GetVJDStatus(1=1",
                                             "AcquireVJD(1=1", "ResetVJD(1=1", "UpdateVJD(1=1", "UpdateVJD(1=1"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(virtualJoystickLink.vjoyAcquired, 1);
  OutputRelease(); StandinTakeLog(); FakeSystemReset();
  SetEnvironmentVariableA("TARVIX_STANDIN_LOSE_AFTER", nullptr), RemoveDllDirectory(added);
}

// The stand-in's script through the registered callback on both libraries: a constant -5000 from 270 degrees
// (a sign the library's helpers would drop) moves X toward 0 with no mouse input; once it stops, centring takes over.
TEST(VJoyLink, GameForcesMoveAxisXAndCentringTakesOverAfter) {
  for (const char* name : {"standin", "standin-2.2"}) {
    SCOPED_TRACE(name);
    for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}
    const std::string folder = Beside(name);
    const DLL_DIRECTORY_COOKIE added = AddDllDirectory(std::wstring(folder.begin(), folder.end()).c_str());
    SetEnvironmentVariableA("TARVIX_STANDIN_MODE", "free"), SetEnvironmentVariableA("TARVIX_STANDIN_FFB", "constant");
    ResetToDefaults(); tuningSettings.gameForces = 1;
    virtualJoystickLink = VirtualJoystickLink{}; ASSERT_EQ(OutputStart(), 1); StandinTakeLog();
    EXPECT_STREQ(OutputNotice(), "");
    long lowest = 16384, highest = 16384, x = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 1200; Sleep(2)) {
      OutputTick();
      for (const std::string& call : StandinTakeLog()) {
        if (call.rfind("UpdateVJD(", 0) != 0) continue;
        size_t at = 0;
        for (int comma = 0; comma < 5; ++comma) at = call.find(',', at) + 1;
        x = std::stol(call.substr(at)), lowest = std::min(lowest, x), highest = std::max(highest, x);
      }
    }
    EXPECT_LT(lowest, 12000);
    EXPECT_EQ(highest, 16384);
    EXPECT_EQ(x, 16384);
    // A device without force feedback is named while game forces are on.
    SetEnvironmentVariableA("TARVIX_STANDIN_FFB", "off"), OutputRelease(), OutputStart();
    EXPECT_STREQ(OutputNotice(), "vJoy: force feedback not enabled on device 1");
    OutputRelease(), StandinTakeLog(), RemoveDllDirectory(added);
    SetEnvironmentVariableA("TARVIX_STANDIN_FFB", nullptr);
  }
}

HWND testWindow, rawWindow; int reports;
std::vector<std::pair<WPARAM, LPARAM>> hotkeys;

// Wine hands injected input out only while one of its windows has the focus,
// as a game's would, and accelerates injected moves unless told not to.
class Desktop : public testing::Test {
 protected:
  void SetUp() override {
    if (!testWindow) {
      int off[3] = {0, 0, 0}; SystemParametersInfoA(SPI_SETMOUSE, 0, off, 0);  // this session only
      CreateRawInputWindow(); rawWindow = static_cast<HWND>(steeringState.rawInputWindow);
      testWindow = CreateWindowExA(0, "EDIT", "", WS_VISIBLE, 100, 100, 320, 200, nullptr, nullptr, nullptr, nullptr);
    }
    SetForegroundWindow(testWindow); SetFocus(testWindow);
    ASSERT_TRUE(PumpUntil([] { return GetFocus() == testWindow; }));
    SetCursorPos(1000, 800);  // Wine reports moves twice over a window it tracks
    ResetToDefaults(); steeringState.rawInputWindow = rawWindow;
    tuningSettings.curveOnSteering = 0; tuningSettings.accelBrakeMode = 0;  // pedals follow motion
    FakeSystemReset(); fakeSystem.overrideClock = 1;
    observe = [](const MSG& m) { reports += m.message == WM_INPUT && m.hwnd == rawWindow; };
  }
};

TEST_F(Desktop, RawReportsPassOncePerEightMilliseconds) {
  EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, "TXInputWnd", nullptr), rawWindow);
  // ms on the clock; wheel and throttle in counts of motion; last row: no zero enters the wheel's average
  const struct { uint64_t ms; int dx, dy, smoothing; uint64_t gate; float wheel, throttle; } rows[] = {
      {1000, 3, -50, 0, 1000, 3, 50}, {1005, 10, 20, 0, 1000, 3, 50}, {1008, -2, 0, 0, 1008, 1, 50},
      {1015, 1, 0, 0, 1008, 1, 50},   {1100, 0, -7, 2, 1100, 1, 57}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "at " << r.ms);
    fakeSystem.clockMicros = r.ms * 1000; tuningSettings.smoothing = r.smoothing; reports = 0;
    ASSERT_EQ(Inject("move " + std::to_string(r.dx) + " " + std::to_string(r.dy)), 0);
    ASSERT_TRUE(PumpUntil([] { return reports > 0; }));
    EXPECT_EQ(steeringState.lastRawInputMicros, r.gate * 1000); EXPECT_EQ(steeringState.ringCount, 0);
    EXPECT_FLOAT_EQ(steeringState.steering, STEERING_CENTER + r.wheel * tuningSettings.sensitivity);
    EXPECT_FLOAT_EQ(steeringState.throttle, r.throttle * AXIS_MAX / 100);
  }
  // Right-click mode, button up: a report without vertical motion still lets the pedal go.
  tuningSettings.accelBrakeMode = 1, fakeSystem.overrideButtons = 1, fakeSystem.clockMicros = 1200000, reports = 0;
  ASSERT_EQ(Inject("move 1 0"), 0); ASSERT_TRUE(PumpUntil([] { return reports > 0; }));
  EXPECT_EQ(steeringState.throttle, 0.0f);
}

// The clock stands still, so the gate would pass none of these reports; direct mode takes each one, reading
// those queued behind the first in batches, and sends the record after each drain without a tick.
TEST_F(Desktop, DirectModeTakesEveryReportAndPublishesAtOnce) {
  const std::string folder = Beside("standin");
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  const DLL_DIRECTORY_COOKIE standin = AddDllDirectory(std::wstring(folder.begin(), folder.end()).c_str());
  for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}
  virtualJoystickLink = VirtualJoystickLink{}; ASSERT_EQ(OutputStart(), 1); StandinTakeLog();
  tuningSettings.directMode = 1; tuningSettings.smoothing = 0; steeringState.lastRawInputMicros = fakeSystem.clockMicros = 1000;
  ASSERT_EQ(Inject("move 2 0 move 3 0 move -1 -4"), 0);
  EXPECT_TRUE(PumpUntil([] { return steeringState.steering == STEERING_CENTER + 4 * 45.0f; }));
  const std::vector<std::string> sent = StandinTakeLog();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().substr(0, 48), "UpdateVJD(1,1,16384,16384,16384,16564,1310,0,163");
  // Gated again, the clock still: two wheel notches raise Y and the back button reaches button 10 of a device
  // with 11 buttons, from reports whose motion the gate drops.
  SetEnvironmentVariableA("TARVIX_STANDIN_BUTTONS", "11"), VJoyRelease();
  ASSERT_EQ(OutputStart(), 1);
  tuningSettings.directMode = 0, tuningSettings.scrollThrottle = 10, StandinTakeLog();
  ASSERT_EQ(Inject("mouse 0x800 120 mouse 0x800 120 mouse 0x80 1"), 0);  // MOUSEEVENTF_WHEEL, then XDOWN XBUTTON1
  EXPECT_TRUE(PumpUntil([] { return steeringState.mouseButtons == MOUSE_HELD_BACK; }));
  OutputTick();
  std::vector<std::string> fields;  // the call, the device byte, 18 axes with Y 5th, buttons 1-32
  std::stringstream record(StandinTakeLog().back());
  for (std::string field; std::getline(record, field, ',');) fields.push_back(field);
  ASSERT_GT(fields.size(), 20u);
  EXPECT_EQ(fields[6] + " " + fields[20], "6553 512");
  ASSERT_EQ(Inject("mouse 0x100 1"), 0);  // XUP
  EXPECT_TRUE(PumpUntil([] { return steeringState.mouseButtons == 0; }));
  SetEnvironmentVariableA("TARVIX_STANDIN_BUTTONS", nullptr);
  VJoyRelease(); FreeLibrary(static_cast<HMODULE>(virtualJoystickLink.library)); virtualJoystickLink = VirtualJoystickLink{};
  RemoveDllDirectory(standin);
}

// Files written while reports come in: each write takes 300 ms, four are handed over, and the wheel moves
// while they are still being written.
TEST_F(Desktop, ReportsReachTheWheelWhileFilesAreWritten) {
  char documents[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
  SetDataFolder((documents + std::string("\\Tarvix")).c_str()), CreateDataFolders();
  fileSeamFaults.writeDelayMs = 300, tuningSettings.smoothing = 0, fakeSystem.clockMicros = 60000000;
  SaveSettings();
  for (const char* name : {"Slow1", "Slow2", "Slow3"}) ASSERT_NE(SaveProfile(name, ""), 0u);
  ASSERT_EQ(Inject("move 4 0"), 0);
  EXPECT_TRUE(PumpUntil([] { return steeringState.steering == STEERING_CENTER + 4 * 45.0f; }));
  EXPECT_FALSE(WaitForFileWrites(0)) << "the writes were over";
  fileSeamFaults.writeDelayMs = 0, SettleFileWrites();
}

TEST_F(Desktop, RawReportsSteerWhileAnotherProgramHasTheFocus) {
  tuningSettings.smoothing = 0;
  static HWND front; ShellExecuteA(nullptr, nullptr, "notepad.exe", nullptr, nullptr, SW_SHOW);
  EXPECT_TRUE(PumpUntil([] { return (front = FindWindowA("Notepad", nullptr)) != nullptr; }) &&
              SetForegroundWindow(front) && PumpUntil([] { return GetForegroundWindow() == front; }));
  // Wine follows a move over another program by a report of nothing: each report gets its own 8 ms.
  observe = [](const MSG& m) { fakeSystem.clockMicros += m.message == WM_INPUT && m.hwnd == rawWindow ? 8000 : 0; };
  EXPECT_EQ(Inject("move 5 -20"), 0);
  EXPECT_TRUE(PumpUntil([] { return steeringState.steering == STEERING_CENTER + 5 * 45.0f; }));
  PostMessageA(front, WM_CLOSE, 0, 0);
}

TEST_F(Desktop, HotkeysArriveWithTheirIdsAndATextWithoutKeyRegistersNone) {
  hotkeyWindow = testWindow;
  observe = [](const MSG& m) { if (m.message == WM_HOTKEY && m.hwnd == testWindow) hotkeys.push_back({m.wParam, m.lParam}); };
  RegisterHotkeys();
  // F4, then Ctrl+R once it came: Wine may drop a hotkey pressed right after another.
  ASSERT_EQ(Inject("keys 0x73"), 0); ASSERT_TRUE(PumpUntil([] { return hotkeys.size() >= 1; }));
  ASSERT_EQ(Inject("keys 0x11,0x52"), 0); ASSERT_TRUE(PumpUntil([] { return hotkeys.size() >= 2; }));
  // Modifiers filling the whole buffer name no key: the lock's F4 goes, and read
  // on past the buffer the text would become Ctrl+F4.
  std::memset(tuningSettings.hotkeyLock, '^', sizeof tuningSettings.hotkeyLock);
  std::strcpy(tuningSettings.hotkeyRecenter, "F4"); RegisterHotkeys();
  ASSERT_EQ(Inject("keys 0x11,0x73 keys 0x73"), 0);
  PumpUntil([] { return hotkeys.size() >= 3; });  // hotkeys come in order
  EXPECT_EQ(hotkeys, (decltype(hotkeys){{HOTKEY_ID_LOCK, MAKELPARAM(0, VK_F4)},
      {HOTKEY_ID_RECENTER, MAKELPARAM(MOD_CONTROL, 'R')}, {HOTKEY_ID_RECENTER, MAKELPARAM(0, VK_F4)}}));
  UnregisterHotKey(testWindow, HOTKEY_ID_RECENTER);
}

TEST_F(Desktop, MouseLockParksAndSwallowsMovesAndExitUndoesIt) {
  auto cursor = [] { POINT at{}; GetCursorPos(&at); return std::make_pair(at.x, at.y); };
  auto showCount = [] { ShowCursor(TRUE); return ShowCursor(FALSE); };
  const int shown = showCount();
  const auto park = std::make_pair(GetSystemMetrics(SM_CXSCREEN) - 1L, GetSystemMetrics(SM_CYSCREEN) / 2L);
  ToggleMouseLock();
  EXPECT_EQ(showCount(), shown - 10); EXPECT_EQ(cursor(), park);
  ASSERT_EQ(Inject("move -40 25 move 0 7"), 0);
  EXPECT_EQ(cursor(), park);
  MSLLHOOKSTRUCT event{};  // buttons and the wheel pass
  for (WPARAM passing : {WM_LBUTTONDOWN, WM_RBUTTONUP, WM_MOUSEWHEEL})
    EXPECT_EQ(MouseLockHookProc(HC_ACTION, passing, reinterpret_cast<LPARAM>(&event)), 0) << passing;
  ToggleMouseLock(); EXPECT_EQ(showCount(), shown);
  ASSERT_EQ(Inject("move -40 25"), 0);  // from the park point
  EXPECT_EQ(cursor(), std::make_pair(park.first - 40, park.second + 25));

  ToggleMouseLock();  // then the program ends: Exit and WM_DESTROY both undo the lock
  EndMouseLockAtExit(); EndMouseLockAtExit();
  EXPECT_EQ(showCount(), shown);
  steeringState.mouseLocked = 1;  // a hook left in place would swallow the move
  SetCursorPos(300, 300); ASSERT_EQ(Inject("move 11 -9"), 0);
  EXPECT_EQ(cursor(), std::make_pair(311L, 291L));
}

TEST(RunValue, WrittenQuotedQueriedAndDeleted) {
  const char runKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::string folder = "C:\\Program Files\\Tarvix Probe", copy = folder + "\\launch probe.exe";
  ASSERT_TRUE(std::filesystem::create_directory(folder) && CopyFileA(Beside("tarvix_input_helper.exe").c_str(), copy.c_str(), FALSE));
  EXPECT_EQ(RunPumping(copy, "launch 1 \"" + folder + "\\seen.txt\""), 0);  // a path with blanks
  char value[1024] = {}; DWORD size = sizeof value;
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, runKey, "Tarvix", RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
  EXPECT_EQ(value, "\"" + Slurp(folder + "\\seen.txt") + "\"");
  EXPECT_EQ(IsLaunchAtStartupSet(), 1);
  SetLaunchAtStartup(0);
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, runKey, "Tarvix", RRF_RT_ANY, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(IsLaunchAtStartupSet(), 0);
  const std::string handMade(700, 'x');  // more than the program's query buffer holds
  RegSetKeyValueA(HKEY_CURRENT_USER, runKey, "Tarvix", REG_SZ, handMade.c_str(), 701);
  EXPECT_EQ(IsLaunchAtStartupSet(), 1);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, runKey, "Tarvix");
  std::filesystem::remove_all(folder);
}

TEST(DataFiles, LiveInDocumentsAndAreReplacedWholeOrNotAtAll) {
  char documents[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents), S_OK);
  const std::string data = documents + std::string("\\Tarvix"), settings = data + "\\settings.txt";
  const std::string profiles = data + "\\Profiles", fast = profiles + "\\Fast.txt";
  std::filesystem::remove_all(data); CreateDataFolders();  // both folders, or nothing below could be read or written

  // Through the Windows C runtime, whose number parsing is not glibc's.
  const struct { const char* text; float sensitivity; } numbers[] = {
      {"nan", 45}, {"-INF", 45}, {"infinity", 45}, {"1e39", 45}, {"12.5", 12.5f}, {" 7abc", 7}, {"-1e-3", -0.001f}};
  for (const auto& n : numbers) {
    std::ofstream(settings, std::ios::binary) << "sensitivity=" << n.text << "\r\n";
    ResetToDefaults(); LoadSettings();
    EXPECT_FLOAT_EQ(tuningSettings.sensitivity, n.sensitivity) << n.text;
  }

  ResetToDefaults(); SaveSettings(), SettleFileWrites();  // over the file there, in binary: a CR doubled by text mode shows
  EXPECT_EQ(Slurp(settings).find("sensitivity=45.0\r\nresponseCurve=1.50\r\n"), 0u);
  std::ofstream(fast, std::ios::binary) << "old";
  SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_READONLY); steeringState.profileModified = 1;
  SaveUserProfile("Fast", ""), SettleFileWrites();  // refused, as Windows refuses to replace a read-only file
  SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Slurp(fast), "old"); EXPECT_FALSE(std::filesystem::exists(fast + ".tmp"));
  EXPECT_EQ(tuningSettings.profile + std::to_string(steeringState.profileModified), "Default1");
  EXPECT_STREQ(StatusNoticeText(NOTICE_FILE), "Profile not saved: the file cannot be replaced");
  SetStatusNotice(NOTICE_FILE, nullptr);  // it stays until a profile is saved

  for (const char* name : {"a.b.txt", ".txt", "Fast.txt.tmp", "long.txtx"}) std::ofstream(profiles + "\\" + name);
  std::filesystem::create_directory(profiles + "\\folder.txt");
  ScanProfiles();  // only real files ending in .txt
  EXPECT_EQ(std::set<std::string>(profileNames, profileNames + profileCount), (std::set<std::string>{"a.b", "", "Fast"}));

  // A settings file held by another program: the writer tries again, five times 20 ms apart, then says so.
  auto hold = [&](DWORD share) { return CreateFileA(settings.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr); };
  HANDLE held = hold(FILE_SHARE_READ);
  tuningSettings.sensitivity = 60, SaveSettings(), Sleep(30), CloseHandle(held), SettleFileWrites();
  EXPECT_EQ(Slurp(settings).find("sensitivity=60.0") + StatusNoticeText(NOTICE_FILE)[0], 0u);
  held = hold(FILE_SHARE_READ), tuningSettings.sensitivity = 61, SaveSettings(), SettleFileWrites(), CloseHandle(held);
  EXPECT_EQ(StatusNoticeText(NOTICE_FILE) + Slurp(settings).substr(0, 16),
            "Settings not saved: the file is in use by another programsensitivity=60.0");
  EXPECT_FALSE(std::filesystem::exists(settings + ".tmp"));
  // One held without read sharing at the start is never written over, not even at the exit.
  held = hold(0), ResetToDefaults(), LoadSettings(), CloseHandle(held), SaveSettings(), SettleFileWrites();
  EXPECT_EQ(StatusNoticeText(NOTICE_FILE) + Slurp(settings).substr(0, 16),
            "Settings file unreadable: changes not savedsensitivity=60.0");
  EXPECT_EQ(tuningSettings.sensitivity, 45.0f);
  settingsFileUnreadable = 0, SetStatusNotice(NOTICE_FILE, nullptr);
  std::filesystem::remove_all(data);
}

}  // namespace
