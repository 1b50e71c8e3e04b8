#include "app/program_routines.h"

#include <cstdlib>

int main(int argc, char** argv) {
    // The media backend this program is built and tested with.
    setenv("QT_MEDIA_BACKEND", "gstreamer", 0);
    return zorvan::programStart(argc, argv, zorvan::programStartupSteps());
}
