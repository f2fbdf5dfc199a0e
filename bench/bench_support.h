#pragma once

#include <QByteArray>
#include <QFile>
#include <cstdio>

#include "common/prompt.h"
#include "print/print_target.h"

// Pieces every benchmark uses: the peak memory of the process and a prompt that prints what
// the program tells the user instead of showing it.

namespace tf::bench {

// Peak resident memory of this process so far, megabytes; -1 when it cannot be read.
inline double PeakRssMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

// Prints every message with the prefix and answers every question with `answer`; dialogs
// are cancelled.
class PrintingPrompt : public Prompt {
public:
    PrintingPrompt(bool answer, const char* prefix) : answer_(answer), prefix_(prefix) {}
    void Message(const QString& text, const QString&) override {
        std::printf("%smessage: %s\n", prefix_, qPrintable(text));
    }
    bool AskYesNo(const QString&, const QString&) override { return answer_; }
    std::optional<QString> InputText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<FieldFont> ChooseFont(const FieldFont&) override { return std::nullopt; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, QString*) override {
        return {};
    }
    bool ChoosePrinter(print::PrintTarget&) override { return false; }

private:
    bool answer_;
    const char* prefix_;
};

}  // namespace tf::bench
