#include "shell/language.h"

#include "shell/settings/program_settings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdlib>
#include <optional>

namespace zorvan {

namespace {

Language current = Language::Chinese;
QTranslator* ours = nullptr;
QTranslator* qts = nullptr;

std::optional<Language> named(const std::string& text) {
    if (text.rfind("zh", 0) == 0) return Language::Chinese;
    if (text.rfind("en", 0) == 0) return Language::English;
    return std::nullopt;
}

// The desktop's language as the C library sees it: LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG, the first that is set.
std::string desktopLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return QLocale::system().name().toStdString();
}

void replace(QTranslator*& slot, const QString& file, const QString& folder) {
    if (slot) {
        QCoreApplication::removeTranslator(slot);
        delete slot;
        slot = nullptr;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(file, folder)) {
        QCoreApplication::installTranslator(translator);
        slot = translator;
    } else {
        delete translator;
    }
}

}  // namespace

Language chooseLanguage(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--lang" && i + 1 < args.size())
            if (const auto language = named(args[i + 1])) return *language;
        if (args[i].rfind("--lang=", 0) == 0)
            if (const auto language = named(args[i].substr(7))) return *language;
    }
    if (const auto chosen = named(programSettings().value(QStringLiteral("ui/language")).toString().toStdString()))
        return *chosen;
    const std::string desktop = desktopLanguage();
    // The first of a LANGUAGE list ("de:en") decides; C and POSIX are the bare machine's.
    const std::string first = desktop.substr(0, desktop.find(':'));
    if (first.empty() || first == "C" || first.rfind("C.", 0) == 0 || first == "POSIX") return Language::Chinese;
    return named(first).value_or(Language::English);
}

void useLanguage(Language language) {
    current = language;
    if (language == Language::English) {
        replace(ours, QStringLiteral("zorvan_en"), QStringLiteral(":/i18n"));
        replace(qts, QString(), QString());  // Qt's buttons speak English by themselves
    } else {
        replace(ours, QString(), QString());
        replace(qts, QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
}

Language languageInUse() { return current; }

}  // namespace zorvan
