// The store on the Win32 registry sees HKEY_LOCAL_MACHINE\SOFTWARE as the 32-bit game and its
// installer do. Checked against the system's own reg.exe, a separate process, in the machine's
// real registry (below a key of the test's own, removed at the end).
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Win32Text.h"
#include "settings/KVXFile.h"

namespace qv {
namespace {

struct RegResult {
  DWORD exitCode = ~DWORD(0);
  std::string output;
};

// Runs reg.exe with the arguments and collects what it prints.
RegResult Reg(const std::string& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
    return {};
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  std::wstring command = platform::Widen("reg.exe " + arguments);
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  RegResult result;
  if (started) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
      result.output.append(buffer, n);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  } else {
    result.output = "reg.exe did not start";
  }
  CloseHandle(readEnd);
  return result;
}

class RegistryViews : public ::testing::Test {
protected:
  void SetUp() override {
    HKEY key = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, platform::Widen(path).c_str(), 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_ACCESS_DENIED)
      GTEST_SKIP() << "needs the right to write HKEY_LOCAL_MACHINE (an administrator)";
    ASSERT_EQ(status, ERROR_SUCCESS);
    RegCloseKey(key);
    RemoveFromBothViews();
  }
  void TearDown() override { RemoveFromBothViews(); }

  void RemoveFromBothViews() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY software = nullptr;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) ==
          ERROR_SUCCESS) {
        RegDeleteTreeW(software, platform::Widen(name).c_str());
        RegDeleteKeyExW(software, platform::Widen(name).c_str(), view, 0);
        RegCloseKey(software);
      }
    }
  }

  const std::string name = "Quorvel tests " + std::to_string(GetCurrentProcessId());
  const std::string path = "SOFTWARE\\" + name;
  const std::string regKey = "\"HKLM\\" + path + "\"";
};

TEST_F(RegistryViews, AValueTheStoreWritesIsWhereThe32BitViewHasIt) {
  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  store.WriteText("\\" + path + "\\1.0", "ExePath", "C:\\ONLINE\\UO\\client.exe");

  const RegResult in32 = Reg("query " + regKey + "\\1.0 /v ExePath /reg:32");
  EXPECT_EQ(in32.exitCode, 0u) << in32.output;
  EXPECT_NE(in32.output.find("C:\\ONLINE\\UO\\client.exe"), std::string::npos) << in32.output;
  const RegResult in64 = Reg("query " + regKey + "\\1.0 /v ExePath /reg:64");
  EXPECT_NE(in64.exitCode, 0u) << in64.output;
}

TEST_F(RegistryViews, TheStoreReadsWhatA32BitInstallerWroteNotThe64BitValue) {
  const RegResult add32 =
      Reg("add " + regKey + " /v ExePath /t REG_SZ /d \"D:\\Games\\UO\\client.exe\" /reg:32 /f");
  ASSERT_EQ(add32.exitCode, 0u) << add32.output;
  const RegResult add64 =
      Reg("add " + regKey + " /v ExePath /t REG_SZ /d \"E:\\Other\\client.exe\" /reg:64 /f");
  ASSERT_EQ(add64.exitCode, 0u) << add64.output;

  TKVXFile store("HKEY_LOCAL_MACHINE", skRegistry);
  EXPECT_EQ(store.ReadText("\\" + path, "ExePath", ""), "D:\\Games\\UO\\client.exe");
}

} // namespace
} // namespace qv
