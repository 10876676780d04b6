// A stand-in for a program the About box starts: it leaves the file
// "<its own path>.ran" holding the command line it was given, then ends.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

}  // namespace

int main() {
  std::wstring self(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, self.data(), MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return 1;
  }
  self.resize(length);
  const std::wstring done = self + L".ran";
  const std::wstring partial = self + L".part";

  const wchar_t* commandLine = GetCommandLineW();
  const int size = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
  std::string text(size > 0 ? static_cast<std::size_t>(size) : 0U, '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, text.data(), size, nullptr, nullptr);
    text.pop_back();  // the terminator
  }
  {
    const UniqueHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
      return 2;
    }
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  // The test sees the file appear complete.
  return MoveFileExW(partial.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE ? 0 : 3;
}
