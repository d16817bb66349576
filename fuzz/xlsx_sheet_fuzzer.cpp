// libFuzzer target: arbitrary worksheet and shared-string XML inside a valid package.
#include "xlsx_exercise.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!xlsxExerciseSheet(data, size))
        std::abort();
    return 0;
}
