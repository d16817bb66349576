#pragma once
// The parts of a new, minimal workbook with one empty sheet "Лист1".

namespace QXlsx {

class ZipPackage;

void addNewPackageParts(ZipPackage *package);

} // namespace QXlsx
