#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "jet/base/file_lock.h"
#include "lock_holder.h"

extern char** environ;

namespace dbrepair::testing {

namespace {

// A child process whose standard input is the read end of a pipe: closing
// the write end tells it to release what it holds and end.
class ChildProcess : public LockHolder {
 public:
  ChildProcess(pid_t pid, int release) : pid_(pid), release_(release) {}
  ~ChildProcess() override {
    ::close(release_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }

 private:
  pid_t pid_;
  int release_;
};

struct Pipe {
  int read = -1, write = -1;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    read = fds[0];
    write = fds[1];
  }
};

std::string Environment(const char* name, const char* otherwise) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : otherwise;
}

}  // namespace

std::unique_ptr<LockHolder> HoldNatively(const std::string& database) {
  const std::string lock_file = jet::lock_file_path(database);
  Pipe ready, release;
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("cannot fork");
  if (pid == 0) {
    // Only async-signal-safe calls from here on. The parent's ends are
    // closed, so that the release pipe reads its end when the parent closes.
    ::close(ready.read);
    ::close(release.write);
    int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT, 0644);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 64;
    if (fd < 0 || ::fcntl(fd, F_SETLK, &lock) != 0) ::_exit(1);
    if (::write(ready.write, "r", 1) != 1) ::_exit(1);
    char c;
    while (::read(release.read, &c, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(ready.write);
  ::close(release.read);
  char c = 0;
  bool held = ::read(ready.read, &c, 1) == 1;
  ::close(ready.read);
  auto holder = std::make_unique<ChildProcess>(pid, release.write);
  if (!held) throw std::runtime_error("the holding process could not lock " + lock_file);
  return holder;
}

std::string WhyWineCannotHold() {
  const std::string wine = WINE64_PROGRAM;
  const std::string program = HOLD_DATABASE_EXE;
  if (wine.empty() || ::access(wine.c_str(), X_OK) != 0) return "wine64 is not installed";
  if (program.empty() || ::access(program.c_str(), R_OK) != 0) {
    return "hold_database.exe was not built (no mingw-w64 cross compiler)";
  }
  return "";
}

std::unique_ptr<LockHolder> HoldUnderWine(const std::string& database, std::string& why_not) {
  why_not = WhyWineCannotHold();
  if (!why_not.empty()) return nullptr;
  const std::string wine = WINE64_PROGRAM;
  const std::string program = HOLD_DATABASE_EXE;
  // Wine's drive Z: is the root of the Unix file system.
  std::string windows_path = "Z:" + database;
  for (char& c : windows_path) c = c == '/' ? '\\' : c;

  Pipe input, output;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input.read, 0);
  posix_spawn_file_actions_adddup2(&actions, output.write, 1);
  std::vector<std::string> settings = {"WINEPREFIX=" + Environment("DBREPAIR_TEST_WINEPREFIX", WINE_TEST_PREFIX),
                                       "WINEDEBUG=-all", "HOME=" + Environment("HOME", "/tmp"),
                                       "PATH=" + Environment("PATH", "/usr/bin:/bin")};
  std::vector<char*> env;
  for (std::string& setting : settings) env.push_back(setting.data());
  env.push_back(nullptr);
  std::vector<std::string> args = {wine, program, windows_path};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int spawned = ::posix_spawn(&pid, wine.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(input.read);
  ::close(output.write);
  if (spawned != 0) {
    ::close(input.write);
    ::close(output.read);
    why_not = "wine64 could not be started";
    return nullptr;
  }
  auto holder = std::make_unique<ChildProcess>(pid, input.write);

  // "ready\n" once the locks are held. Wine's server may keep the pipe open
  // after the program failed, so the wait has a bound (a first run also
  // makes the Wine prefix, which takes a while).
  std::string said;
  pollfd wait_for{output.read, POLLIN, 0};
  while (said.find('\n') == std::string::npos && ::poll(&wait_for, 1, 300000) == 1) {
    char buffer[64];
    ssize_t got = ::read(output.read, buffer, sizeof buffer);
    if (got <= 0) break;
    said.append(buffer, static_cast<size_t>(got));
  }
  ::close(output.read);
  if (said != "ready\n") {
    why_not = "hold_database.exe did not report holding the database under wine64";
    return nullptr;
  }
  return holder;
}

}  // namespace dbrepair::testing
