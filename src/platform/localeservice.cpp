// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "localeservice.h"

#include "messaginglogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QTranslator>
#include <QVector>

// Q_INIT_RESOURCE cannot be used inside a namespace.
static void initBuiltInTranslations()
{
    // The static test archive would drop the resource object otherwise.
    Q_INIT_RESOURCE(messaging0_translations);
}

namespace {
// The library's engineering English is compiled in here, so readable texts
// do not depend on an installed file.
const QString BuiltInDirectory = QStringLiteral(":/messaging0/translations");
const QString EngineeringEnglish = QStringLiteral("_eng_en");
} // namespace

class LocaleServicePrivate
{
public:
    struct Catalogue
    {
        QPointer<QTranslator> engineeringEnglish;
        QPointer<QTranslator> translation;
    };

    QLocale locale;
    QString directory;
    QHash<QString, Catalogue> catalogues;
};

LocaleService::LocaleService(QObject *parent)
    : QObject(parent)
    , d_ptr(new LocaleServicePrivate)
{
    initBuiltInTranslations();
}

LocaleService::~LocaleService()
{
    // The translators are children: deleting them uninstalls them.
    delete d_ptr;
}

QLocale LocaleService::locale() const
{
    Q_D(const LocaleService);
    return d->locale;
}

void LocaleService::setLocale(const QLocale &locale)
{
    Q_D(LocaleService);
    d->locale = locale;
}

QString LocaleService::toLocalizedNumbers(const QString &text) const
{
    Q_D(const LocaleService);
    const uint zero = d->locale.zeroDigit().unicode();
    QString result;
    result.reserve(text.size());
    const QVector<uint> ucs4 = text.toUcs4();
    for (uint c : ucs4) {
        if (QChar::category(c) == QChar::Number_DecimalDigit)
            c = zero + uint(QChar::digitValue(c));
        result += QString::fromUcs4(&c, 1);
    }
    return result;
}

bool LocaleService::installTrCatalog(const QString &catalogue)
{
    Q_D(LocaleService);
    if (d->catalogues.contains(catalogue))
        return true;
    if (!QCoreApplication::instance()) {
        qCWarning(lcPlatform) << "no application object, catalogue not installed:" << catalogue;
        return false;
    }

    const QString directory = translationsDirectory();
    LocaleServicePrivate::Catalogue entry;

    auto *english = new QTranslator(this);
    if (english->load(catalogue + EngineeringEnglish, directory)
        || english->load(catalogue + EngineeringEnglish, BuiltInDirectory)) {
        // Installed first so that the user's language is searched before it.
        QCoreApplication::installTranslator(english);
        entry.engineeringEnglish = english;
    } else {
        delete english;
    }

    auto *translation = new QTranslator(this);
    if (translation->load(d->locale, catalogue, QStringLiteral("_"), directory)
        && !QFileInfo(translation->filePath()).baseName().endsWith(EngineeringEnglish)) {
        QCoreApplication::installTranslator(translation);
        entry.translation = translation;
    } else {
        delete translation;
    }

    if (!entry.engineeringEnglish && !entry.translation) {
        qCWarning(lcPlatform) << "no catalogue" << catalogue << "in" << directory;
        return false;
    }
    d->catalogues.insert(catalogue, entry);
    return true;
}

void LocaleService::removeTrCatalog(const QString &catalogue)
{
    Q_D(LocaleService);
    const LocaleServicePrivate::Catalogue entry = d->catalogues.take(catalogue);
    delete entry.engineeringEnglish.data();
    delete entry.translation.data();
}

bool LocaleService::isTrCatalogInstalled(const QString &catalogue) const
{
    Q_D(const LocaleService);
    return d->catalogues.contains(catalogue);
}

QString LocaleService::translationsDirectory() const
{
    Q_D(const LocaleService);
    if (!d->directory.isEmpty())
        return d->directory;
    const QString fromEnvironment = qEnvironmentVariable("MESSAGING0_TRANSLATIONS_DIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral(MESSAGING0_TRANSLATIONS_INSTALL_DIR);
}

void LocaleService::setTranslationsDirectory(const QString &directory)
{
    Q_D(LocaleService);
    d->directory = directory;
}
