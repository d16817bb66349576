// libFuzzer target: sheet XML and edits written by the byte writer and by the writer it replaced;
// what is written must read back as written, and as the reference's output reads.
#include "xlsx_write_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString difference;
    if (!QXlsx::xlsxWritersAgree(data, size, &difference)) {
        std::fprintf(stderr, "%s\n", qPrintable(difference.left(6000)));
        std::abort();
    }
    return 0;
}
