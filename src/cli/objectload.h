#pragma once
// One object's dataset as keli-calc calculates it: loaded without rewriting the source, with the
// period and the dialog's inputs the options give.

#include "cliopts.h"

#include "core/dataset.h"

// Loads source and sets the period (as given, else as stored), the correction factors, the
// releases and the report choices, bounded as the dialog's fields bound them. False with a
// sentence when it cannot be calculated (missing, unreadable, no period).
bool loadObject(const CliOptions &opt, const QString &source, keli::Dataset *ds, QString *error);
