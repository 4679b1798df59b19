#include "ui/shell/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// The translators installed last, so that a second call replaces them instead of stacking.
const char* const kInstalledName = "QuorlinInstalledTranslator";

void RemoveInstalled() {
    for (QTranslator* old : QCoreApplication::instance()->findChildren<QTranslator*>(
             QLatin1String(kInstalledName), Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
}

bool Install(const QLocale& locale, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    translator->setObjectName(QLatin1String(kInstalledName));
    if (translator->load(locale, name, QStringLiteral("_"), folder) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

}  // namespace

bool InstallTranslations(const QLocale& locale) {
    RemoveInstalled();
    // Qt's first, ours after it: the translator installed last is asked first.
    Install(locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return Install(locale, QStringLiteral("quorlin"), QStringLiteral(":/i18n"));
}
