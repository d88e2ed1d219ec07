// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_LOCALESERVICE_H
#define MESSAGING0_LOCALESERVICE_H

#include "messaging0global.h"

#include <QLocale>
#include <QObject>

class LocaleServicePrivate;

//! Digits and translation catalogues for user-visible texts.
//!
//! The default implementation uses QLocale for digits and QTranslator for
//! catalogues: installing catalogue "name" installs the engineering-English
//! "name_eng_en.qm" (readable texts for every logical id) and, when present,
//! "name_<locale>.qm" for the user's language, both from
//! translationsDirectory(). Texts are then looked up with qtTrId().
//!
//! A device with its own localisation subclasses this and registers the
//! subclass with PlatformServices::setLocaleService().
class MESSAGING0_EXPORT LocaleService : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(LocaleService)

public:
    //! Uses QLocale() (the process's default locale).
    explicit LocaleService(QObject *parent = nullptr);
    ~LocaleService() override;

    //! The locale of digits and catalogues.
    QLocale locale() const;
    //! Takes effect for digits at once and for catalogues installed later.
    void setLocale(const QLocale &locale);

    //! Every decimal digit (of any script) written in the locale's digits;
    //! everything else unchanged. "+358 40" stays ASCII in English and
    //! becomes Arabic-Indic in Arabic.
    virtual QString toLocalizedNumbers(const QString &text) const;

    //! Installs the catalogue once; true when at least one file was loaded.
    //! Needs a QCoreApplication.
    virtual bool installTrCatalog(const QString &catalogue);
    //! Removes an installed catalogue.
    virtual void removeTrCatalog(const QString &catalogue);
    //! The catalogue is installed.
    bool isTrCatalogInstalled(const QString &catalogue) const;

    //! Where catalogues are looked for: the one set here, else the
    //! MESSAGING0_TRANSLATIONS_DIR environment variable, else the installed
    //! location. The library's own engineering English is built in as well.
    QString translationsDirectory() const;
    //! Sets where catalogues are looked for; an empty string restores the default.
    void setTranslationsDirectory(const QString &directory);

private:
    Q_DISABLE_COPY(LocaleService)
    LocaleServicePrivate *const d_ptr;
};

#endif // MESSAGING0_LOCALESERVICE_H
