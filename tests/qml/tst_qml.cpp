// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Runs the QML tests of this folder (tst_*.qml) with the module from the
// build tree and the fixture object "fixture" (qmlfixture.h), inside the
// private stack.

#include "qmlfixture.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

class Setup : public QObject
{
    Q_OBJECT
public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(MESSAGING_QML_IMPORT_DIR));
        if (!m_fixture) {
            m_fixture = new QmlFixture(this);
            if (!m_fixture->loadAccounts())
                qFatal("the private stack's account manager is not there");
        }
        engine->rootContext()->setContextProperty(QStringLiteral("fixture"), m_fixture);
    }

private:
    QmlFixture *m_fixture = nullptr;
};

QUICK_TEST_MAIN_WITH_SETUP(messaging_qml, Setup)

#include "tst_qml.moc"
