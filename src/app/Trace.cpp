#include "app/Trace.h"

#include <QtGlobal>
#include <cstdio>

namespace uc {

void traceMoment(const char* moment) {
    static const bool enabled = qEnvironmentVariableIsSet("UC_TRACE");
    if (!enabled)
        return;
    std::fprintf(stderr, "unifica-contribuintes: %s\n", moment);
    std::fflush(stderr);
}

} // namespace uc
