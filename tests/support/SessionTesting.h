#pragma once

// Logging on through the logon window a session shows. Header only: the
// tests that use it link the window shell themselves.

#include "AppSession.h"
#include "frmLogon.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

/// Types uid and pwd into the session's logon window and presses OK; the
/// windows closed by it are gone on return.
inline void logOnWith(AppSession& session, const QString& uid, const QString& pwd)
{
    frmLogon* logon = session.logon();
    QVERIFY(logon);
    auto* id = logon->findChild<QLineEdit*>("txtUID");
    id->clear();
    QTest::keyClicks(id, uid);
    auto* password = logon->findChild<QLineEdit*>("txtPWD");
    password->clear();
    QTest::keyClicks(password, pwd);
    logon->findChild<QPushButton*>("cmdOK")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
