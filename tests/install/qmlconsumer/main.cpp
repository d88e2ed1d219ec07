// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// A QML program outside the project: imports Messaging 1.0 from the
// installed tree (QML2_IMPORT_PATH) and counts a text with its SmsCounter.
#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.15\n"
                      "import Messaging 1.0\n"
                      "SmsCounter { text: \"Hello \\u20ac\" }\n",
                      QUrl());
    QObject *counter = component.create();
    if (!counter) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        std::puts("qml consumer FAILED");
        return 1;
    }
    const bool ok = counter->property("encoding").toString() == QLatin1String("gsm7")
        && counter->property("segments").toInt() == 1 && counter->property("remaining").toInt() == 152;
    delete counter;
    std::puts(ok ? "qml consumer ok" : "qml consumer FAILED");
    return ok ? 0 : 1;
}
