#pragma once

#include <QList>
#include <QQueue>
#include <QStringList>

#include "common/prompt.h"

namespace tf::test {

// A prompt that answers from queues filled by the test and records every text it was shown.
// With an empty queue it answers No / cancel and notes the unexpected question.
class ScriptedPrompt : public Prompt {
public:
    struct Shown {
        QString kind;  // "message", "question", "input", "font", "open", "save", "printer"
        QString text;
        QString title;
        QString defaultText;
    };

    QQueue<bool> yesNo;
    QQueue<std::optional<QString>> inputs;
    QQueue<std::optional<FieldFont>> fonts;
    QQueue<QString> files;
    // The filter entry each save dialog answers with; none queued: the dialog tells none.
    QQueue<QString> fileTypes;
    QQueue<bool> printers;

    QList<Shown> shown;
    QStringList unexpected;

    void Message(const QString& text, const QString& title = {}) override;
    bool AskYesNo(const QString& text, const QString& title = {}) override;
    std::optional<QString> InputText(const QString& prompt, const QString& title,
                                     const QString& defaultText) override;
    std::optional<FieldFont> ChooseFont(const FieldFont& preset) override;
    QString OpenFileName(const QString& title, const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& filter, const QString& suggested,
                         QString* chosenFilter) override;
    bool ChoosePrinter(print::PrintTarget& target) override;

    // Texts of one kind, in the order shown.
    QStringList Texts(const QString& kind) const;
    QStringList Messages() const { return Texts(QStringLiteral("message")); }
    QStringList Questions() const { return Texts(QStringLiteral("question")); }
    void Clear() {
        shown.clear();
        unexpected.clear();
    }

    FieldFont lastFontPreset;
};

}  // namespace tf::test
