// Stand-in for the workbook layer until its readers are built: every workbook fails to open.
#include "history/workbook/workbook.h"

namespace tf::workbook {

WorkbookError::WorkbookError(int number, QString detail)
    : number_(number), detail_(std::move(detail)), what_(detail_.toStdString()) {}

QString ColumnLetters(int n) {
    QString s;
    for (; n > 0; n = (n - 1) / 26) s.prepend(QChar(u'A' + (n - 1) % 26));
    return s;
}

std::unique_ptr<WorkbookReader> OpenWorkbook(const QString& path) {
    throw WorkbookError(kCannotOpen, path);
}

}  // namespace tf::workbook
