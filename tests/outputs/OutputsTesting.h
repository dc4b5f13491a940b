#pragma once

// Shipping bills and containers shared by the output tests, stored the way
// the cargo screen stores them. The EGMs:
//   2024117  three bills (ids 1, 2, 3), four containers; stored EGM date
//            04/03/2024, typed as 05/03/2024 in the tests
//   2024118  one bill (id 4) saved between two bills of 2024117, two containers
//   2024119  two bills (ids 5, 6), bulk cargo, no container
//   123      one bill (id 7), one container
//   7001     one bill (id 8) without a shipping bill date
// The expected files in expected/ are written by hand from these rows.
// The output screens' tests share their screen set-up and their SMTP sink.

#include "Database.h"
#include "DemoFixture.h"
#include "LogonState.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "SmtpSink.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

namespace OutputsTesting {

inline QVariant text(const char* s)
{
    return QString::fromLatin1(s);
}

inline void insertSampleEgms(Database& db)
{
    const QStringList bills = {"id",      "egmno",    "egmdt",    "sbno",        "sbdt",
                               "sbport",  "destport", "gateport", "naturecargo", "volume",
                               "unitvol", "pkgs",     "linecode"};
    const QVariant none;
    const QDate egm17(2024, 3, 4);
    db.insertRows(
        "egmcargo", bills,
        {
            {1, 2024117, egm17, 5001, QDate(2024, 3, 1), text("INNSA1"), text("USNYC1"),
             text("INNSA1"), text("C"), 0, text("MT"), 120, text("MAEU")},
            {4, 2024118, QDate(2024, 3, 6), 5101, QDate(2024, 3, 5), text("INNSA1"), text("DEHAM1"),
             text("INNSA1"), text("C"), 0, none, 10, text("MSCU")},
            {2, 2024117, egm17, 5002, QDate(2024, 2, 28), text("INNSA1"), text("AEJEA1"),
             text("INNSA1"), text("CP"), none, none, 35, none},
            {3, 2024117, egm17, 5003, QDate(2024, 3, 2), text("INNSA1"), text("SGSIN1"),
             text("INNSA1"), text("C"), 12.5, text("CBM"), 0, text("MAEU")},
            {5, 2024119, QDate(2024, 4, 1), 6001, QDate(2024, 4, 8), text("INMUN1"), text("NLRTM1"),
             text("INMUN1"), text("P"), 250.75, text("MT"), none, text("ONE")},
            {6, 2024119, QDate(2024, 4, 1), 6002, QDate(2024, 4, 9), text("INMUN1"), text("DEHAM1"),
             text("INMUN1"), text("P"), 0, text("CBM"), 0, text("ONE")},
            {7, 123, QDate(2025, 1, 6), 9001, QDate(2025, 1, 3), text("INMAA1"), text("usnyc "),
             text("INMAA1"), text("C"), none, none, 4, none},
            {8, 7001, QDate(2024, 5, 1), 7001, none, text("INNSA1"), text("USNYC1"), text("INNSA1"),
             text("C"), none, none, 5, none},
        });
    db.insertRows("egmcontain", {"autoid", "ref", "containno", "constatus", "subrefno"},
                  {
                      {101, 1, text("MSKU1234567"), text("FCL"), 0},
                      {102, 1, text("TCLU7654321"), text("FCL"), 0},
                      {103, 4, text("OOLU1111111"), text("FCL"), 0},
                      {104, 4, text("OOLU2222222"), text("LCL"), 0},
                      {105, 2, text("GESU0000012"), text("LCL"), none},
                      {106, 3, text("CAIU5550001"), none, 2},
                      {107, 7, text("HLXU3141592"), text("FCL"), 0},
                      {108, 8, text("MSKU7777777"), text("FCL"), 0},
                  });
}

/// EGMs for the check, beside the sample ones: 9100 a clean bill and one
/// whose SB No. is 2024117's too (a warning); 9200 one bill with a wrong
/// check digit (an error); 9300 one clean bill. Stored EGM date 05/03/2024.
inline void insertCheckedEgms(Database& db)
{
    const QStringList columns = {"id",     "egmno",    "egmdt",    "sbno",        "sbdt",
                                 "sbport", "destport", "gateport", "naturecargo", "pkgs"};
    const QDate egmDay(2024, 3, 5);
    const QDate sbDay(2024, 3, 1);
    db.insertRows("egmcargo", columns,
                  {{91, 9100, egmDay, 91001, sbDay, "INNSA1", "USNYC", "INNSA1", "C", 5},
                   {92, 9100, egmDay, 5001, sbDay, "INNSA1", "USNYC", "INNSA1", "C", 5},
                   {93, 9200, egmDay, 92001, sbDay, "INNSA1", "USNYC", "INNSA1", "C", 5},
                   {94, 9300, egmDay, 93001, sbDay, "INNSA1", "USNYC", "INNSA1", "C", 5}});
    db.insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"},
                  {{91, "CSQU3054383", "F", 0},
                   {92, "MWCU6059784", "F", 0},
                   {93, "CSQU3054384", "F", 0},
                   {94, "CSQU3054383", "E", 0}});
}

/// A readable account of where two byte strings part.
inline QByteArray firstDifference(const QByteArray& actual, const QByteArray& expected)
{
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    const qsizetype from = std::max<qsizetype>(0, i - 40);
    return "first difference at byte " + QByteArray::number(i) +
           "\n got: " + actual.mid(from, 80).toPercentEncoding(" <>/=':") +
           "\nwant: " + expected.mid(from, 80).toPercentEncoding(" <>/=':");
}

/// What an output screen loads into its four mail fields.
struct MailFields
{
    const char* to;
    const char* cc;
    const char* subject;
    const char* message;
};

/// A logged-on installation with the sample EGMs and these Email settings,
/// and an output screen open on it as the active window.
template <typename Form> struct OutputScreen
{
    DemoFixture demo;
    ScriptedPrompts prompts;
    std::unique_ptr<Form> form;

    explicit OutputScreen(const MailFields& mail)
    {
        WriteIni("Email", "To", mail.to);
        WriteIni("Email", "CC", mail.cc);
        WriteIni("Email", "Sub", mail.subject);
        WriteIni("Email", "Msg", mail.message);
        demo.addUser("clerk", "harbour", " SU", " SU");
        demo.logOnAs("clerk", "harbour");
        insertSampleEgms(*logonState().Conn);
        form = std::make_unique<Form>();
        form->show();
        QApplication::setActiveWindow(form.get());
    }

    QLineEdit* field(int index) const
    {
        return form->template findChild<QLineEdit*>(QStringLiteral("txtFields_%1").arg(index));
    }
    QPushButton* button(const char* name) const
    {
        return form->template findChild<QPushButton*>(name);
    }
};

/// An output screen in an MDI area beside another window: ROT No. has the
/// focus when the screen opens, and again when the clerk, working in the
/// field named workedIn, goes to the other window and comes back.
template <typename Form> void checkFocusReturnsToRotNo(const char* workedIn)
{
    QMdiArea area;
    auto* form = new Form;
    QMdiSubWindow* mine = area.addSubWindow(form);
    QMdiSubWindow* theirs = area.addSubWindow(new QLineEdit);
    area.show();
    QApplication::setActiveWindow(&area);
    area.setActiveSubWindow(mine);
    auto* rotNo = form->template findChild<QLineEdit*>("txtFields_4");
    QCOMPARE(QApplication::focusWidget(), rotNo);

    auto* field = form->template findChild<QLineEdit*>(workedIn);
    field->setFocus();
    area.setActiveSubWindow(theirs);
    QVERIFY(QApplication::focusWidget() != field);
    area.setActiveSubWindow(mine);
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), rotNo);
}

/// The SMTP sink an output screen's mail cases send to: started once in
/// initTestCase, emptied before each case. Without a python3 that has
/// aiosmtpd, sink stays null and missing says why the mail cases skip.
struct MailCases
{
    std::unique_ptr<SmtpSink> sink;
    QString missing;

    void start(const QString& script)
    {
        const QString python = SmtpSink::findPython();
        if (script.isEmpty() || python.isEmpty()) {
            missing = "No python3 with the aiosmtpd module (Debian: python3-aiosmtpd): the mail "
                      "cases need it for their SMTP server.";
            return;
        }
        sink = std::make_unique<SmtpSink>();
        QVERIFY2(sink->start(python, script), "the SMTP sink did not start");
    }

    void clear()
    {
        if (sink)
            sink->clear();
    }

    /// The Mail settings that send to the sink from this address.
    void sendFrom(const QString& from) const
    {
        WriteIni("Mail", "Server", "127.0.0.1");
        WriteIni("Mail", "Port", QString::number(sink->port()));
        WriteIni("Mail", "From", from);
    }
};

} // namespace OutputsTesting

#define COMPARE_BYTES(actual, expected)                                                            \
    do {                                                                                           \
        const QByteArray a_ = (actual);                                                            \
        const QByteArray e_ = (expected);                                                          \
        if (a_ != e_)                                                                              \
            QFAIL(OutputsTesting::firstDifference(a_, e_).constData());                            \
    } while (false)
