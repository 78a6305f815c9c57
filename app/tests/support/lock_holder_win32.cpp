// On Windows the other program is hold_database.exe itself, started beside
// the tests as a product would be.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "jet/base/wide_text.h"
#include "lock_holder.h"

namespace dbrepair::testing {

namespace {

// Closing the program's standard input tells it to release what it holds
// and end.
class ChildProcess : public LockHolder {
 public:
  ChildProcess(HANDLE process, HANDLE release) : process_(process), release_(release) {}
  ~ChildProcess() override {
    ::CloseHandle(release_);
    ::WaitForSingleObject(process_, INFINITE);
    ::CloseHandle(process_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

 private:
  HANDLE process_;
  HANDLE release_;
};

// A pipe whose child's end (read or write) is inherited and whose own end
// is not.
struct Pipe {
  HANDLE read = nullptr, write = nullptr;
  explicit Pipe(bool child_reads) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    if (!::CreatePipe(&read, &write, &inherited, 0)) throw std::runtime_error("cannot make a pipe");
    ::SetHandleInformation(child_reads ? write : read, HANDLE_FLAG_INHERIT, 0);
  }
};

std::wstring ProgramBesideThisOne(const wchar_t* name) {
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

}  // namespace

std::unique_ptr<LockHolder> HoldNatively(const std::string& database) {
  Pipe input(true), output(false);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.read;
  startup.hStdOutput = output.write;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  const std::wstring program = ProgramBesideThisOne(L"hold_database.exe");
  std::wstring command = L"\"" + program + L"\" \"" + jet::widen(database) + L"\"";
  PROCESS_INFORMATION started{};
  const BOOL ok = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                   &startup, &started);
  ::CloseHandle(input.read);
  ::CloseHandle(output.write);
  if (!ok) {
    ::CloseHandle(input.write);
    ::CloseHandle(output.read);
    throw std::runtime_error("cannot start hold_database.exe");
  }
  ::CloseHandle(started.hThread);
  auto holder = std::make_unique<ChildProcess>(started.hProcess, input.write);

  // "ready\n" once the locks are held; the end of its output when it failed.
  std::string said;
  while (said.find('\n') == std::string::npos) {
    char buffer[64];
    DWORD got = 0;
    if (!::ReadFile(output.read, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
    said.append(buffer, got);
  }
  ::CloseHandle(output.read);
  if (said != "ready\n") throw std::runtime_error("hold_database.exe could not hold " + database);
  return holder;
}

std::string WhyWineCannotHold() {
  return "these tests run on Windows, where every holder is a Windows program already";
}

std::unique_ptr<LockHolder> HoldUnderWine(const std::string&, std::string& why_not) {
  why_not = WhyWineCannotHold();
  return nullptr;
}

}  // namespace dbrepair::testing
