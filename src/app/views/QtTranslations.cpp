#include "app/views/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>
#include <optional>

namespace upkeep::app::views {

const char* qtLocaleName(resources::Table table) {
    using resources::Table;
    switch (table) {
        case Table::EnglishUS:
            return "en_US";
        case Table::German:
            return "de_DE";
        case Table::SpanishTraditional:
        case Table::SpanishModern:
            return "es_ES";
        case Table::French:
            return "fr_FR";
        case Table::Italian:
            return "it_IT";
        case Table::Japanese:
            return "ja_JP";
        case Table::Korean:
            return "ko_KR";
        case Table::PortugueseBrazil:
            return "pt_BR";
        case Table::ChineseTraditional:
            return "zh_TW";
        case Table::ChineseSimplified:
            return "zh_CN";
    }
    return "en_US";
}

void followStringTable() {
    static std::optional<resources::Table> loaded;
    static std::unique_ptr<QTranslator> translator;
    const resources::Table table = resources::currentTable();
    if (loaded == table || !QCoreApplication::instance())
        return;
    loaded = table;
    const QLocale locale(QString::fromLatin1(qtLocaleName(table)));
    QLocale::setDefault(locale);
    if (translator)
        QCoreApplication::removeTranslator(translator.get());
    translator = std::make_unique<QTranslator>();
    if (table != resources::Table::EnglishUS &&
        translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator.get());
}

}  // namespace upkeep::app::views
