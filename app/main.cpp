#include "app/jetvane_app.h"

namespace {
CJetvaneApp theApp;
}

int main(int argc, char** argv)
{
    return theApp.InitInstance(argc, argv);
}
