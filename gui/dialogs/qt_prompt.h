#pragma once

#include <QPointer>
#include <QWidget>

#include "common/prompt.h"

namespace tf {

// The user-prompt seam on real Qt dialogs.
class QtPrompt : public Prompt {
public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Message(const QString& text, const QString& title = {}) override;
    bool AskYesNo(const QString& text, const QString& title = {}) override;
    std::optional<QString> InputText(const QString& prompt, const QString& title,
                                     const QString& defaultText) override;
    std::optional<QString> InputPassword(const QString& prompt, const QString& title) override;
    std::optional<FieldFont> ChooseFont(const FieldFont& preset) override;
    QString OpenFileName(const QString& title, const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& filter, const QString& suggested,
                         QString* chosenFilter) override;
    bool ChoosePrinter(print::PrintTarget& target) override;

private:
    std::optional<QString> InputLine(const QString& prompt, const QString& title,
                                     const QString& defaultText, bool hidden);
    QPointer<QWidget> parent_;
};

}  // namespace tf
