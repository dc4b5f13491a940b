// A clerk at the cargo screen as a program of its own, for the tests that
// need several clerks on several PCs at once (tst_concurrency) or a save
// killed part way (tst_killfaults): logs on to an installation and saves new
// shipping bills with their containers through the screen, offscreen, one
// after another, each typed in and saved with a click on Save.
//
//   cargo_clerk --home DIR --clerk N --bills COUNT [--containers K]
//
// Bill i (from 0) of clerk N has EGM No. 700001, SB No. N * 100000 + i and
// K containers (3 by default) "CL" + its SB No. in 6 digits + the
// container's number in 2 digits, status F, so that a container tells its
// own bill. COUNT 0 saves until the program is killed.
//
// Exit status 0 when every bill was saved and no message shown; 1 when any
// message was shown (each one is written to standard error); 2 when the
// logon failed or the arguments are wrong.

#include "AppPaths.h"
#include "CargoTesting.h"
#include "ContainerGrid.h"
#include "Logon.h"
#include "LogonState.h"
#include "MyFunc.h"
#include "ScriptedPrompts.h"
#include "frmCargo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTextStream>

namespace {

constexpr int kEgmNo = 700001;

QString sbNo(int clerk, int bill)
{
    return QString::number(clerk * 100000 + bill);
}

void click(QWidget* form, const char* name)
{
    auto* button = form->findChild<QAbstractButton*>(QLatin1String(name));
    Q_ASSERT(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void setField(QWidget* form, int index, const QString& text)
{
    auto* box = form->findChild<QLineEdit*>(QStringLiteral("txtFields_%1").arg(index));
    Q_ASSERT(box);
    box->setText(text);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString home;
    int clerk = -1;
    int bills = -1;
    int containers = 3;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--home"))
            home = args[i + 1];
        else if (args[i] == QLatin1String("--clerk"))
            clerk = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--bills"))
            bills = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--containers"))
            containers = args[i + 1].toInt();
    }
    if (home.isEmpty() || clerk < 1 || clerk > 9 || bills < 0 || containers < 0 ||
        containers > 70) {
        err << "usage: cargo_clerk --home DIR --clerk 1..9 --bills COUNT [--containers 0..70]"
            << Qt::endl;
        return 2;
    }

    AppPaths::setHome(home);
    ScriptedPrompts prompts;
    LoadSkin(QString());
    const Logon::Start start = Logon::load();
    if (!start.error.isEmpty() || start.companies.isEmpty() ||
        Logon::logOn(start.sysPath, start.companies.first(), 0, QStringLiteral("TARVEX"),
                     QStringLiteral("KOSRAW"), false, false, false) != Logon::Outcome::LoggedOn) {
        err << "cargo_clerk: the logon failed: " << start.error << prompts.messages().join(u'\n')
            << Qt::endl;
        return 2;
    }
    prompts.clear();

    auto* form = new frmCargo;
    form->show();
    QElapsedTimer timer;
    timer.start();
    int saved = 0;
    for (int b = 0; bills == 0 || b < bills; ++b) {
        click(form, "cmdAdd");
        CargoTesting::fillBill(form, QString::number(kEgmNo));
        setField(form, 15, sbNo(clerk, b));
        ContainerGrid* grid = form->containerGrid();
        grid->ensureRows();
        for (int c = 0; c < containers; ++c) {
            grid->setText(c + 1, ContainerGrid::ContainerNo,
                          QStringLiteral("CL%1%2")
                              .arg(clerk * 100000 + b, 6, 10, QLatin1Char('0'))
                              .arg(c, 2, 10, QLatin1Char('0')));
            grid->setText(c + 1, ContainerGrid::Status, QStringLiteral("F"));
        }
        click(form, "cmdUpdate");
        // Anything the clerk is shown (a beep too), or a screen still in
        // its add mode, is a save that did not go through; but for the status
        // line that tells who changed the bill shown, and its clearing.
        prompts.calls.removeIf([](const ScriptedPrompts::Call& call) {
            return call.kind == QLatin1String("status") &&
                   (call.text.isEmpty() || call.text.startsWith(QLatin1String("Changed by ")));
        });
        if (!prompts.calls.isEmpty() || form->findChild<QWidget*>("cmdAdd")->isHidden()) {
            QStringList shown;
            for (const ScriptedPrompts::Call& call : prompts.calls)
                shown << call.kind + QStringLiteral(": ") + call.text;
            err << "cargo_clerk " << clerk << ", bill " << b
                << " not saved: " << shown.join(QStringLiteral("\n")) << Qt::endl;
            delete form;
            return 1;
        }
        ++saved;
    }
    out << "clerk " << clerk << ": " << saved << " bills saved in " << timer.elapsed() << " ms"
        << Qt::endl;
    delete form;
    return 0;
}
