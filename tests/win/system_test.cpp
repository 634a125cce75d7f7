// What only Windows shows, under Wine: the vJoy link against the stand-in; raw
// input, hotkeys and the mouse lock fed by tarvix_input_helper from a second
// process, as a real mouse and keyboard would; the Run value; the data files.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/output_tick.h"
#include "engine/steering.h"
#include "engine/tuning.h"
#include "input/hotkeys.h"
#include "input/mouse_lock.h"
#include "input/raw_input.h"
#include "storage/launch_at_startup.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"
#include "tests/support/standin_log_win32.h"
#include "tests/support/system_fake.h"
#include "vjoy/vjoy_link.h"

namespace {

using Texts = std::vector<std::string>;

std::string Beside(const char* name) {
  char path[MAX_PATH];
  std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return self.substr(0, self.rfind('\\') + 1) + name;
}

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

void Spit(const std::string& path, const char* text) { std::ofstream(path, std::ios::binary) << text; }
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Low-level hooks, raw input and hotkeys are served only while this thread
// retrieves messages, so every wait pumps.
void (*observe)(const MSG& message);
bool PumpUntil(bool (*done)(), DWORD timeoutMs = 5000) {
  for (DWORD start = GetTickCount();;) {
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&m)) {
      if (observe) observe(m);
    }
    if (done() || GetTickCount() - start >= timeoutMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// The process, or null when it could not be started; with no program named, the
// command's first word is looked for on the search path.
HANDLE Start(const std::string& program, std::string arguments) {
  arguments = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.empty() ? nullptr : program.c_str(), &arguments[program.empty() ? 3 : 0],
                      nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

HANDLE runningProcess;
int RunPumping(const std::string& program, const std::string& arguments) {
  if (!(runningProcess = Start(program, arguments))) return -1;
  PumpUntil([] { return WaitForSingleObject(runningProcess, 0) == WAIT_OBJECT_0; }, 20000);
  PumpUntil([] { return true; });
  DWORD code = 1;
  TerminateProcess(runningProcess, 1);  // only when it hung
  GetExitCodeProcess(runningProcess, &code);
  CloseHandle(runningProcess);
  return static_cast<int>(code);
}

int Inject(const std::string& arguments) { return RunPumping(Beside("tarvix_input_helper.exe"), arguments); }

// The link never lets its library go; the tests do, so each case loads it afresh.
void UnloadLink() {
  for (HMODULE m; (m = GetModuleHandleA("vJoyInterface.dll")) && FreeLibrary(m);) {}
  virtualJoystickLink = VirtualJoystickLink{};
}

TEST(VJoyLink, BindsOnlyAWholeLibraryAndADeviceFreeOrItsOwn) {
  StandinStartLog();
  const Texts taken = {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-", "AcquireVJD(1)=1", "ResetVJD(1)=1"};
  struct Case { std::string folder; const char* mode; Texts bind; };
  std::vector<Case> cases = {
      {"standin", "free", taken},
      {"standin", "owned", {"vJoyEnabled()=1", "GetVJDStatus(1)=0", "RelinquishVJD(1)=-", "AcquireVJD(1)=1", "ResetVJD(1)=1"}},
      {"standin", "disabled", {"vJoyEnabled()=0"}},
      {"standin", "busy", {"vJoyEnabled()=1", "GetVJDStatus(1)=2"}},
      {"standin", "refuse", {"vJoyEnabled()=1", "GetVJDStatus(1)=1", "RelinquishVJD(1)=-", "AcquireVJD(1)=0"}},
      {"", "free", {}}};  // no library anywhere
  for (const char* entry : {"vJoyEnabled", "AcquireVJD", "RelinquishVJD", "GetVJDStatus", "SetAxis", "SetBtn", "ResetVJD"})
    cases.push_back({std::string("standin-without-") + entry, "free", {}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder + " " + c.mode);
    UnloadLink();
    SetDllDirectoryA(c.folder.empty() ? nullptr : Beside(c.folder.c_str()).c_str());
    SetEnvironmentVariableA("TARVIX_STANDIN_MODE", c.mode);
    const int bound = c.bind.size() == 5 && c.bind[3] == "AcquireVJD(1)=1";
    EXPECT_EQ(VJoyBind(), bound);
    EXPECT_EQ(virtualJoystickLink.library != nullptr, !c.folder.empty());
    std::vector<double> at;
    EXPECT_EQ(StandinTakeLog(&at), c.bind);
    if (c.bind.size() > 3) {
      EXPECT_GE(at.at(3) - at.at(2), 0.095) << "relinquished, then acquired";
    }
    VJoySetAxis(VJOY_AXIS_X, 16384);
    VJoySetButton(7, 1);
    VJoyRelease();
    VJoyRelease();
    VJoySetAxis(VJOY_AXIS_Y, 1);
    const Texts sent = {"SetAxis(16384,1,48)=1", "SetBtn(1,1,7)=1", "ResetVJD(1)=1", "RelinquishVJD(1)=-"};
    EXPECT_EQ(StandinTakeLog(), bound ? sent : Texts{});
  }
  SetDllDirectoryA(nullptr);
}

TEST(VJoyLink, OutputTickSendsTheAxesTruncatedThenBothButtons) {
  StandinStartLog();
  UnloadLink();
  SetDllDirectoryA(Beside("standin").c_str());
  SetEnvironmentVariableA("TARVIX_STANDIN_MODE", nullptr);
  ASSERT_EQ(VJoyBind(), 1);
  ResetToDefaults();
  tuningSettings.autoCenterForce = 0.0f;
  steeringState.steering = 20000.9f;
  steeringState.throttle = 16383.5f;
  steeringState.brake = 6553.4f;
  fakeSystem = FakeSystem{1, 1, 0, 0, 0};
  StandinTakeLog();
  OutputTick();
  EXPECT_EQ(StandinTakeLog(), (Texts{"SetAxis(20000,1,48)=1", "SetAxis(16383,1,49)=1", "SetAxis(6553,1,50)=1",
                                     "SetBtn(1,1,7)=1", "SetBtn(0,1,8)=1"}));
  FakeSystemReset();
  VJoyRelease();
}

HWND testWindow, rawWindow;
int mouseSpeed[3];
int reports, lockHits, recenterHits;
LPARAM lockKeys, recenterKeys;

// Wine hands injected input out only while one of its windows has the focus,
// as a game's would; it also accelerates injected moves unless told not to.
class Desktop : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    SystemParametersInfoA(SPI_GETMOUSE, 0, mouseSpeed, 0);
    int off[3] = {0, 0, 0};
    SystemParametersInfoA(SPI_SETMOUSE, 0, off, 0);
    CreateRawInputWindow();
    rawWindow = static_cast<HWND>(steeringState.rawInputWindow);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "TestWindow";
    RegisterClassA(&windowClass);
    testWindow = CreateWindowExA(0, "TestWindow", "test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 320,
                                 200, nullptr, nullptr, nullptr, nullptr);
  }
  static void TearDownTestSuite() { SystemParametersInfoA(SPI_SETMOUSE, 0, mouseSpeed, 0); }
  void SetUp() override {
    SetForegroundWindow(testWindow);
    SetFocus(testWindow);
    ASSERT_TRUE(PumpUntil([] { return GetFocus() == testWindow; }));
    SetCursorPos(1000, 800);  // Wine reports moves twice over a window it tracks
    PumpUntil([] { return true; });
    ResetToDefaults();
    steeringState.rawInputWindow = rawWindow;
    tuningSettings.curveOnSteering = 0;  // plain arithmetic: pedals follow motion
    tuningSettings.accelBrakeMode = 0;
    FakeSystemReset();
    reports = lockHits = recenterHits = 0;
    observe = [](const MSG& m) { reports += m.message == WM_INPUT && m.hwnd == rawWindow; };
  }
  void TearDown() override {
    observe = nullptr;
    FakeSystemReset();
  }
};

TEST_F(Desktop, RawReportsPassOncePerEightMillisecondsAcrossTheTickWrap) {
  EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, "TXInputWnd", nullptr), rawWindow);
  fakeSystem.overrideTick = 1;
  // wheel and throttle in counts of motion; the last row: no zero enters the wheel's average
  const struct { uint32_t tick; int dx, dy, smoothing; uint32_t gate; float wheel, throttle; } rows[] = {
      {1000, 3, -50, 0, 1000, 3, 50},     {1005, 10, 20, 0, 1000, 3, 50},
      {1008, -2, 0, 0, 1008, 1, 50},      {0xFFFFFFF0u, 1, 0, 0, 0xFFFFFFF0u, 2, 50},
      {2, 1, 0, 0, 2, 3, 50},             {0xFFFFFFFCu, 1, 0, 0, 0xFFFFFFFCu, 4, 50},
      {2, 1, 0, 0, 0xFFFFFFFCu, 4, 50},   {4, 1, 0, 0, 4, 5, 50},
      {100, 0, -7, 2, 100, 5, 57}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "at " << r.tick);
    fakeSystem.tick = r.tick;
    tuningSettings.smoothing = r.smoothing;
    reports = 0;
    ASSERT_EQ(Inject("move " + std::to_string(r.dx) + " " + std::to_string(r.dy)), 0);
    ASSERT_TRUE(PumpUntil([] { return reports > 0; }));
    EXPECT_EQ(steeringState.lastRawInputTick, r.gate);
    EXPECT_FLOAT_EQ(steeringState.steering, STEERING_CENTER + r.wheel * tuningSettings.sensitivity);
    EXPECT_FLOAT_EQ(steeringState.throttle, r.throttle * AXIS_MAX / 100);
    EXPECT_EQ(steeringState.ringCount, 0);
  }
}

TEST_F(Desktop, RawReportsSteerWhileAnotherProgramHasTheFocus) {
  tuningSettings.smoothing = 0;
  const HANDLE notepad = Start("", "notepad.exe");
  ASSERT_NE(notepad, nullptr);
  static HWND front;
  const bool inFront = PumpUntil([] { return (front = FindWindowA("Notepad", nullptr)) != nullptr; }) &&
                       SetForegroundWindow(front) && PumpUntil([] { return GetForegroundWindow() == front; });
  // Wine follows a move over another program with a report of nothing: each report gets its own 8 ms.
  fakeSystem.overrideTick = 1;
  observe = [](const MSG& m) { fakeSystem.tick += m.message == WM_INPUT && m.hwnd == rawWindow ? 8 : 0; };
  EXPECT_EQ(inFront ? Inject("move 5 -20") : -1, 0);
  EXPECT_TRUE(PumpUntil([] { return steeringState.steering == STEERING_CENTER + 5 * 45.0f; }))
      << steeringState.steering;
  TerminateProcess(notepad, 0);
  WaitForSingleObject(notepad, 5000);
  CloseHandle(notepad);
}

TEST_F(Desktop, HotkeysArriveWithTheirIdsAndATextWithoutKeyRegistersNone) {
  hotkeyWindow = testWindow;
  observe = [](const MSG& m) {
    if (m.message != WM_HOTKEY || m.hwnd != testWindow) return;
    (m.wParam == HOTKEY_ID_LOCK ? lockKeys : recenterKeys) = m.lParam;
    ++(m.wParam == HOTKEY_ID_LOCK ? lockHits : recenterHits);
  };
  RegisterHotkeys();
  ASSERT_EQ(Inject("keys 0x73"), 0);
  ASSERT_TRUE(PumpUntil([] { return lockHits > 0; }));
  ASSERT_EQ(Inject("keys 0x11,0x52"), 0);
  ASSERT_TRUE(PumpUntil([] { return recenterHits > 0; }));
  EXPECT_EQ(lockKeys, MAKELPARAM(0, VK_F4));
  EXPECT_EQ(recenterKeys, MAKELPARAM(MOD_CONTROL, 'R'));
  // Modifiers filling the whole buffer name no key: the lock's F4 goes, and read
  // on past the buffer the text would become Ctrl+F4.
  std::memset(tuningSettings.hotkeyLock, '^', sizeof tuningSettings.hotkeyLock);
  std::strcpy(tuningSettings.hotkeyRecenter, "F4");
  RegisterHotkeys();
  lockHits = recenterHits = 0;
  ASSERT_EQ(Inject("keys 0x11,0x73 keys 0x73"), 0);
  ASSERT_TRUE(PumpUntil([] { return recenterHits > 0; }));  // hotkeys come in order
  EXPECT_EQ(lockHits, 0);
  EXPECT_EQ(recenterKeys, MAKELPARAM(0, VK_F4));
  UnregisterHotKey(testWindow, HOTKEY_ID_RECENTER);
}

std::pair<long, long> Cursor() {
  POINT at{};
  GetCursorPos(&at);
  return {at.x, at.y};
}

int CursorShowCount() {
  ShowCursor(TRUE);
  return ShowCursor(FALSE);
}

TEST_F(Desktop, MouseLockParksAndSwallowsMovesAndExitUndoesIt) {
  const int shown = CursorShowCount();
  const std::pair<long, long> park{GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1,
                                   GetSystemMetrics(SM_CYSCREEN) / 2};
  ToggleMouseLock();
  EXPECT_EQ(CursorShowCount(), shown - 10);
  EXPECT_EQ(Cursor(), park);
  ASSERT_EQ(Inject("move -40 25 move 0 7"), 0);
  EXPECT_EQ(Cursor(), park);
  MSLLHOOKSTRUCT event{};
  for (WPARAM passing : {WM_LBUTTONDOWN, WM_RBUTTONUP, WM_MOUSEWHEEL})
    EXPECT_EQ(MouseLockHookProc(HC_ACTION, passing, reinterpret_cast<LPARAM>(&event)), 0) << passing;
  EXPECT_EQ(MouseLockHandleSetCursor(), 1);
  ToggleMouseLock();
  EXPECT_EQ(MouseLockHandleSetCursor(), 0);
  EXPECT_EQ(CursorShowCount(), shown);
  ASSERT_EQ(Inject("move -40 25"), 0);
  EXPECT_EQ(Cursor(), std::make_pair(park.first - 40, park.second + 25));

  ToggleMouseLock();  // then the program ends: Exit and WM_DESTROY both undo the lock
  EndMouseLockAtExit();
  EndMouseLockAtExit();
  EXPECT_EQ(CursorShowCount(), shown);
  EXPECT_EQ(steeringState.mouseLocked, 0);
  steeringState.mouseLocked = 1;  // a hook left in place would swallow the move
  SetCursorPos(300, 300);
  ASSERT_EQ(Inject("move 11 -9"), 0);
  steeringState.mouseLocked = 0;
  EXPECT_EQ(Cursor(), std::make_pair(311L, 291L));
}

const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string RunValue(const char* name) {
  char data[1024] = {};
  DWORD size = sizeof data;
  return RegGetValueA(HKEY_CURRENT_USER, RUN_KEY, name, RRF_RT_REG_SZ, nullptr, data, &size) ? "" : data;
}

TEST(RunValue, WrittenQuotedQueriedAndDeletedAlone) {
  RegSetKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "TarvixNeighbour", REG_SZ, "x", 2);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  SetLaunchAtStartup(1);
  EXPECT_EQ(RunValue("Tarvix"), "\"" + std::string(self) + "\"");
  EXPECT_EQ(IsLaunchAtStartupSet(), 1);
  SetLaunchAtStartup(0);
  EXPECT_EQ(RunValue("Tarvix"), "");
  EXPECT_EQ(IsLaunchAtStartupSet(), 0);
  EXPECT_EQ(RunValue("TarvixNeighbour"), "x");
  const std::string handMade(700, 'x');  // longer than the program's query buffer
  RegSetKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "Tarvix", REG_SZ, handMade.c_str(), 701);
  EXPECT_EQ(IsLaunchAtStartupSet(), 1);

  const std::string folder = "C:\\Program Files\\Tarvix Probe", copy = folder + "\\launch probe.exe";
  const std::string seen = Beside("launch-path.txt");
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(Beside("tarvix_input_helper.exe").c_str(), copy.c_str(), FALSE));
  EXPECT_EQ(RunPumping(copy, "launch 1 \"" + seen + "\""), 0);
  EXPECT_NE(Slurp(seen).find(' '), std::string::npos);
  EXPECT_EQ(RunValue("Tarvix"), "\"" + Slurp(seen) + "\"");
  DeleteFileA(copy.c_str());
  DeleteFileA(seen.c_str());
  RemoveDirectoryA(folder.c_str());
  RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "Tarvix");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, RUN_KEY, "TarvixNeighbour");
}

TEST(DataFiles, LiveInDocumentsAndAreReplacedWholeOrNotAtAll) {
  char documents[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents), S_OK);
  std::filesystem::remove_all(documents + std::string("\\Tarvix"));
  CreateDataFolders();
  const std::string settings = settingsFilePath, profiles = profileFolderPath;
  EXPECT_EQ(settings, documents + std::string("\\Tarvix\\settings.txt"));
  EXPECT_EQ(profiles, documents + std::string("\\Tarvix\\Profiles"));
  EXPECT_TRUE(std::filesystem::is_directory(profiles));

  // Through the Windows C runtime, whose number parsing is not glibc's.
  const struct { const char* text; float sensitivity; } numbers[] = {
      {"nan", 45}, {"-INF", 45}, {"infinity", 45}, {"1e39", 45}, {"12.5", 12.5f}, {" 7abc", 7}, {"-1e-3", -0.001f}};
  for (const auto& n : numbers) {
    Spit(settings, (std::string("sensitivity=") + n.text + "\r\n").c_str());
    ResetToDefaults();
    LoadSettings();
    EXPECT_FLOAT_EQ(tuningSettings.sensitivity, n.sensitivity) << n.text;
  }

  ResetToDefaults();
  SaveSettings();  // over the file there: replaced, written byte for byte
  EXPECT_EQ(Slurp(settings).find("sensitivity=45.0\r\nresponseCurve=1.50\r\n"), 0u);
  EXPECT_EQ(Slurp(settings).find("\r\r"), std::string::npos);
  const std::string fast = profiles + "\\Fast.txt";
  Spit(fast, "old");
  SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_READONLY);
  steeringState.profileModified = 1;
  SaveProfile("Fast");  // refused, as Windows refuses to replace a read-only file
  SetFileAttributesA(fast.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Slurp(fast), "old");
  EXPECT_FALSE(Exists(fast + ".tmp"));
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(steeringState.profileModified, 1);
  SaveProfile("Fast");
  EXPECT_EQ(Slurp(fast).find("sensitivity=45.0\r\n"), 0u);
  EXPECT_EQ(Slurp(fast).find("\r\r"), std::string::npos);

  for (const char* name : {"a.b.txt", ".txt", "Fast.txt.tmp", "long.txtx"}) Spit(profiles + "\\" + name, "");
  CreateDirectoryA((profiles + "\\folder.txt").c_str(), nullptr);
  ScanProfiles();
  EXPECT_EQ(std::set<std::string>(profileNames, profileNames + profileCount), (std::set<std::string>{"a.b", "", "Fast"}));
  std::filesystem::remove_all(documents + std::string("\\Tarvix"));
}

}  // namespace
