#include "support/scripted_prompt.h"

namespace tf::test {

void ScriptedPrompt::Message(const QString& text, const QString& title) {
    shown.append({QStringLiteral("message"), text, title, {}});
}

bool ScriptedPrompt::AskYesNo(const QString& text, const QString& title) {
    shown.append({QStringLiteral("question"), text, title, {}});
    if (yesNo.isEmpty()) {
        unexpected.append(text);
        return false;
    }
    return yesNo.dequeue();
}

std::optional<QString> ScriptedPrompt::InputText(const QString& prompt, const QString& title,
                                                 const QString& defaultText) {
    shown.append({QStringLiteral("input"), prompt, title, defaultText});
    if (inputs.isEmpty()) {
        unexpected.append(prompt);
        return std::nullopt;
    }
    return inputs.dequeue();
}

std::optional<FieldFont> ScriptedPrompt::ChooseFont(const FieldFont& preset) {
    shown.append({QStringLiteral("font"), preset.family, {}, {}});
    lastFontPreset = preset;
    if (fonts.isEmpty()) {
        unexpected.append(QStringLiteral("font"));
        return std::nullopt;
    }
    return fonts.dequeue();
}

QString ScriptedPrompt::OpenFileName(const QString& title, const QString& filter) {
    shown.append({QStringLiteral("open"), filter, title, {}});
    if (files.isEmpty()) {
        unexpected.append(title);
        return {};
    }
    return files.dequeue();
}

QString ScriptedPrompt::SaveFileName(const QString& title, const QString& filter,
                                     const QString& suggested, QString* chosenFilter) {
    shown.append({QStringLiteral("save"), filter, title, suggested});
    const QString type = fileTypes.isEmpty() ? QString() : fileTypes.dequeue();
    if (chosenFilter) *chosenFilter = type;
    if (files.isEmpty()) {
        unexpected.append(title);
        return {};
    }
    return files.dequeue();
}

bool ScriptedPrompt::ChoosePrinter(print::PrintTarget&) {
    shown.append({QStringLiteral("printer"), {}, {}, {}});
    if (printers.isEmpty()) {
        unexpected.append(QStringLiteral("printer"));
        return false;
    }
    return printers.dequeue();
}

QStringList ScriptedPrompt::Texts(const QString& kind) const {
    QStringList out;
    for (const Shown& s : shown)
        if (s.kind == kind) out.append(s.text);
    return out;
}

}  // namespace tf::test
