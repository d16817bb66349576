// Placeholder until the table editor is built.
#include "fvid.h"

void FVid::on_pbPost_clicked() {}
void FVid::on_pbOtp_clicked() {}
void FVid::on_pbOtps_clicked() {}
void FVid::openTableEditor(int) {}
void FVid::rav(Tabl &) {}
