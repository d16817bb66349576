// libFuzzer target: worksheet and shared-string XML read by the byte scanner and by the
// QXmlStreamReader reader it replaced; any difference in cells or refusals aborts.
#include "xlsx_reference_reader.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString difference;
    if (!QXlsx::xlsxReadersAgree(data, size, &difference)) {
        std::fprintf(stderr, "%s\n", qPrintable(difference.left(4000)));
        std::abort();
    }
    return 0;
}
