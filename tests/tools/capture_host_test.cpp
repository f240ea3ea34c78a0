// capture_host in wine's DirectShow against the test source filter (its lines, pictures and codes)
// and, in a prefix with a simulated camera, against the module's own stills.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sim/wine/shim_client.h"
#include "tests/dshow/testsource/testsource.h"
#include "tests/wine/regsvr32.h"

namespace {

namespace fs = std::filesystem;

struct HostRun {
  int exitCode = -1;
  std::string output;      // stdout and stderr as they came; else which call failed, and how
  bool ranNothing = true;  // the log or the process could not be made
};

struct Handle {
  HANDLE h;
  ~Handle() {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

// The error is read as the call is made, before any allocation here can change it.
std::string CallFailed(const char* call, DWORD error = GetLastError()) {
  return std::string(call) + " failed, error " + std::to_string(error);
}

// One run of capture_host, its output in a file of its own: a log the last run's host may still
// hold is never opened again.
HostRun RunHostOnce(const std::wstring& command, const fs::path& scratch) {
  static int runs = 0;
  const fs::path log = scratch / ("host-" + std::to_string(++runs) + ".log");
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  Handle file{CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                          nullptr)};
  HostRun run;
  if (file.h == INVALID_HANDLE_VALUE) return run.output = CallFailed("CreateFileW"), run;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = file.h;
  PROCESS_INFORMATION info = {};
  std::wstring line = command;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info))
    return run.output = CallFailed("CreateProcessW"), run;
  run.ranNothing = false;
  Handle process{info.hProcess}, thread{info.hThread};
  const DWORD waited = WaitForSingleObject(process.h, 90000);
  DWORD code = 0;
  std::string failed;
  if (waited != WAIT_OBJECT_0) {
    failed = waited == WAIT_TIMEOUT ? "the host did not end within 90 s"
                                    : CallFailed("WaitForSingleObject");
    TerminateProcess(process.h, 99);
  } else if (!GetExitCodeProcess(process.h, &code)) {
    failed = CallFailed("GetExitCodeProcess");
  } else {
    run.exitCode = static_cast<int>(code);
  }
  std::ifstream in(log, std::ios::binary);
  run.output.assign(std::istreambuf_iterator<char>(in), {});
  if (!failed.empty()) run.output = failed + "; the host wrote:\n" + run.output;
  return run;
}

// Runs capture_host on a device with these arguments. Wine now and then cannot start a process
// while several programs start at once: a start that failed, which ran nothing, is tried again.
HostRun RunHost(const std::wstring& arguments, const fs::path& scratch,
                const wchar_t* device = L"Zerithal Test Source") {
  const std::wstring command = L"\"" + BesideExecutable(L"capture_host.exe") + L"\" --device \"" +
                               device + L"\" " + arguments;
  std::string earlier;
  for (int attempt = 1;; ++attempt) {
    HostRun run = RunHostOnce(command, scratch);
    if (!run.ranNothing || attempt == 3) {
      run.output = earlier + run.output;
      return run;
    }
    earlier += "attempt " + std::to_string(attempt) + ": " + run.output + "\n";
    Sleep(1000);
  }
}

struct Progress {
  int frame, of;
  long width, height, bytes;
  double seconds;
};

std::vector<Progress> ProgressLines(const std::string& output) {
  std::vector<Progress> lines;
  std::istringstream text(output);
  for (std::string line; std::getline(text, line);) {
    Progress p{};
    if (std::sscanf(line.c_str(), "frame %d/%d: %ldx%ld, %ld bytes, time %lf s", &p.frame, &p.of,
                    &p.width, &p.height, &p.bytes, &p.seconds) == 6) {
      lines.push_back(p);
    }
  }
  return lines;
}

// The headers of a BMP file and its first pixel byte, checked against an RGB24 bottom-up frame;
// firstByte -1: any.
void ExpectBmp(const fs::path& path, LONG width, LONG height, int firstByte) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  const DWORD image = static_cast<DWORD>(((width * 3 + 3) & ~3) * height);
  ASSERT_EQ(bytes.size(), 54u + image) << path;
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  std::memcpy(&file, bytes.data(), sizeof(file));
  std::memcpy(&info, bytes.data() + sizeof(file), sizeof(info));
  EXPECT_EQ(file.bfType, 0x4D42);
  EXPECT_EQ(file.bfSize, bytes.size());
  EXPECT_EQ(file.bfOffBits, 54u);
  EXPECT_EQ(info.biSize, sizeof(info));
  EXPECT_EQ(info.biWidth, width);
  EXPECT_EQ(info.biHeight, height);  // positive: bottom-up, as the video frame is
  EXPECT_EQ(info.biPlanes, 1);
  EXPECT_EQ(info.biBitCount, 24);
  EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(info.biSizeImage, image);
  if (firstByte >= 0) {
    EXPECT_EQ(static_cast<BYTE>(bytes[54]), firstByte) << path << " holds another frame";
  }
}

std::set<std::string> FileNames(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

class Scratch : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    scratch_ = fs::path(temp) / ("zx_capture_host_" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(scratch_, ignored);
  }
  fs::path pictures() const { return scratch_ / "pictures"; }
  fs::path scratch_;
};

class CaptureHostTest : public Scratch {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(RunRegsvr32(BesideExecutable(L"zx_testsource.dll"), false), 0);
  }
  // Twice: unregistering what is already gone succeeds too.
  static void TearDownTestSuite() {
    for (int round = 0; round < 2; ++round)
      EXPECT_EQ(RunRegsvr32(BesideExecutable(L"zx_testsource.dll"), true), 0) << round;
  }
};

// Every frame a line, in order, whole and later than the one before; the first, every fifth and
// the last as pictures, each holding its own frame (the source fills frame n with byte n - 1).
TEST_F(CaptureHostTest, CapturesFramesAndWritesThePicturesAsked) {
  const HostRun run =
      RunHost(L"--frames 12 --save-every 5 --out \"" + pictures().wstring() + L"\"", scratch_);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("\n  Zerithal Test Source\r\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("violation"), std::string::npos) << run.output;
  const std::vector<Progress> lines = ProgressLines(run.output);
  ASSERT_EQ(lines.size(), 12u) << run.output;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].frame, static_cast<int>(i + 1));
    EXPECT_EQ(lines[i].of, 12);
    EXPECT_EQ(lines[i].width, kTestWidth);
    EXPECT_EQ(lines[i].height, kTestHeight);
    EXPECT_EQ(lines[i].bytes, kTestWidth * kTestHeight * 3);
    if (i > 0) {
      EXPECT_GT(lines[i].seconds, lines[i - 1].seconds);
    }
  }
  const std::set<std::string> expected = {"frame-0001.bmp", "frame-0006.bmp", "frame-0011.bmp",
                                          "frame-0012.bmp"};
  ASSERT_EQ(FileNames(pictures()), expected);
  for (int n : {1, 6, 11, 12}) {
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%04d.bmp", n);
    ExpectBmp(pictures() / name, kTestWidth, kTestHeight, static_cast<BYTE>(n - 1));
  }
  printf(
      "[capture] capture_host took 12 frames of 320x240 from the test source through wine's "
      "DirectShow and wrote 4 of them as BMP files\n");
}

TEST_F(CaptureHostTest, ChoosesTheSizeThroughTheStreamConfig) {
  const HostRun run =
      RunHost(L"--size 160x120 --frames 3 --out \"" + pictures().wstring() + L"\"", scratch_);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("format: 160x120 RGB24, 57600 bytes a frame"), std::string::npos)
      << run.output;
  ASSERT_EQ(ProgressLines(run.output).size(), 3u) << run.output;
  ExpectBmp(pictures() / "frame-0003.bmp", 160, 120, 2);
}

// Each failure ends with its reason and a non-zero code, never with a hang.
TEST_F(CaptureHostTest, FailuresEndWithAReasonAndTheirCode) {
  const struct {
    const wchar_t* arguments;
    int exitCode;
    const char* says;
  } cases[] = {
      {L"--device \"No Such Camera\"", 1, "no video input device is named \"No Such Camera\""},
      {L"--size 640x480", 1, "offers no RGB24 640x480; it offers: 320x240 160x120"},
      {L"--frames many", 2, "bad value for --frames"},
      {L"--out", 2, "--out needs a value"},
      {L"--properties", 1, "the device has no standard camera properties"},
      {L"--still --frames 2", 1, "the device has no free still pin"},
  };
  for (const auto& c : cases) {
    const HostRun run = RunHost(c.arguments, scratch_);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_TRUE(ProgressLines(run.output).empty()) << run.output;
  }
}

// The module registered in a prefix whose driver shim serves the simulated 3.1 MP camera; elsewhere
// these tests skip.
class CaptureHostCamera : public Scratch {
 protected:
  static bool InSimPrefix() {
    const char* count = std::getenv("ZX_SIM_CAMERA_COUNT");
    return count && *count;
  }
  static void SetUpTestSuite() {
    if (InSimPrefix()) {
      ASSERT_TRUE(ShimRunning()) << "the simulated camera's driver shim does not start";
      ASSERT_EQ(RunRegsvr32(BesideExecutable(L"zerithal.ax"), false), 0);
    }
  }
  static void TearDownTestSuite() {
    if (InSimPrefix()) {
      EXPECT_EQ(RunRegsvr32(BesideExecutable(L"zerithal.ax"), true), 0);
    }
  }
  void SetUp() override {
    if (!InSimPrefix()) GTEST_SKIP() << "runs in a prefix set up with a simulated camera";
    Scratch::SetUp();
  }
};

// The camera's stored turn, for the next program that opens it; the camera stores its settings
// again as it closes, so the turn is taken back after.
constexpr const wchar_t* kSettingsKey = L"Software\\Harrowdenmarket\\dshow\\ZMS-RX7-3";

void StoreRotate(DWORD degrees) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const LSTATUS set = degrees ? RegSetValueExW(key, L"Rotate", 0, REG_DWORD,
                                               reinterpret_cast<const BYTE*>(&degrees), 4)
                              : RegDeleteValueW(key, L"Rotate");
  RegCloseKey(key);
  EXPECT_TRUE(set == ERROR_SUCCESS || (!degrees && set == ERROR_FILE_NOT_FOUND)) << set;
}

// One still at the still pin's own size beside previews of either size: one untimed sample of
// the still's image, written as a picture of that size, while the preview frames stay whole.
// With the picture turned by a quarter the sizes offered, chosen and delivered are the turned
// ones, the still's too.
TEST_F(CaptureHostCamera, TakesOneStillBesideThePreview) {
  const struct {
    const wchar_t* size;
    long width, height;
    DWORD rotate;
    const char* stillFormat;
    const char* still;
    long stillWidth, stillHeight;
  } previews[] = {
      {L"1024x770", 1024, 770, 0, "still format: 2048x1534 RGB24, 9424896 bytes",
       "still 1/1: 2048x1534, 9424896 bytes, untimed", 2048, 1534},
      {L"2048x1534", 2048, 1534, 0, "still format: 2048x1534 RGB24, 9424896 bytes",
       "still 1/1: 2048x1534, 9424896 bytes, untimed", 2048, 1534},
      {L"770x1024", 770, 1024, 90, "still format: 1534x2048 RGB24, 9428992 bytes",
       "still 1/1: 1534x2048, 9428992 bytes, untimed", 1534, 2048},
      {L"770x1024", 770, 1024, 270, "still format: 1534x2048 RGB24, 9428992 bytes",
       "still 1/1: 1534x2048, 9428992 bytes, untimed", 1534, 2048},
  };
  for (const auto& p : previews) {
    SCOPED_TRACE(testing::Message() << "rotate " << p.rotate);
    fs::remove_all(pictures());
    ASSERT_NO_FATAL_FAILURE(StoreRotate(p.rotate));
    const HostRun run = RunHost(std::wstring(L"--still --frames 5 --size ") + p.size +
                                    L" --out \"" + pictures().wstring() + L"\"",
                                scratch_, L"Zerithal");
    StoreRotate(0);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("violation"), std::string::npos) << run.output;
    const std::vector<Progress> frames = ProgressLines(run.output);
    ASSERT_EQ(frames.size(), 5u) << run.output;
    for (const Progress& f : frames) {
      EXPECT_EQ(f.width, p.width);
      EXPECT_EQ(f.height, p.height);
      EXPECT_EQ(f.bytes, ((p.width * 3 + 3) & ~3) * p.height);
    }
    EXPECT_NE(run.output.find(p.stillFormat), std::string::npos) << run.output;
    const size_t still = run.output.find(p.still);
    ASSERT_NE(still, std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("still 1/1", still + 1), std::string::npos) << "a second still";
    const std::string written =
        "still: " + std::to_string(p.stillWidth) + "x" + std::to_string(p.stillHeight) + " in ";
    EXPECT_NE(run.output.find(written), std::string::npos) << run.output;
    const std::set<std::string> expected = {"frame-0001.bmp", "frame-0005.bmp", "still.bmp"};
    EXPECT_EQ(FileNames(pictures()), expected);
    ExpectBmp(pictures() / "still.bmp", p.stillWidth, p.stillHeight, -1);
  }
}

}  // namespace
