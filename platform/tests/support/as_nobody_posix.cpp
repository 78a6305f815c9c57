#include <sys/wait.h>
#include <unistd.h>

#include "as_nobody.h"

namespace dbrepair::testing {

std::optional<int> AsNobody(const std::function<int()>& body) {
  if (::geteuid() != 0) return std::nullopt;
  pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    if (::setresgid(kNobody, kNobody, kNobody) != 0 || ::setresuid(kNobody, kNobody, kNobody) != 0) ::_exit(255);
    ::_exit(body() & 0xff);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace dbrepair::testing
