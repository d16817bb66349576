#pragma once
// Where the file dialogs start and the name they offer a new source workbook.

#include <QString>

namespace keli {

class Settings;

// The folder of the last source workbook opened or saved, while it exists; else the working folder.
QString sourceFolder(const Settings &settings);

// The file a new source workbook is offered in folder: the object's name with ".xlsx", the
// characters a file name cannot hold replaced by "_"; "Новый.xlsx" when the name is blank.
QString proposedWorkbookPath(const QString &folder, const QString &objectName);

} // namespace keli
