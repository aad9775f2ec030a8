#include "core/process.h"

#include <fcntl.h>
#include <unistd.h>

namespace skyrelay {

void MakeStandardDescriptorsValid() {
  for (int fd = 0; fd <= 2; fd++) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    // open() takes the lowest free descriptor: this one.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

}  // namespace skyrelay
