#include "AppPaths.h"
#include "CommandLine.h"
#include "Installation.h"
#include "TestHome.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

/// The synopses of a --help section ("Options:", "Commands:"): each entry's
/// first line up to the two blanks before its explanation.
QStringList helpSection(const QString& usage, const QString& heading)
{
    QStringList out;
    const QStringList lines = usage.split(u'\n');
    qsizetype i = lines.indexOf(heading);
    if (i < 0)
        return out;
    for (++i; i < lines.size() && !lines[i].isEmpty(); ++i) {
        const QString& line = lines[i];
        if (!line.startsWith(QLatin1String("  ")) || line.at(2) == u' ')
            continue; // an explanation's next line
        out << line.mid(2).split(QLatin1String("  ")).first().trimmed();
    }
    return out;
}

/// The tags of the manual page's ".TP" entries in a section, without the
/// roff markup.
QStringList manSection(const QString& page, const QString& heading)
{
    QStringList out;
    const QStringList lines = page.split(u'\n');
    qsizetype i = lines.indexOf(QStringLiteral(".SH ") + heading);
    if (i < 0)
        return out;
    for (++i; i < lines.size() && !lines[i].startsWith(QLatin1String(".SH")); ++i) {
        if (lines[i] != QLatin1String(".TP") || i + 1 >= lines.size())
            continue;
        QString tag = lines[i + 1];
        tag.remove(QRegularExpression(QStringLiteral("^\\.B[IR]? ")));
        tag.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
        tag.replace(QLatin1String("\\-"), QLatin1String("-"));
        tag.remove(u'"');
        out << tag.simplified();
    }
    return out;
}

} // namespace

class tst_HelpText : public QObject
{
    Q_OBJECT

private slots:
    void theManualPageListsWhatHelpLists_data()
    {
        QTest::addColumn<QString>("help");
        QTest::addColumn<QString>("man");
        QTest::newRow("options") << "Options:"
                                 << "OPTIONS";
        QTest::newRow("commands") << "Commands:"
                                  << "COMMANDS";
    }
    void theManualPageListsWhatHelpLists()
    {
        QFETCH(QString, help);
        QFETCH(QString, man);
        QFile page(TARVEX_SOURCE_DIR "/packaging/tarvex.1.in");
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QStringList inHelp = helpSection(CommandLine::usage(), help);
        QVERIFY(inHelp.size() >= 5);
        QCOMPARE(manSection(QString::fromUtf8(page.readAll()), man), inHelp);
    }

    void helpSaysWhereTheInstallationIs()
    {
        TestHome home;
        const QString where = "Installation: " + home.path() + " (named by --home)";
        QCOMPARE(CommandLine::installationText(), where + "; it holds no Tarvex.ini yet\n");
        QString error;
        QVERIFY(Installation::createDemo(home.path(), &error));
        QCOMPARE(CommandLine::installationText(), where + '\n');
    }
};

QTEST_GUILESS_MAIN(tst_HelpText)
#include "tst_helptext.moc"
