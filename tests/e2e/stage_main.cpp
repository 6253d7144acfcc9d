// vnqrx_stage: stages an installation of the suite in the Wine prefix for the main-job
// demonstration, and reports what of it is there.
//   vnqrx_stage stage    creates the installation and the decoys, then reports
//   vnqrx_stage report   reports only
#include "Staging.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "stage") == 0) {
        RemoveInstallation();
        std::string error;
        if (!StageInstallation(error) || !StageDecoys(error)) {
            std::fprintf(stderr, "vnqrx_stage: %s\n", error.c_str());
            return 1;
        }
    } else if (!(argc == 2 && std::strcmp(argv[1], "report") == 0)) {
        std::fprintf(stderr, "usage: vnqrx_stage stage|report\n");
        return 2;
    }
    std::fputs(Report().c_str(), stdout);
    return 0;
}
