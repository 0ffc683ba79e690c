// The stand-ins of this folder against the cases the Wine suite checks on the
// platform (tests/fuzz/standin_cases.h): scripts/fuzz.sh --build runs it after the
// build, so fuzz targets never run on stand-ins that answer otherwise.
#include <stdio.h>

#include "../../tests/fuzz/standin_cases.h"

namespace {

int s_failures;

void Failed(const char* table, int index)
{
    fprintf(stderr, "stand-in differs from the platform: %s, case %d\n", table, index);
    ++s_failures;
}

} // namespace

int main()
{
    standin::CheckEveryCase(Failed, false);
    if (!s_failures)
        printf("the stand-ins answer every case as the platform does\n");
    return s_failures ? 1 : 0;
}
