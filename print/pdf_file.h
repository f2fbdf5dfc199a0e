#pragma once

#include <QString>

#include "print/pdf_text.h"

namespace tf::print {

// A PDF document printed to a file. Qt writes it under a temporary name beside the target;
// once complete, its text layer is corrected and it is renamed over the target. Until then an
// older file of that name stays whole, and a document never completed leaves nothing behind.
class PdfFile {
public:
    explicit PdfFile(const QString& target);
    ~PdfFile();
    PdfFile(const PdfFile&) = delete;
    PdfFile& operator=(const PdfFile&) = delete;

    // Removes the leftovers of earlier runs from the target's folder and reserves the
    // temporary file. False when the folder takes no file.
    bool Open();
    const QString& Target() const { return target_; }
    const QString& TempPath() const { return temp_; }
    PdfTextLayer& Text() { return text_; }

    // Corrects the text layer of the finished document and renames it over the target.
    // False when it could not take the target's place.
    bool Commit();

private:
    QString target_;
    QString temp_;
    bool committed_ = false;
    PdfTextLayer text_;
};

}  // namespace tf::print
