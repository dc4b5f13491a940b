#include "IgmFile.h"
#include "IgmTesting.h"

#include <QTest>

using namespace IgmTesting;

namespace {

/// Each data line read, as "V|C|K line: field|field|...", in file order.
QStringList summary(const IgmFile::Content& c)
{
    const auto one = [](char kind, const IgmFile::Line& l) {
        return QStringLiteral("%1 %2: %3")
            .arg(QLatin1Char(kind))
            .arg(l.number)
            .arg(l.fields.join(u'|'));
    };
    QStringList out{one('V', c.vessel)};
    for (const IgmFile::Line& l : c.cargo)
        out << one('C', l);
    for (const IgmFile::Line& l : c.containers)
        out << one('K', l);
    return out;
}

} // namespace

class tst_IgmFile : public QObject
{
    Q_OBJECT

private slots:
    void readsTheSections_data();
    void readsTheSections();
    void stopsWithTheReason_data();
    void stopsWithTheReason();
    void splitGroupFields_data();
    void splitGroupFields();
    void vesselItem_data();
    void vesselItem();
};

void tst_IgmFile::readsTheSections_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty sections")
        << QByteArray("<vesinfo>\r\nMSC ANNA\x1dV12\x1d\r\n<cargo>\r\n<END-cargo>\r\n<contain>\r\n"
                      "<END-contain>\r\n")
        << QStringList{"V 2: MSC ANNA|V12"};
    const QByteArray full =
        "<vesinfo>\r\nv0\x1dv1\x1d\r\n<cargo>\r\nc0\x1d\x1d c2 \x1d\r\n"
        "c0\x1d\r\n<END-cargo>\r\n<contain>\r\nk0\x1dk1\x1d\r\n<END-contain>\r\n";
    const QStringList fullLines{"V 2: v0|v1", "C 4: c0|| c2 ", "C 5: c0", "K 8: k0|k1"};
    QTest::newRow("CR LF") << full << fullLines;
    QTest::newRow("LF alone") << QByteArray(full).replace("\r\n", "\n") << fullLines;
    QTest::newRow("no line end at the end") << full.chopped(2) << fullLines;
    QTest::newRow("carriage returns doubled before LF")
        << QByteArray(full).replace("\r\n", "\r\r\n") << fullLines;
    QTest::newRow("carriage return inside a line is data")
        << QByteArray("<vesinfo>\na\rb\x1d\r\x1d\n<cargo>\n<END-cargo>\n<contain>\n<END-contain>")
        << QStringList{"V 2: a\rb|\r"};
    QTest::newRow("last field without its separator")
        << QByteArray("<vesinfo>\nv0\x1dv1\n<cargo>\nc0\x1d\x1d"
                      "c2\r\n<END-cargo>\n<contain>\nk0\n<END-contain>\n")
        << QStringList{"V 2: v0|v1", "C 4: c0||c2", "K 7: k0"};
    QTest::newRow("lines before, between and after the sections skipped")
        << QByteArray("header\n<cargo>\nx\x1d\n<vesinfo>\nV\x1d\n<contain>\nskip\x1d\n<cargo>\n"
                      "C\x1d\n<END-cargo>\n<END-contain>\nskip\x1d\n<contain>\nK\x1d\n<END-contain>"
                      "\n<cargo>\n" +
                      QByteArray(300, '\x1d') + "\n<contain>\n")
        << QStringList{"V 5: V", "C 9: C", "K 14: K"};
    QTest::newRow("tags match only exactly")
        << QByteArray(" <vesinfo>\n<VESINFO>\n<vesinfo> \n<vesinfo>\nV\x1d\n<Cargo>\n<cargo>\n"
                      "<end-cargo>\n <END-cargo>\n<contain>\n<END-cargo>\n<contain>\n"
                      "<END-contain> \n<END-contain>\n")
        << QStringList{"V 5: V", "C 8: <end-cargo>", "C 9:  <END-cargo>", "C 10: <contain>",
                       "K 13: <END-contain> "};
    QTest::newRow("the line after <vesinfo> is the vessel line, even a tag")
        << QByteArray("<vesinfo>\n<cargo>\n<cargo>\n<END-cargo>\n<contain>\n<END-contain>\n")
        << QStringList{"V 2: <cargo>"};
    QTest::newRow("empty data lines have no fields")
        << QByteArray("<vesinfo>\n\n<cargo>\n\n<END-cargo>\n<contain>\n\r\n<END-contain>\n")
        << QStringList{"V 2: ", "C 4: ", "K 7: "};
    QTest::newRow("101 fields") << QByteArray("<vesinfo>\n" + QByteArray(101, '\x1d') +
                                              "\n<cargo>\n" + QByteArray(100, '\x1d') +
                                              "x\n<END-cargo>\n<contain>\n<END-contain>\n")
                                << QStringList{"V 2: " + QString(100, u'|'),
                                               "C 4: " + QString(100, u'|') + "x"};
    QTest::newRow("Windows-1252 text")
        << QByteArray("<vesinfo>\nS\xc3O PAULO \x80\x1d\x93x\x94\x1d\n<cargo>\n<END-cargo>\n"
                      "<contain>\n<END-contain>\n")
        << QStringList{QString::fromUtf8("V 2: S\u00c3O PAULO \u20ac|\u201cx\u201d")};
}

void tst_IgmFile::readsTheSections()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    IgmFile::Content content;
    IgmFile::Error error;
    QVERIFY2(IgmFile::parse(bytes, &content, &error), qPrintable(error.message));
    QCOMPARE(summary(content), lines);
}

void tst_IgmFile::stopsWithTheReason_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");

    const QByteArray vessel = "<vesinfo>\r\nV\x1d\r\n";
    QTest::newRow("empty file") << QByteArray() << "The file ends before the line \"<vesinfo>\"."
                                << 0;
    QTest::newRow("no <vesinfo>") << QByteArray("<Vesinfo>\r\nV\x1d\r\n<cargo>\r\n")
                                  << "The file ends before the line \"<vesinfo>\"." << 0;
    QTest::newRow("no vessel line")
        << QByteArray("x\r\n<vesinfo>\r\n")
        << "The file ends after the line \"<vesinfo>\", without the vessel line." << 0;
    QTest::newRow("no <cargo>") << vessel + "<END-cargo>\r\n<contain>\r\n<END-contain>\r\n"
                                << "The file ends before the line \"<cargo>\"." << 0;
    QTest::newRow("no <END-cargo>")
        << vessel + "<cargo>\r\nC\x1d\r\n<contain>\r\nK\x1d\r\n<END-contain>\r\n"
        << "The file ends before the line \"<END-cargo>\"." << 0;
    QTest::newRow("no <contain>") << vessel + "<cargo>\r\n<END-cargo>\r\n<END-contain>\r\n"
                                  << "The file ends before the line \"<contain>\"." << 0;
    QTest::newRow("no <END-contain>")
        << vessel + "<cargo>\r\n<END-cargo>\r\n<contain>\r\nK\x1d\r\n<END-contain\r\n"
        << "The file ends before the line \"<END-contain>\"." << 0;
    QTest::newRow("102 fields in the vessel line")
        << "<vesinfo>\r\n" + QByteArray(102, '\x1d') + "\r\n"
        << "Line 2 has 102 fields; a line holds at most 101." << 2;
    QTest::newRow("102 fields in a cargo line, the last without separator")
        << vessel + "<cargo>\r\nC\x1d\r\n" + QByteArray(101, '\x1d') + "x\r\n<END-cargo>\r\n"
        << "Line 5 has 102 fields; a line holds at most 101." << 5;
    QTest::newRow("too many fields in a container line")
        << vessel + "<cargo>\r\n<END-cargo>\r\n<contain>\r\n" + QByteArray(5000, '\x1d') + "\r\n"
        << "Line 6 has 5000 fields; a line holds at most 101." << 6;
}

void tst_IgmFile::stopsWithTheReason()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(int, line);
    IgmFile::Content content;
    IgmFile::Error error;
    QVERIFY(!IgmFile::parse(bytes, &content, &error));
    QCOMPARE(error.message, message);
    QCOMPARE(error.line, line);
}

void tst_IgmFile::splitGroupFields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("empty line") << "" << QStringList();
    QTest::newRow("one field") << "a\x1d" << QStringList{"a"};
    QTest::newRow("blanks kept") << " a b \x1d  \x1d" << QStringList{" a b ", "  "};
    QTest::newRow("empty fields") << "\x1d\x1d"
                                     "c\x1d"
                                  << QStringList{"", "", "c"};
    QTest::newRow("last field without separator") << "a\x1d"
                                                     "b"
                                                  << QStringList{"a", "b"};
    QTest::newRow("no separator at all") << "abc" << QStringList{"abc"};
    QTest::newRow("commas and quotes are data") << "\"a,b\"\x1d" << QStringList{"\"a,b\""};
}

void tst_IgmFile::splitGroupFields()
{
    QFETCH(QString, line);
    QFETCH(QStringList, fields);
    QCOMPARE(IgmFile::SplitGroupFields(line), fields);
    QCOMPARE(IgmFile::fieldCount(line), fields.size());
}

void tst_IgmFile::vesselItem_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("item");
    QTest::newRow("whole line") << "MSC ANNA\x1dV12\x1d"
                                << "MSC ANNA\x1dV12\x1d";
    QTest::newRow("leading blanks skipped") << "   MSC ANNA \x1d"
                                            << "MSC ANNA \x1d";
    QTest::newRow("up to the first comma") << "MSC ANNA\x1dGENOA, ITALY\x1dV12\x1d"
                                           << "MSC ANNA\x1dGENOA";
    QTest::newRow("comma first") << ",MSC ANNA\x1d"
                                 << "";
    QTest::newRow("quoted, without its quotes") << "  \"MSC ANNA\x1d, V12\x1d\"\x1dlost"
                                                << "MSC ANNA\x1d, V12\x1d";
    QTest::newRow("quote never closed") << "\"MSC ANNA\x1d"
                                        << "MSC ANNA\x1d";
    QTest::newRow("quote later in the item is data") << "MSC \"ANNA\"\x1d"
                                                     << "MSC \"ANNA\"\x1d";
    QTest::newRow("tab is not a blank") << "\tMSC\x1d"
                                        << "\tMSC\x1d";
}

void tst_IgmFile::vesselItem()
{
    QFETCH(QString, line);
    QFETCH(QString, item);
    QCOMPARE(IgmFile::vesselItem(line), item);
    // The file's vessel line is read the same way.
    const QByteArray bytes = "<vesinfo>\r\n" + line.toLatin1() +
                             "\r\n<cargo>\r\n<END-cargo>\r\n<contain>\r\n"
                             "<END-contain>\r\n";
    IgmFile::Content content;
    IgmFile::Error error;
    QVERIFY(IgmFile::parse(bytes, &content, &error));
    QCOMPARE(content.vesselText, item);
    QCOMPARE(content.vessel.fields, IgmFile::SplitGroupFields(item));
}

QTEST_GUILESS_MAIN(tst_IgmFile)
#include "tst_igmfile.moc"
