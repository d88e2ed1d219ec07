// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_BANNERSERVICE_H
#define MESSAGING0_BANNERSERVICE_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class BannerServicePrivate;

//! A short message that shows for a moment and goes by itself, e.g. the
//! "InformationBanner" that says an account is disabled.
//!
//! The default implementation publishes a transient freedesktop notification
//! (hint "transient" true, the style name as its "category"). Create banners
//! with PlatformServices::createBanner(); replace them through
//! PlatformServices::setBannerFactory().
class MESSAGING0_EXPORT BannerService : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(BannerService)

public:
    //! An empty banner; use PlatformServices::createBanner() to get the registered kind.
    explicit BannerService(QObject *parent = nullptr);
    ~BannerService() override;

    //! The banner's style, such as "InformationBanner".
    QString styleName() const;
    //! Sets the banner's style.
    void setStyleName(const QString &styleName);
    //! The text shown.
    QString title() const;
    //! Sets the text shown.
    void setTitle(const QString &title);

    //! Shows the banner; with deleteWhenDone the object deletes itself once
    //! it was handed over (or could not be).
    virtual void appear(bool deleteWhenDone = true);

Q_SIGNALS:
    //! The banner was handed to the platform (shown is false when it could not be).
    void appeared(bool shown);

protected:
    BannerServicePrivate *const d_ptr;

private:
    Q_DISABLE_COPY(BannerService)
};

#endif // MESSAGING0_BANNERSERVICE_H
