#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "common/field_font.h"

// Everything that asks the user something goes through this interface, so that tests can
// answer in advance and check the exact texts shown.

namespace tf::print {
class PrintTarget;
}

namespace tf {

inline QString ProgramTitle() {
    return QStringLiteral("Tallyform");
}

class Prompt {
public:
    virtual ~Prompt() = default;
    // A notice with an OK button. An empty title shows the program's title.
    virtual void Message(const QString& text, const QString& title = {}) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const QString& text, const QString& title = {}) = 0;
    // A line of text; nullopt when cancelled.
    virtual std::optional<QString> InputText(const QString& prompt, const QString& title,
                                             const QString& defaultText) = 0;
    // A password, typed without showing it; nullopt when cancelled. A prompt that cannot
    // hide what is typed asks for a line of text.
    virtual std::optional<QString> InputPassword(const QString& prompt, const QString& title) {
        return InputText(prompt, title, {});
    }
    // The font dialog; nullopt when cancelled.
    virtual std::optional<FieldFont> ChooseFont(const FieldFont& preset) = 0;
    // File dialogs; an empty text when cancelled. The save dialog puts the entry of the
    // filter the user chose into chosenFilter, when given ("" when the dialog tells none).
    virtual QString OpenFileName(const QString& title, const QString& filter) = 0;
    virtual QString SaveFileName(const QString& title, const QString& filter,
                                 const QString& suggested, QString* chosenFilter = nullptr) = 0;
    // The printer dialog; false when cancelled.
    virtual bool ChoosePrinter(print::PrintTarget& target) = 0;
};

// Asks nothing: every question is answered No or cancelled, and messages go unseen. It
// stands in where no one can be asked.
class NullPrompt final : public Prompt {
public:
    void Message(const QString&, const QString& = {}) override {}
    bool AskYesNo(const QString&, const QString& = {}) override { return false; }
    std::optional<QString> InputText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<FieldFont> ChooseFont(const FieldFont&) override { return std::nullopt; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, QString*) override {
        return {};
    }
    bool ChoosePrinter(print::PrintTarget&) override { return false; }
};

}  // namespace tf
