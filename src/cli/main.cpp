#include "cli/TvCli.h"

#include <iostream>

int main(int argc, char** argv) {
    // The streams are used alone, so they need not keep in step with C stdio.
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    const int status = tv::RunCli(argc, argv, std::cout, std::cerr, std::cin);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "tenvari-cli: cannot write the output\n";
        return status == tv::kExitOk ? tv::kExitFailed : status;
    }
    return status;
}
