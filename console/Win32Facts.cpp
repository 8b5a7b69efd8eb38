#include "console/Win32Facts.h"

#include <optional>
#include <string>
#include <vector>

#include "console/Win32Console.h"
#include "settingsfile/ProgramSettingKeys.h"

namespace {

const wchar_t* const SettingsKey = L"Software\\orbi7prog\\orbi7prog";
// A value that grows between the two calls is asked for again, a few times at most.
constexpr int SizeAttempts = 3;

LONG(WINAPI* NtdllRtlGetVersion())(PRTL_OSVERSIONINFOW) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  // Through void (*)(), which any function pointer may be cast from and to.
  return reinterpret_cast<LONG(WINAPI*)(PRTL_OSVERSIONINFOW)>(
      reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
}

// One string value; nothing when it was never kept, the error's number when it cannot be
// read.
std::optional<std::string> RegistryValue(const TFactCalls& calls, const std::string& key) {
  const std::size_t slash = key.rfind('/');
  std::wstring subKey = SettingsKey;
  if (slash != std::string::npos) subKey += L"\\" + Utf16(key.substr(0, slash));
  const std::wstring name = Utf16(slash == std::string::npos ? key : key.substr(slash + 1));
  std::vector<wchar_t> data(256);
  LSTATUS status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < SizeAttempts && status == ERROR_MORE_DATA; ++attempt) {
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status =
        calls.RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &size);
    if (status == ERROR_SUCCESS) {
      // The size counts the terminating zero, which RRF_RT_REG_SZ makes sure of.
      const std::size_t length = size / sizeof(wchar_t);
      return Utf8(std::wstring(data.data(), length > 0 ? length - 1 : 0).c_str());
    }
    if (status == ERROR_MORE_DATA) data.resize(size / sizeof(wchar_t) + 1);
  }
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  return "(не прочитано, ошибка " + std::to_string(status) + ")";
}

}  // namespace

const TFactCalls& SystemFactCalls() {
  static const TFactCalls calls{NtdllRtlGetVersion(), ::RegGetValueW};
  return calls;
}

std::string WindowsVersionText(const TFactCalls& calls) {
  RTL_OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (calls.RtlGetVersion == nullptr || calls.RtlGetVersion(&info) != 0) return "Windows (версия не определена)";
  std::string text = "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
                     "." + std::to_string(info.dwBuildNumber);
  if (info.szCSDVersion[0] != L'\0') text += " " + Utf8(info.szCSDVersion);
  return text;
}

TKeptSettings RegistrySettings(const TFactCalls& calls) {
  TKeptSettings kept;
  for (const char* key : DiagnosedSettingKeys) {
    if (const std::optional<std::string> value = RegistryValue(calls, key)) kept.emplace_back(key, *value);
  }
  return kept;
}

std::string SystemVersionText() { return WindowsVersionText(SystemFactCalls()); }

TKeptSettings KeptWindowSettings() { return RegistrySettings(SystemFactCalls()); }
