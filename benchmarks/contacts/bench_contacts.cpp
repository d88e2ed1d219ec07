// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Figures for the contacts layer on the memory engine: resolving the members
// of a 200-person group chat, phone-context labels for 20 tracked ids, and
// the contacts of one conversation partner (ServiceSpecificContactFetcher).
//
// Address book: N contacts, each with three phone numbers (mobile, home,
// work; one of them in national form) and two online accounts (one on the
// chat's account, one elsewhere). Group: 100 phone numbers and 100 IM ids;
// 80 of each are in the address book. Times are medians of several runs,
// after one warm-up run (the first run fills the phone-number parse cache;
// its figure is printed as "cold"). Each size also checks matchContact
// against a plain walk over every detail of the same results.

#include "benchstats.h"
#include "contactresolver.h"
#include "contacts/addressbook.h"
#include "phonecontextmanager.h"
#include "platform/phonenumberutils.h"
#include "servicespecificcontactfetcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <QtContacts/QContactFetchRequest>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactName>
#include <QtContacts/QContactOnlineAccount>
#include <QtContacts/QContactPhoneNumber>
#include <QtContacts/QContactUnionFilter>
#include <QtContacts/QContactIntersectionFilter>

#include <algorithm>

QTCONTACTS_USE_NAMESPACE

namespace {

const QString ChatAccount = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice");
const QString OtherAccount = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob");
constexpr int Runs = 7;

QString mobile(int i) { return QStringLiteral("+35840%1").arg(1000000 + i * 13); }
QString home(int i) { return QStringLiteral("09 %1").arg(3000000 + i * 17); }
QString work(int i) { return QStringLiteral("+358 20 %1").arg(5000000 + i * 19); }
QString imId(int i) { return QStringLiteral("user%1@example.org").arg(i); }

void fill(QContactManager *store, int count)
{
    store->removeContacts(store->contactIds());
    QList<QContact> contacts;
    contacts.reserve(count);
    for (int i = 0; i < count; ++i) {
        QContact contact;
        QContactName name;
        name.setFirstName(QStringLiteral("Person"));
        name.setLastName(QString::number(i));
        contact.saveDetail(&name);
        const QString numbers[] = {mobile(i), home(i), work(i)};
        for (const QString &n : numbers) {
            QContactPhoneNumber number;
            number.setNumber(n);
            contact.saveDetail(&number);
        }
        QContactOnlineAccount im;
        im.setAccountUri(imId(i));
        AddressBook::setAccountPath(&im, ChatAccount);
        contact.saveDetail(&im);
        QContactOnlineAccount other;
        other.setAccountUri(QStringLiteral("other%1@example.net").arg(i));
        AddressBook::setAccountPath(&other, OtherAccount);
        contact.saveDetail(&other);
        contacts << contact;
    }
    store->saveContacts(&contacts);
}

QStringList groupMembers(int count)
{
    QStringList ids;
    for (int k = 0; k < 100; ++k) {
        const int i = (k * 7919) % count;
        // Every third member's number in national form.
        const QString number = k % 3 ? mobile(i) : QStringLiteral("040 %1").arg(1000000 + i * 13);
        ids << (k < 80 ? number : QStringLiteral("+35850%1").arg(9000000 + k));
        ids << (k < 80 ? imId(i) : QStringLiteral("stranger%1@example.org").arg(k));
    }
    return ids;
}

double ms(qint64 ns) { return ns / 1e6; }

// The engine alone: the resolver's own request, started and finished in place.
double engineFetch(ContactResolver &resolver, const QStringList &ids, QList<QContact> *results = nullptr)
{
    QContactFetchRequest *request = resolver.buildRequest(ChatAccount, ids);
    QElapsedTimer timer;
    timer.start();
    request->start();
    request->waitForFinished();
    const double t = ms(timer.nsecsElapsed());
    if (results)
        *results = request->contacts();
    delete request;
    return t;
}

// The first matching contact by walking every detail of every result.
QContactId plainWalk(const QList<QContact> &results, const QString &id)
{
    for (const QContact &contact : results) {
        for (const QContactOnlineAccount &account : contact.details<QContactOnlineAccount>()) {
            if (AddressBook::accountPath(account) == ChatAccount
                && PhoneNumberUtils::remoteAddressMatch(id, account.accountUri()))
                return contact.id();
        }
        for (const QContactPhoneNumber &number : contact.details<QContactPhoneNumber>()) {
            if (PhoneNumberUtils::remoteAddressMatch(id, number.number()))
                return contact.id();
        }
    }
    return QContactId();
}

bool sameAsPlainWalk(const QStringList &ids)
{
    ContactResolver resolver;
    QList<QContact> results;
    engineFetch(resolver, ids, &results);
    QEventLoop loop;
    QObject::connect(&resolver, &ContactResolver::resultsAvailable, &loop, &QEventLoop::quit);
    resolver.resolveContacts(ChatAccount, ids);
    loop.exec();
    for (const QString &id : ids) {
        if (resolver.matchContact(ChatAccount, id).id() != plainWalk(results, id))
            return false;
    }
    return true;
}

struct ResolveRun
{
    double build = 0;     // buildRequest: classifying the ids, building the filter
    double call = 0;      // resolveContacts(): the same plus the engine's fetch
    double toSignal = 0;  // from its return to resultsAvailable
    double matching = 0;  // 200 matchContact calls
    int matched = 0;
};

ResolveRun resolveOnce(const QStringList &ids)
{
    ResolveRun run;
    ContactResolver resolver;
    QElapsedTimer timer;
    timer.start();
    delete resolver.buildRequest(ChatAccount, ids);
    run.build = ms(timer.nsecsElapsed());

    QEventLoop loop;
    QObject::connect(&resolver, &ContactResolver::resultsAvailable, &loop, &QEventLoop::quit);
    timer.restart();
    resolver.resolveContacts(ChatAccount, ids);
    run.call = ms(timer.nsecsElapsed());
    timer.restart();
    loop.exec();
    run.toSignal = ms(timer.nsecsElapsed());
    timer.restart();
    for (const QString &id : ids)
        run.matched += resolver.matchContact(ChatAccount, id).isEmpty() ? 0 : 1;
    run.matching = ms(timer.nsecsElapsed());
    return run;
}

int runsFor(int size) { return size > 20000 ? 3 : Runs; }

void benchResolver(QTextStream &out, QContactManager *store, int size)
{
    QElapsedTimer fillTimer;
    fillTimer.start();
    fill(store, size);
    const double fillTime = ms(fillTimer.nsecsElapsed());
    const QStringList ids = groupMembers(size);

    const ResolveRun cold = resolveOnce(ids);
    QVector<double> engine, total, share, matching;
    int matched = 0;
    for (int r = 0; r < runsFor(size); ++r) {
        ContactResolver resolver;
        engine << engineFetch(resolver, ids);
        const ResolveRun run = resolveOnce(ids);
        total << run.call + run.toSignal;
        matching << run.matching;
        share << run.build + run.toSignal + run.matching;
        matched = run.matched;
    }
    out << QStringLiteral("resolver %1 contacts: engine fetch %2 ms | resolveContacts->resultsAvailable %3 ms"
                          " | 200 matchContact %4 ms (cold %5 ms) | library share %6 ms"
                          " (filter building + result handling + matching) | matched %7/200 | fill %8 ms"
                          " | answers as the plain walk: %9\n")
               .arg(size, 6).arg(median(engine), 0, 'f', 1).arg(median(total), 0, 'f', 1)
               .arg(median(matching), 0, 'f', 2).arg(cold.matching, 0, 'f', 2)
               .arg(median(share), 0, 'f', 2).arg(matched).arg(fillTime, 0, 'f', 0)
               .arg(sameAsPlainWalk(ids) ? QStringLiteral("yes") : QStringLiteral("NO"));
    out.flush();
}

void benchPhoneContext(QTextStream &out, QContactManager *store, int size)
{
    fill(store, size);
    QStringList ids;
    for (int k = 0; k < 20; ++k)
        ids << mobile((k * 4813) % size);

    QVector<double> engine, total, share;
    int labels = 0;
    for (int r = 0; r < Runs + 1; ++r) {
        QContactUnionFilter filter;
        for (const QString &id : ids)
            filter.append(QContactPhoneNumber::match(id));
        QContactFetchRequest request;
        request.setManager(store);
        request.setFilter(filter);
        QElapsedTimer timer;
        timer.start();
        request.start();
        request.waitForFinished();
        const double engineTime = ms(timer.nsecsElapsed());

        PhoneContextManager manager;
        int changes = 0;
        QObject::connect(&manager, &PhoneContextManager::phoneContextChanged, [&changes] { ++changes; });
        timer.restart();
        for (const QString &id : ids)
            manager.phoneContext(id);
        const double asking = ms(timer.nsecsElapsed());
        manager.update(); // the memory engine fetches in here
        const double call = ms(timer.nsecsElapsed());
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit); // posted after the fetch's own finish
        loop.exec();
        const double all = ms(timer.nsecsElapsed());
        if (r == 0)
            continue;
        engine << engineTime;
        total << all;
        share << asking + (all - call);
        labels = changes;
    }
    out << QStringLiteral("phone context %1 contacts, 20 tracked ids: engine fetch %2 ms | phoneContext x20 +"
                          " update -> labels %3 ms | library share %4 ms (asking + label building) |"
                          " %5 labels announced\n")
               .arg(size, 6).arg(median(engine), 0, 'f', 1).arg(median(total), 0, 'f', 1)
               .arg(median(share), 0, 'f', 2).arg(labels);
    out.flush();
}

// ServiceSpecificContactFetcher: construction -> contactsChanged(), beside
// the engine's own fetch with the same filter. The library's share is the
// difference: its manager, the filter, confirming each result and the
// announcement from the event loop.
void benchFetcher(QTextStream &out, QContactManager *store, int size)
{
    fill(store, size);
    const QString cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
    struct Case
    {
        const char *name;
        QString accountPath;
        QString remoteUid;
        QContactFilter filter;
    };
    const int who = (size * 7) / 10;
    QContactDetailFilter uri;
    uri.setDetailType(QContactOnlineAccount::Type, QContactOnlineAccount::FieldAccountUri);
    uri.setValue(imId(who));
    const QString national = QStringLiteral("040 %1").arg(1000000 + who * 13);
    const Case cases[] = {
        {"cellular, number in national form", cellular, national, QContactPhoneNumber::match(national)},
        {"instant messaging", ChatAccount, imId(who), AddressBook::accountPathFilter(ChatAccount) & uri},
    };
    for (const Case &c : cases) {
        QVector<double> engine, total, share;
        int listed = 0;
        for (int r = 0; r < Runs + 1; ++r) {
            QContactFetchRequest request;
            request.setManager(store);
            request.setFilter(c.filter);
            QElapsedTimer timer;
            timer.start();
            request.start();
            request.waitForFinished();
            const double engineTime = ms(timer.nsecsElapsed());

            QEventLoop loop;
            timer.restart();
            ServiceSpecificContactFetcher fetcher(c.accountPath, c.remoteUid);
            QObject::connect(&fetcher, &ServiceSpecificContactFetcher::contactsChanged, &loop, &QEventLoop::quit);
            loop.exec();
            const double all = ms(timer.nsecsElapsed());
            if (r == 0)
                continue; // warm-up
            engine << engineTime;
            total << all;
            share << all - engineTime;
            listed = fetcher.contacts().size();
        }
        out << QStringLiteral("fetcher %1 contacts, %2: engine fetch %3 ms | construction -> contactsChanged %4 ms"
                              " | library share %5 ms (target <= 5) | %6 listed\n")
                   .arg(size, 6).arg(QLatin1String(c.name)).arg(median(engine), 0, 'f', 2)
                   .arg(median(total), 0, 'f', 2).arg(median(share), 0, 'f', 2).arg(listed);
        out.flush();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    AddressBook::setEngine(QStringLiteral("memory"));
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI"));
    QContactManager *store = AddressBook::createManager(&app);

    QList<int> sizes{1000, 10000, 50000};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i)
            sizes << QString::fromLocal8Bit(argv[i]).toInt();
    }

    QTextStream out(stdout);
    for (int size : sizes)
        benchResolver(out, store, size);
    benchPhoneContext(out, store, 10000);
    benchFetcher(out, store, 10000);
    return 0;
}
