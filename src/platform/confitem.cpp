// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// dconf pulls in GLib headers whose "signals" member names clash with Qt's
// keywords: include it before anything from Qt.
#include <dconf.h>

#include "confitem.h"
#include "messaginglogging.h"

#include <QByteArray>
#include <QMultiHash>
#include <QStringList>

namespace {

GVariant *toGVariant(const QVariant &value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::Bool:
        return g_variant_new_boolean(value.toBool());
    case QMetaType::Int:
        return g_variant_new_int32(value.toInt());
    case QMetaType::UInt:
        return g_variant_new_uint32(value.toUInt());
    case QMetaType::LongLong:
        return g_variant_new_int64(value.toLongLong());
    case QMetaType::ULongLong:
        return g_variant_new_uint64(value.toULongLong());
    case QMetaType::Double:
        return g_variant_new_double(value.toDouble());
    case QMetaType::QString:
        return g_variant_new_string(value.toString().toUtf8().constData());
    case QMetaType::QStringList: {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE_STRING_ARRAY);
        for (const QString &s : value.toStringList())
            g_variant_builder_add(&builder, "s", s.toUtf8().constData());
        return g_variant_builder_end(&builder);
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.constData(),
                                         gsize(bytes.size()), 1);
    }
    default:
        return nullptr;
    }
}

QVariant fromGVariant(GVariant *v)
{
    if (!v)
        return QVariant();
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_BOOLEAN))
        return bool(g_variant_get_boolean(v));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT32))
        return int(g_variant_get_int32(v));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_UINT32))
        return uint(g_variant_get_uint32(v));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT64))
        return qlonglong(g_variant_get_int64(v));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_UINT64))
        return qulonglong(g_variant_get_uint64(v));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE))
        return g_variant_get_double(v);
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
        return QString::fromUtf8(g_variant_get_string(v, nullptr));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING_ARRAY)) {
        QStringList list;
        gsize n = 0;
        const gchar **strv = g_variant_get_strv(v, &n);
        for (gsize i = 0; i < n; ++i)
            list << QString::fromUtf8(strv[i]);
        g_free(strv);
        return list;
    }
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_BYTESTRING)) {
        gsize n = 0;
        const void *data = g_variant_get_fixed_array(v, &n, 1);
        return QByteArray(static_cast<const char *>(data), int(n));
    }
    return QVariant();
}

} // namespace

// One dconf client per process; its change notifications are handed to the
// ConfItems watching the keys concerned.
struct ConfItemWatchers
{
    DConfClient *client = nullptr;
    QMultiHash<QString, ConfItem *> items;

    static ConfItemWatchers &instance()
    {
        static ConfItemWatchers watchers;
        if (!watchers.client) {
            watchers.client = dconf_client_new();
            g_signal_connect(watchers.client, "changed", G_CALLBACK(&ConfItemWatchers::changed),
                             nullptr);
        }
        return watchers;
    }

    static void changed(DConfClient *, const gchar *prefix, const gchar *const *changes,
                        const gchar *, gpointer)
    {
        ConfItemWatchers &w = instance();
        const QString base = QString::fromUtf8(prefix);
        QList<ConfItem *> affected;
        for (const gchar *const *c = changes; c && *c; ++c) {
            const QString path = base + QString::fromUtf8(*c);
            if (path.endsWith(QLatin1Char('/'))) {
                // A whole directory changed (reset or external write).
                for (auto it = w.items.cbegin(); it != w.items.cend(); ++it) {
                    if (it.key().startsWith(path) && !affected.contains(it.value()))
                        affected << it.value();
                }
            } else {
                for (ConfItem *item : w.items.values(path)) {
                    if (!affected.contains(item))
                        affected << item;
                }
            }
        }
        for (ConfItem *item : qAsConst(affected))
            Q_EMIT item->valueChanged();
    }
};

class ConfItemPrivate
{
public:
    QString key;
    QByteArray utf8Key;
    bool valid = false;
};

ConfItem::ConfItem(const QString &key, QObject *parent)
    : QObject(parent), d_ptr(new ConfItemPrivate)
{
    Q_D(ConfItem);
    d->key = key;
    d->utf8Key = key.toUtf8();
    d->valid = dconf_is_key(d->utf8Key.constData(), nullptr);
    if (!d->valid) {
        qCWarning(lcPlatform) << "Not a dconf key:" << key;
        return;
    }
    ConfItemWatchers &w = ConfItemWatchers::instance();
    w.items.insert(d->key, this);
    dconf_client_watch_fast(w.client, d->utf8Key.constData());
}

ConfItem::~ConfItem()
{
    Q_D(ConfItem);
    if (d->valid) {
        ConfItemWatchers &w = ConfItemWatchers::instance();
        w.items.remove(d->key, this);
        dconf_client_unwatch_fast(w.client, d->utf8Key.constData());
    }
    delete d_ptr;
}

QString ConfItem::key() const
{
    Q_D(const ConfItem);
    return d->key;
}

bool ConfItem::isValidKey() const
{
    Q_D(const ConfItem);
    return d->valid;
}

QVariant ConfItem::value(const QVariant &defaultValue) const
{
    Q_D(const ConfItem);
    if (!d->valid)
        return defaultValue;
    GVariant *v = dconf_client_read(ConfItemWatchers::instance().client, d->utf8Key.constData());
    if (!v)
        return defaultValue;
    const QVariant result = fromGVariant(v);
    g_variant_unref(v);
    return result.isValid() ? result : defaultValue;
}

bool ConfItem::set(const QVariant &value)
{
    Q_D(ConfItem);
    if (!d->valid)
        return false;
    GVariant *v = nullptr;
    if (value.isValid()) {
        v = toGVariant(value);
        if (!v) {
            qCWarning(lcPlatform) << "Cannot store a" << value.typeName() << "in" << d->key;
            return false;
        }
        g_variant_ref_sink(v);
    }
    GError *error = nullptr;
    // A fast write is visible to this process at once and is written to the
    // database by dconf-service in the background: no blocking on D-Bus.
    const bool ok = dconf_client_write_fast(ConfItemWatchers::instance().client,
                                            d->utf8Key.constData(), v, &error);
    if (!ok) {
        qCWarning(lcPlatform) << "Writing" << d->key << "failed:"
                              << (error ? error->message : "unknown error");
        g_clear_error(&error);
    }
    if (v)
        g_variant_unref(v);
    return ok;
}

bool ConfItem::unset()
{
    return set(QVariant());
}
