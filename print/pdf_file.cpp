#include "print/pdf_file.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "common/temp_files.h"

namespace tf::print {

PdfFile::PdfFile(const QString& target) : target_(QFileInfo(target).absoluteFilePath()) {}

PdfFile::~PdfFile() {
    if (!committed_ && !temp_.isEmpty()) QFile::remove(temp_);
}

bool PdfFile::Open() {
    const QFileInfo info(target_);
    if (info.isDir()) return false;
    RemoveStaleTemporaries(info.absolutePath());
    QTemporaryFile file(TemporaryTemplate(target_, QStringLiteral(".pdf")));
    file.setAutoRemove(false);
    if (!file.open()) return false;
    temp_ = file.fileName();
    return true;
}

bool PdfFile::Commit() {
    if (temp_.isEmpty()) return false;
    // A text layer that cannot be corrected leaves the document as Qt wrote it: printed whole.
    text_.Correct(temp_);
    committed_ = ReplaceWithTemporary(temp_, target_);
    return committed_;
}

}  // namespace tf::print
