#pragma once

// What the cargo screen tests share: the master tests' installation, bills
// and containers put straight into the company database, and keys typed
// wherever the focus is (the open drop-down list included).

#include "../masters/MastersTesting.h"

#include "BoundList.h"

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

/// Every field a bill of that nature needs, filled as the clerk would leave
/// them: the lists by their codes.
inline void fillBill(QWidget* form, const QString& rotNo,
                     const QString& nature = QStringLiteral("C"))
{
    using MastersTesting::box;
    box(form, 1)->setText(rotNo);
    form->findChild<BoundList*>(QStringLiteral("cmbNatCargo"))->setStoredValue(nature);
    box(form, 15)->setText(QStringLiteral("5001"));
    box(form, 16)->setText(QStringLiteral("01/03/2006"));
    form->findChild<BoundList*>(QStringLiteral("cmbDestPort"))
        ->setStoredValue(QStringLiteral("SGSIN"));
    if (nature == QLatin1String("C") || nature == QLatin1String("CP")) {
        box(form, 22)->setText(QStringLiteral("5"));
    } else {
        box(form, 24)->setText(QStringLiteral("2.5"));
        box(form, 25)->setText(QStringLiteral("MT"));
    }
}

/// The last line the screen put in the status bar ("" when none or cleared).
inline QString statusLine(const ScriptedPrompts& prompts)
{
    for (qsizetype i = prompts.calls.size() - 1; i >= 0; --i)
        if (prompts.calls[i].kind == QLatin1String("status"))
            return prompts.calls[i].text;
    return QString();
}

/// The name of the control that has the focus: a list's, while its
/// drop-down is open.
inline QString focusedName()
{
    QWidget* w = QApplication::focusWidget();
    while (w && w->objectName().isEmpty())
        w = w->parentWidget();
    return w ? w->objectName() : QString();
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
