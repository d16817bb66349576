// Placeholder until the calculation press is built.
#include "fvid.h"

void FVid::on_raschet_clicked() {}
