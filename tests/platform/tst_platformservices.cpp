// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Locale service, the library's catalogue and the registration point; runs
// without any D-Bus session bus.

#include "librarycatalogue.h"
#include "localeservice.h"
#include "messagestatus.h"
#include "notification.h"
#include "notificationservice.h"
#include "platformservices.h"
#include "sendvalidator.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
class RecordingNotifications : public NotificationService
{
public:
    uint publish(const Notification &notification) override
    {
        published.append(notification);
        return 7;
    }
    QList<Notification> published;
};
} // namespace

class PlatformServicesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void localizesEveryDecimalDigit_data();
    void localizesEveryDecimalDigit();
    void libraryTextsAreReadableWithoutInstalledCatalogues();
    void userLanguageCatalogueWinsOverEngineeringEnglish();
    void everyFailureHasACatalogueText();
    void registeredServiceReplacesDefaultUntilDestroyed();
    void publishingWithoutSessionBusFailsQuietly();
};

void PlatformServicesTest::localizesEveryDecimalDigit_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("C keeps ASCII") << "C" << "+358 40-123" << "+358 40-123";
    QTest::newRow("English makes ASCII")
        << "en_GB" << QStringLiteral("+\u0663\u0665\u0668") << "+358";
    QTest::newRow("Arabic") << "ar_EG" << "+358 (40)"
                            << QStringLiteral("+\u0663\u0665\u0668 (\u0664\u0660)");
    QTest::newRow("Persian") << "fa_IR" << "12" << QStringLiteral("\u06f1\u06f2");
    QTest::newRow("not a number") << "ar_EG" << "alice@example.com" << "alice@example.com";
}

void PlatformServicesTest::localizesEveryDecimalDigit()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    LocaleService service;
    service.setLocale(QLocale(locale));
    QCOMPARE(service.toLocalizedNumbers(text), expected);
}

void PlatformServicesTest::libraryTextsAreReadableWithoutInstalledCatalogues()
{
    QTemporaryDir empty;
    PlatformServices::localeService()->setTranslationsDirectory(empty.path());
    QCOMPARE(LibraryCatalogue::trId("lxr_msg_error_sms_sending_failed").arg(QStringLiteral("123")),
             QStringLiteral("Sending message to 123 failed"));
    QCOMPARE(qtTrId("lxr_comm_type_home"), QStringLiteral("Home"));
    QVERIFY(PlatformServices::localeService()->isTrCatalogInstalled(QStringLiteral("messaging0")));
}

void PlatformServicesTest::userLanguageCatalogueWinsOverEngineeringEnglish()
{
    LibraryCatalogue::trId("lxr_comm_type_home"); // the default service's English first
    LocaleService finnish;
    finnish.setLocale(QLocale(QStringLiteral("fi_FI")));
    finnish.setTranslationsDirectory(QStringLiteral(TEST_TRANSLATIONS_DIR));
    QVERIFY(finnish.installTrCatalog(QStringLiteral("messaging0")));

    QCOMPARE(qtTrId("lxr_msg_error_sms_sending_failed").arg(QStringLiteral("1")),
             QStringLiteral("Viestin lähetys vastaanottajalle 1 epäonnistui"));
    QCOMPARE(qtTrId("lxr_comm_type_home"), QStringLiteral("Home"));
    QCOMPARE(MessageStatus::userText(MessageStatus::SendFailed), QStringLiteral("Viestiä ei voitu lähettää."));

    finnish.removeTrCatalog(QStringLiteral("messaging0"));
    QVERIFY(!finnish.isTrCatalogInstalled(QStringLiteral("messaging0")));
    QCOMPARE(qtTrId("lxr_msg_error_sms_sending_failed"),
             QStringLiteral("Sending message to %1 failed"));

    LocaleService nowhere;
    nowhere.setTranslationsDirectory(QStringLiteral(TEST_TRANSLATIONS_DIR));
    QVERIFY(!nowhere.installTrCatalog(QStringLiteral("no-such-catalogue")));
}

// A logical id missing from the catalogue would reach the screen as it is.
void PlatformServicesTest::everyFailureHasACatalogueText()
{
    const QMetaEnum statuses = QMetaEnum::fromType<MessageStatus::Code>();
    for (int i = 0; i < statuses.keyCount(); ++i) {
        const int status = statuses.value(i);
        const QString text = MessageStatus::userText(status);
        QVERIFY2(status == MessageStatus::Sent ? text.isNull() : !text.isEmpty() && !text.startsWith(QLatin1String("lxr_")),
                 statuses.key(i));
    }
    const QMetaEnum codes = QMetaEnum::fromType<SendValidator::FailureCode>();
    for (int i = 0; i < codes.keyCount(); ++i)
        QVERIFY2(!SendValidator::failureText(codes.value(i)).startsWith(QLatin1String("lxr_")), codes.key(i));
    QVERIFY(!MessageStatus::deliveryFailureText().startsWith(QLatin1String("lxr_")));
}

void PlatformServicesTest::registeredServiceReplacesDefaultUntilDestroyed()
{
    NotificationService *fallback = PlatformServices::notificationService();
    auto *recording = new RecordingNotifications;
    PlatformServices::setNotificationService(recording);

    Notification notification(QStringLiteral("x-tavik.messaging.error"), QString(), QString());
    notification.setBody(QStringLiteral("body"));
    QVERIFY(notification.publish());
    QCOMPARE(notification.id(), 7u);
    QCOMPARE(recording->published.size(), 1);
    QCOMPARE(recording->published.first().body(), QStringLiteral("body"));

    delete recording;
    QCOMPARE(PlatformServices::notificationService(), fallback);

    LocaleService locale;
    PlatformServices::setLocaleService(&locale);
    QCOMPARE(PlatformServices::localeService(), &locale);
    PlatformServices::setLocaleService(nullptr);
    QVERIFY(PlatformServices::localeService() != &locale);
}

void PlatformServicesTest::publishingWithoutSessionBusFailsQuietly()
{
    Notification notification(QStringLiteral("x"), QString(), QStringLiteral("b"));
    QVERIFY(!notification.publish());
    QCOMPARE(notification.id(), 0u);
    QVERIFY(PlatformServices::notificationService()->notifications().isEmpty());
}

QTEST_GUILESS_MAIN(PlatformServicesTest)
#include "tst_platformservices.moc"
