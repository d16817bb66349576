// libFuzzer target: opening, reading, writing and saving a package made of arbitrary bytes.
#include "xlsx_exercise.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!xlsxExercise(data, size))
        std::abort();
    return 0;
}
