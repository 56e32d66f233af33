// The serial port: its name and settings rules on a closed port, and real
// transfers over a pseudo-terminal pair made by socat, whose first end is
// COM5 and second end COM6 in this Wine prefix.
#include "lib/CCommPort.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/mutable_text.h"
#include "tests/support/process.h"

namespace {


// Runs a shell command line on the Linux side and waits until it has
// finished: Wine cannot wait for a Linux process, so the command leaves a
// mark when it is done.
bool Shell(const std::string& command) {
  static int serial = 0;
  std::string mark = "/tmp/ccommport-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
  std::string windowsMark = "Z:" + mark;
  for (char& c : windowsMark)
    if (c == '/') c = '\\';
  std::string line = "Z:\\bin\\sh -c \"" + command + "; touch " + mark + "\"";
  if (!StartProcess(line)) return false;
  for (int i = 0; i < 500 && GetFileAttributesA(windowsMark.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
  return DeleteFileA(windowsMark.c_str()) != 0;
}

// The text a Linux command printed, through a file.
std::string ShellOutput(const std::string& command, const std::string& linuxFile, const std::string& windowsFile) {
  Shell(command + " > " + linuxFile + " 2>&1");
  std::vector<unsigned char> bytes = ReadBytes(windowsFile);
  return std::string(bytes.begin(), bytes.end());
}

TEST(CCommPortTest, DeviceNamesAreKeptOrPrefixedAndNeverOverrun) {
  EXPECT_STREQ(CCommPort("com5").deviceName, "com5");
  EXPECT_STREQ(CCommPort("COM12").deviceName, "COM12");
  EXPECT_STREQ(CCommPort("cOm3").deviceName, "cOm3");
  EXPECT_STREQ(CCommPort("ttyS0").deviceName, "\\\\?\\ttyS0");
  std::string com39 = "com" + std::string(36, '9'), other35(35, 'x');
  EXPECT_EQ(std::string(CCommPort(com39.c_str()).deviceName), com39);
  EXPECT_STREQ(CCommPort((com39 + "9").c_str()).deviceName, "") << "40 characters do not fit";
  EXPECT_EQ(std::string(CCommPort(other35.c_str()).deviceName), "\\\\?\\" + other35);
  EXPECT_STREQ(CCommPort((other35 + "x").c_str()).deviceName, "");
  CCommPort none(nullptr);
  EXPECT_STREQ(none.deviceName, "");
  EXPECT_EQ(none.Open(0), 0);
  EXPECT_EQ(none.handle, nullptr);
}

TEST(CCommPortTest, SettingsAreStoredByTheirRulesOnAClosedPort) {
  CCommPort port("com9", 9600, 'N', 8, 1);
  EXPECT_EQ(port.baudRate, 9600);
  EXPECT_EQ(port.byteSize, 8);
  EXPECT_EQ(port.parity, NOPARITY);
  EXPECT_EQ(port.stopBits, ONESTOPBIT);
  port.SetCommParms(19200, 'e', 7, 3);
  EXPECT_EQ(port.parity, NOPARITY) << "lower case is not a parity letter";
  EXPECT_EQ(port.stopBits, ONESTOPBIT) << "3 is not a stop count";
  EXPECT_EQ(port.baudRate, 19200);
  port.SetCommParms(19200, 'E', 7, 2);
  EXPECT_EQ(port.parity, EVENPARITY);
  EXPECT_EQ(port.stopBits, TWOSTOPBITS);
  port.SetCommParms(S("baud=4800 parity=o data=8 stop=1"));
  EXPECT_EQ(port.baudRate, 4800);
  EXPECT_EQ(port.parity, ODDPARITY);
  EXPECT_EQ(port.stopBits, ONESTOPBIT);
  port.SetCommParms(S("not a mode"));
  EXPECT_EQ(port.baudRate, 4800) << "a refused string changes nothing";
  EXPECT_EQ(CCommPort("com9", S("2400,m,8,2")).parity, MARKPARITY);
  EXPECT_EQ(CCommPort("com9", S("nonsense")).baudRate, 0);
  CCommPort unknown("com9", 1200, 'x', 8, 5);
  EXPECT_EQ(unknown.parity, NOPARITY);
  EXPECT_EQ(unknown.stopBits, ONESTOPBIT);
}

TEST(CCommPortTest, AClosedPortFailsItsTransfers) {
  CCommPort port("com9");
  char buffer[4] = "abc";
  EXPECT_EQ(port.Close(), 1);
  EXPECT_EQ(port.Read(buffer, 3, 0), -1);
  EXPECT_EQ(port.Write(buffer, 3, 0), -1);
  EXPECT_EQ(port.WriteString(buffer, 0), -1);
  port.SetTimeOut(5);
  port.FlushBuffers();
  EXPECT_EQ(port.handle, nullptr);
}

TEST(CCommPortTest, ACopyTakesTheSettingsButNoHandle) {
  CCommPort a("com7", 9600, 'E', 7, 2);
  CCommPort b(a);
  EXPECT_STREQ(b.deviceName, "com7");
  EXPECT_EQ(b.parity, EVENPARITY);
  EXPECT_NE(b.readEvent, a.readEvent);
  EXPECT_NE(b.writeEvent, a.writeEvent);
  EXPECT_EQ(b.readOverlapped.hEvent, b.readEvent);
  CCommPort c("com8");
  c = a;
  EXPECT_STREQ(c.deviceName, "com7");
  EXPECT_EQ(c.baudRate, 9600);
  EXPECT_NE(c.readEvent, a.readEvent);
  EXPECT_EQ(c.handle, nullptr);
}

// A socat pty pair linked as COM5 and COM6 of this prefix.
class SerialLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetFileAttributesA("Z:\\usr\\bin\\socat") == INVALID_FILE_ATTRIBUTES)
      GTEST_SKIP() << "socat is not installed: the serial line tests need it (apt-get install socat)";
    // The pty links live where both sides can name them.
    linux_ = "/tmp/ccommport-" + std::to_string(GetCurrentProcessId());
    windows_ = "Z:" + linux_;
    for (char& c : windows_)
      if (c == '/') c = '\\';
    ASSERT_TRUE(Shell("mkdir -p " + linux_ + " && (socat pty,raw,echo=0,link=" + linux_ + "/a pty,raw,echo=0,link=" +
                      linux_ + "/b >/dev/null 2>&1 & echo $! > " + linux_ + "/pid)"));
    for (int i = 0; i < 200 && GetFileAttributesA((windows_ + "\\b").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
      Sleep(20);
    ASSERT_TRUE(Shell("ln -sfn " + linux_ + "/a $WINEPREFIX/dosdevices/com5 && ln -sfn " + linux_ +
                      "/b $WINEPREFIX/dosdevices/com6"));
  }
  void TearDown() override {
    if (linux_.empty()) return;
    Shell("kill $(cat " + linux_ + "/pid); rm -rf " + linux_ + " $WINEPREFIX/dosdevices/com5 $WINEPREFIX/dosdevices/com6");
  }

  // What stty says of the first end.
  std::string Stty() { return ShellOutput("stty -F " + linux_ + "/a -a", linux_ + "/stty", windows_ + "\\stty"); }

  std::string linux_, windows_;
};

TEST_F(SerialLineTest, BytesCrossTheLineBothWays) {
  CCommPort port("COM5", 9600, 'N', 8, 1), other("com6");
  ASSERT_EQ(port.Open(0), 1);
  ASSERT_EQ(other.Open(0), 1);
  char out[] = "ping\0with a NUL";
  EXPECT_EQ(port.Write(out, int(sizeof out), 0), int(sizeof out));
  char in[64] = {};
  EXPECT_EQ(other.Read(in, int(sizeof out), 0), int(sizeof out));
  EXPECT_EQ(std::string(in, sizeof out), std::string(out, sizeof out));
  unsigned char reply[] = {0x00, 0xFF, 0x80, 'k'};
  EXPECT_EQ(other.Write(reply, 4, 0), 4);
  unsigned char got[4] = {};
  EXPECT_EQ(port.Read(got, 4, 0), 4);
  EXPECT_EQ(std::vector<unsigned char>(got, got + 4), std::vector<unsigned char>(reply, reply + 4));
  EXPECT_EQ(port.WriteString(S(""), 0), 0);
  EXPECT_EQ(port.WriteString(S("text"), 0), 4);
  EXPECT_EQ(other.Read(in, 4, 0), 4);
  EXPECT_NE(port.Close(), 0);
  EXPECT_EQ(port.handle, nullptr);
  EXPECT_EQ(port.Read(in, 1, 0), -1);
}

// Linux's pseudo-terminals keep cs8 and -parenb whatever is asked of them,
// so data bits and parity show only as Wine's input parity check (inpck).
TEST_F(SerialLineTest, TheLinuxEndSeesTheLineSettings) {
  CCommPort port("com5", 19200, 'E', 7, 2);
  ASSERT_EQ(port.Open(0), 1);
  std::string stty = Stty();
  EXPECT_NE(stty.find("speed 19200 baud"), std::string::npos) << stty;
  EXPECT_NE(stty.find(" cstopb "), std::string::npos) << stty;
  EXPECT_NE(stty.find(" inpck "), std::string::npos) << stty;
  port.SetCommParms(S("4800,n,8,1"));
  stty = Stty();
  EXPECT_NE(stty.find("speed 4800 baud"), std::string::npos) << stty;
  EXPECT_NE(stty.find(" -cstopb "), std::string::npos) << stty;
  EXPECT_NE(stty.find(" -inpck "), std::string::npos) << stty;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  GetCommState(port.handle, &dcb);
  EXPECT_EQ(dcb.BaudRate, 4800u);
  EXPECT_FALSE(dcb.fAbortOnError);
}

TEST_F(SerialLineTest, APortOpenedByNameAloneKeepsItsOwnSettings) {
  Shell("stty -F " + linux_ + "/a 2400 cstopb");
  CCommPort port("com5");
  ASSERT_EQ(port.Open(0), 1);
  std::string stty = Stty();
  EXPECT_NE(stty.find("speed 2400 baud"), std::string::npos) << stty;
  EXPECT_NE(stty.find(" cstopb "), std::string::npos) << stty;
  COMMTIMEOUTS t = {};
  GetCommTimeouts(port.handle, &t);
  EXPECT_EQ(t.ReadIntervalTimeout, 5000u);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 5000u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 5000u);
  port.SetTimeOut(0);
  GetCommTimeouts(port.handle, &t);
  EXPECT_EQ(t.ReadIntervalTimeout + t.ReadTotalTimeoutMultiplier + t.ReadTotalTimeoutConstant, 0u);
}

TEST_F(SerialLineTest, AReadEndsOnItsTimeOutWithAShortCount) {
  CCommPort port("com5", 9600, 'N', 8, 1), other("com6");
  ASSERT_EQ(port.Open(0), 1);
  ASSERT_EQ(other.Open(0), 1);
  port.SetTimeOut(20);  // 200 ms
  EXPECT_EQ(other.WriteString(S("abc"), 0), 3);
  char in[16] = {};
  DWORD start = GetTickCount();
  EXPECT_EQ(port.Read(in, 10, 0), 3);
  EXPECT_STREQ(in, "abc");
  EXPECT_LT(GetTickCount() - start, 20000u) << "the read ends on its time-out";
}

// A read that ends on its total time-out with nothing come is a short
// count of 0, not a failure; the bytes that come later are read later.
TEST_F(SerialLineTest, AReadThatTimesOutWithNothingReturnsZero) {
  CCommPort port("com5", 9600, 'N', 8, 1), other("com6");
  ASSERT_EQ(port.Open(0), 1);
  ASSERT_EQ(other.Open(0), 1);
  port.SetTimeOut(20);  // 200 ms
  char in[16] = {};
  EXPECT_EQ(port.Read(in, 10, 0), 0) << "nothing came before the time-out";
  EXPECT_EQ(other.WriteString(S("late"), 0), 4);
  std::string got;
  for (int tries = 0; tries < 50 && got.size() < 4; ++tries) {
    int n = port.Read(in, int(4 - got.size()), 0);
    ASSERT_GE(n, 0) << "a read that timed out failed";
    got.append(in, size_t(n));
  }
  EXPECT_EQ(got, "late");
}

TEST_F(SerialLineTest, FlushBuffersDiscardsPendingInput) {
  CCommPort port("com5", 9600, 'N', 8, 1), other("com6");
  ASSERT_EQ(port.Open(0), 1);
  ASSERT_EQ(other.Open(0), 1);
  port.SetTimeOut(20);
  EXPECT_EQ(other.WriteString(S("old"), 0), 3);
  // The old bytes must have arrived before they can be discarded.
  COMSTAT queued = {};
  DWORD errors = 0;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(5))
    if (ClearCommError(port.handle, &errors, &queued) && queued.cbInQue >= 3) break;
  ASSERT_EQ(queued.cbInQue, 3u) << "the old bytes never arrived";
  port.FlushBuffers();
  EXPECT_EQ(other.WriteString(S("new"), 0), 3);
  char in[16] = {};
  EXPECT_EQ(port.Read(in, 10, 0), 3);
  EXPECT_STREQ(in, "new");
}

}  // namespace
