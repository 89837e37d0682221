#include "app/jetvane_app.h"
#include "platform/standard_descriptors.h"

#include <cstdlib>

namespace {

// Without the null device a closed standard descriptor cannot be filled: the X connection or
// a port could take its number and receive what is meant for standard error.
constexpr int kNoNullDeviceExitCode = EXIT_FAILURE;

CJetvaneApp theApp;

} // namespace

int main(int argc, char** argv)
{
    if (!platform::OpenClosedStandardDescriptors())
        return kNoNullDeviceExitCode;
    return theApp.InitInstance(argc, argv);
}
