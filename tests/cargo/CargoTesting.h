#pragma once

// What the cargo screen tests share: the master tests' installation, bills
// and containers put straight into the company database, and keys typed
// wherever the focus is (the open drop-down list included).

#include "../masters/MastersTesting.h"

#include <QApplication>

namespace CargoTesting {

inline Database& conn()
{
    return *logonState().Conn;
}

inline void addBill(int id, double sbno, const QString& nature = QStringLiteral("C"),
                    double egmno = 100)
{
    conn().exec(QStringLiteral("insert into egmcargo (id, egmno, sbno, sbdt, sbport, destport, "
                               "gateport, naturecargo, pkgs) values (?, ?, ?, '2006-03-01', "
                               "'INIXY1', 'SGSIN', 'INIXY1', ?, 5)"),
                {id, egmno, sbno, nature});
}

inline void addContainers(int ref, int n, const QString& status = QStringLiteral("F"))
{
    QList<RowValues> rows;
    for (int i = 0; i < n; ++i)
        rows << RowValues{
            ref, QStringLiteral("TEST%1").arg(ref * 1000 + i, 7, 10, QLatin1Char('0')), status, 0};
    conn().insertRows(QStringLiteral("egmcontain"),
                      {QStringLiteral("ref"), QStringLiteral("containno"),
                       QStringLiteral("constatus"), QStringLiteral("subrefno")},
                      rows);
}

inline int count(const QString& sql, const QVariantList& params = {})
{
    return conn().scalar(sql, params).toInt();
}

/// Where typed keys go: the open drop-down list, else the focused control.
inline QWidget* keyTarget()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    return QApplication::focusWidget();
}

inline void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* target = keyTarget();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(k), mods);
    QCoreApplication::processEvents();
}

inline void type(const QString& text)
{
    for (QChar c : text) {
        QWidget* target = keyTarget();
        QVERIFY(target);
        QTest::keyClick(target, c.toLatin1());
    }
    QCoreApplication::processEvents();
}

/// Text then Enter.
inline void enter(const QString& text)
{
    type(text);
    key(Qt::Key_Return);
}

} // namespace CargoTesting
