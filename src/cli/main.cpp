#include "cli/TvCli.h"
#include "cli/TvLineReader.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {

// A standard descriptor that was closed (<&-) is taken by /dev/null opened the other way round,
// so that no file the tool opens lands on it and using it still fails with EBADF, as on the
// closed descriptor.
void ReserveClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    ReserveClosedStandardDescriptors();
    // The streams are used alone, so they need not keep in step with C stdio.
    std::ios::sync_with_stdio(false);
    // Standard input through a buffer that reports a read error as one, not as the end.
    tv::TFdInputBuffer inBuffer(STDIN_FILENO);
    std::istream in(&inBuffer);
    const int status = tv::RunCli(argc, argv, std::cout, std::cerr, in);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "tenvari-cli: cannot write the output\n";
        return status == tv::kExitOk ? tv::kExitFailed : status;
    }
    return status;
}
