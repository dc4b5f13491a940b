// IGM file import figures: an import manifest's cargo file of 5,000 cargo
// lines and 50,000 container lines imported into a fresh company database.
//   bench_igm DIR [RUNS]
// DIR keeps the generated file between runs (written on the first run). The
// import runs RUNS times (default 5), and the reading of the file alone as
// often, alternating, each time in a process of its own so that its peak
// memory (VmHWM) is its own; the figures are the median time and the
// largest peak.
#include "BenchSupport.h"
#include "Database.h"
#include "IgmFile.h"
#include "IgmImport.h"
#include "SafeFile.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCargoLines = 5000;
constexpr int kContainersPerLine = 10;
constexpr char kSeparator = '\x1d';

QByteArray line(const QList<QByteArray>& fields)
{
    QByteArray l;
    for (const QByteArray& f : fields)
        l += f + kSeparator;
    return l + "\r\n";
}

/// A manifest as a customs system hands it out: every field filled with
/// text of its usual length.
bool generate(const QString& path)
{
    QByteArray f = "<manifest>\r\n<vesinfo>\r\n";
    QList<QByteArray> vessel;
    for (int i = 0; i <= 28; ++i)
        vessel << "VESSEL FIELD " + QByteArray::number(i);
    f += line(vessel) + "<cargo>\r\n";
    for (int n = 1; n <= kCargoLines; ++n) {
        const QByteArray no = QByteArray::number(n);
        QList<QByteArray> c{"F",
                            "2006123",
                            "25122006",
                            "INNSA1",
                            "MSCU",
                            no,
                            "0",
                            "MSCUGN" + no.rightJustified(6, '0'),
                            "25122006",
                            "ITGOA",
                            "INNSA1",
                            "ITGOA",
                            "C",
                            "HARBOUR TRADING COMPANY PRIVATE LIMITED",
                            "PLOT 12, SECTOR 4, JAWAHARLAL NEHRU PORT ROAD",
                            "NAVI MUMBAI 400707",
                            "AAACH1234K",
                            "NOTIFY PARTY SAME AS CONSIGNEE",
                            "PLOT 12, SECTOR 4, NAVI MUMBAI",
                            "INNSA1",
                            "LC",
                            "CTN",
                            QByteArray::number(100 + n % 50),
                            "KGS",
                            "CBM",
                            "24.500",
                            "MT",
                            "C",
                            "P",
                            QByteArray::number(12000 + n % 1000) + ".5 KGS",
                            "MACHINERY SPARE PARTS AND ACCESSORIES FOR TEXTILE LOOMS, AS PER "
                            "INVOICE NO. 2006/4471 DATED 20.12.2006",
                            "84483900",
                            "N",
                            "MSCU",
                            "END"};
        f += line(c);
    }
    f += "<END-cargo>\r\n<contain>\r\n";
    for (int n = 1; n <= kCargoLines; ++n)
        for (int k = 0; k < kContainersPerLine; ++k) {
            const QByteArray serial = QByteArray::number(n * kContainersPerLine + k);
            QList<QByteArray> c{"F",
                                "2006123",
                                "25122006",
                                QByteArray::number(n),
                                "0",
                                "MSCU" + serial.rightJustified(7, '0'),
                                "SL" + serial.rightJustified(6, '0'),
                                "MSCU",
                                "FCL",
                                "22G1",
                                QByteArray::number(10 + k),
                                "1200.000",
                                "KGS",
                                "N",
                                "INNSA1"};
            for (int i = 15; i <= 34; ++i)
                c << "K" + QByteArray::number(i);
            f += line(c);
        }
    f += "<END-contain>\r\n</manifest>\r\n";
    QString error;
    if (!SafeFile::save(path, f, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}

/// One measured run, in this process: prints "seconds peakKb".
int measure(const QString& dir, const QString& what)
{
    const QString path = dir + QStringLiteral("/manifest.egm");
    if (what == QLatin1String("read")) {
        QElapsedTimer t;
        t.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const uchar* bytes = file.map(0, file.size());
        IgmFile::Reader reader(QByteArrayView(bytes, file.size()));
        IgmFile::Reader::Section section;
        IgmFile::Line line;
        qsizetype fields = 0;
        while (reader.next(&section, &line))
            fields += line.fields.size();
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        if (reader.failed() || fields == 0) {
            std::fprintf(stderr, "%s\n", qPrintable(reader.error().message));
            return 1;
        }
        std::printf("%.3f %ld\n", seconds, BenchSupport::peakKb());
        return 0;
    }

    const QString file = dir + QStringLiteral("/bench_igm.mdb");
    BenchSupport::removeDatabase(file);
    auto db = Database::create(file);
    Schema::createCompanyDatabase(*db);
    QElapsedTimer t;
    t.start();
    const IgmImport::Outcome outcome = IgmImport::importFile(*db, {path, {}});
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (!outcome.imported || outcome.cargoLines != kCargoLines ||
        outcome.containers != kCargoLines * kContainersPerLine) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(outcome.message));
        return 1;
    }
    std::printf("%.3f %ld\n", seconds, BenchSupport::peakKb());
    db.reset();
    BenchSupport::removeDatabase(file);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--measure"))
        return measure(args[1], args[2]);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_igm DIR [RUNS]\n");
        return 2;
    }
    const QString dir = QDir(args[0]).absolutePath();
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 5;
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/manifest.egm");
    if (!QFile::exists(path)) {
        std::printf("writing the file into %s ...\n", qPrintable(dir));
        if (!generate(path))
            return 1;
    }
    std::printf("%d cargo lines, %d container lines; file %lld bytes\n", kCargoLines,
                kCargoLines * kContainersPerLine, qlonglong(QFileInfo(path).size()));

    const QStringList kinds{QStringLiteral("read"), QStringLiteral("import")};
    QMap<QString, QList<double>> times;
    QMap<QString, long> peaks;
    for (int r = 0; r < runs; ++r)
        for (const QString& what : kinds) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(app.applicationFilePath(), {QStringLiteral("--measure"), dir, what});
            child.waitForFinished(-1);
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            if (child.exitCode() != 0 || figures.size() != 2) {
                std::fprintf(stderr, "the %s run failed\n", qPrintable(what));
                return 1;
            }
            times[what] << figures[0].toDouble();
            peaks[what] = std::max(peaks[what], figures[1].toLong());
        }
    for (const QString& what : kinds) {
        QList<double> t = times[what];
        QStringList shown;
        for (double s : t)
            shown << QString::number(s, 'f', 3);
        std::sort(t.begin(), t.end());
        std::printf("%-7s median %.3f s (runs: %s), peak memory %.1f MB\n", qPrintable(what),
                    t[t.size() / 2], qPrintable(shown.join(QStringLiteral(", "))),
                    double(peaks[what]) / 1024.0);
    }
    return 0;
}
