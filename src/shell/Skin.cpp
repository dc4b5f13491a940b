#include "Skin.h"

#include "Resources.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

namespace {

constexpr double readableContrast = 4.5;

const char* const roleNames[Skin::RoleCount] = {
    "Background", "Text",      "Heading",       "Button",   "ButtonText",   "Edit",
    "EditText",   "ReadOnly",  "ReadOnlyText",  "Disabled", "DisabledText", "Placeholder",
    "Border",     "Highlight", "HighlightText", "Bar",      "BarText",      "Workspace",
};

QColor mix(const QColor& a, const QColor& b, double share)
{
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
                            float(a.greenF() * (1 - share) + b.greenF() * share),
                            float(a.blueF() * (1 - share) + b.blueF() * share));
}

/// c itself when it reads on every background, else c moved towards black or
/// white (away from the first background) until it does.
QColor readable(const QColor& c, const QList<QColor>& backgrounds)
{
    const QColor goal =
        Skin::luminance(backgrounds.first()) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 0; step <= 10; ++step) {
        const QColor tried = mix(c, goal, step / 10.0);
        bool ok = true;
        for (const QColor& b : backgrounds)
            ok = ok && Skin::contrast(tried, b) >= readableContrast;
        if (ok)
            return tried;
    }
    return goal;
}

/// Fills in the colours a skin file leaves out from those it gives.
void derive(Skin& s, const bool given[Skin::RoleCount])
{
    QColor* c = s.colours;
    const auto set = [&](Skin::Role r, const QColor& value) {
        if (!given[r])
            c[r] = value;
    };
    const bool light = Skin::luminance(c[Skin::Background]) > 0.35;
    set(Skin::Heading, c[Skin::Text]);
    set(Skin::Button, c[Skin::Background]);
    set(Skin::ButtonText, readable(c[Skin::Text], {c[Skin::Button]}));
    set(Skin::Edit, light ? QColor(Qt::white) : c[Skin::Background].lighter(135));
    set(Skin::EditText, readable(c[Skin::Text], {c[Skin::Edit]}));
    set(Skin::ReadOnly, mix(c[Skin::Edit], c[Skin::Background], 0.5));
    set(Skin::ReadOnlyText, readable(c[Skin::EditText], {c[Skin::ReadOnly]}));
    set(Skin::Disabled, c[Skin::Background]);
    set(Skin::Bar, c[Skin::Button]);
    set(Skin::BarText, readable(c[Skin::ButtonText], {c[Skin::Bar]}));
    set(Skin::DisabledText, readable(mix(c[Skin::Text], c[Skin::Background], 0.4),
                                     {c[Skin::Disabled], c[Skin::Background], c[Skin::Bar]}));
    set(Skin::Placeholder, readable(c[Skin::DisabledText], {c[Skin::Edit], c[Skin::ReadOnly]}));
    set(Skin::Border, mix(c[Skin::Text], c[Skin::Background], 0.55));
    set(Skin::Highlight, QColor(0x2f, 0x6f, 0xb0));
    set(Skin::HighlightText, Skin::contrast(Qt::white, c[Skin::Highlight]) >=
                                     Skin::contrast(Qt::black, c[Skin::Highlight])
                                 ? QColor(Qt::white)
                                 : QColor(Qt::black));
    set(Skin::Workspace, light ? c[Skin::Background].darker(125) : c[Skin::Background].darker(150));
}

QString windowSheet()
{
    InitResources();
    QFile f(QStringLiteral(":/styles/window.qss"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

QString Skin::roleName(Role role)
{
    return QString::fromLatin1(roleNames[role]);
}

const QList<Skin::TextPair>& Skin::textPairs()
{
    static const QList<TextPair> pairs = {
        {"labels on forms and dialogs, title bars of the other screens", Text, Background},
        {"form headings", Heading, Background},
        {"buttons", ButtonText, Button},
        {"boxes being typed into", EditText, Edit},
        {"locked boxes", ReadOnlyText, ReadOnly},
        {"hints in empty boxes", Placeholder, Edit},
        {"hints in empty locked boxes", Placeholder, ReadOnly},
        {"disabled boxes and buttons", DisabledText, Disabled},
        {"disabled labels", DisabledText, Background},
        {"disabled menu entries", DisabledText, Bar},
        {"menu bar, menus, toolbar and status bar", BarText, Bar},
        {"selection, chosen menu entry, the active screen's title bar", HighlightText, Highlight},
    };
    return pairs;
}

double Skin::luminance(const QColor& c)
{
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

double Skin::contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette Skin::palette() const
{
    QPalette p(colour(Button), colour(Background));
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, colour(Background));
        p.setColor(group, QPalette::WindowText, colour(Text));
        p.setColor(group, QPalette::Base, colour(Edit));
        p.setColor(group, QPalette::AlternateBase, colour(ReadOnly));
        p.setColor(group, QPalette::Text, colour(EditText));
        p.setColor(group, QPalette::Button, colour(Button));
        p.setColor(group, QPalette::ButtonText, colour(ButtonText));
        p.setColor(group, QPalette::Highlight, colour(Highlight));
        p.setColor(group, QPalette::HighlightedText, colour(HighlightText));
        p.setColor(group, QPalette::PlaceholderText, colour(Placeholder));
        p.setColor(group, QPalette::ToolTipBase, colour(Edit));
        p.setColor(group, QPalette::ToolTipText, colour(EditText));
        p.setColor(group, QPalette::Mid, colour(Border));
    }
    p.setColor(QPalette::Disabled, QPalette::Window, colour(Background));
    p.setColor(QPalette::Disabled, QPalette::WindowText, colour(DisabledText));
    p.setColor(QPalette::Disabled, QPalette::Base, colour(Disabled));
    p.setColor(QPalette::Disabled, QPalette::Text, colour(DisabledText));
    p.setColor(QPalette::Disabled, QPalette::Button, colour(Disabled));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, colour(DisabledText));
    p.setColor(QPalette::Disabled, QPalette::PlaceholderText, colour(Placeholder));
    p.setColor(QPalette::Disabled, QPalette::Highlight, colour(Highlight));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, colour(HighlightText));
    return p;
}

QString Skin::fillColours(QString sheet) const
{
    static const QRegularExpression word(QStringLiteral("@([A-Za-z]+)"));
    QString out;
    qsizetype from = 0;
    for (auto it = word.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(sheet).mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const QString key = m.captured(1);
        QString value;
        if (key == QLatin1String("Radius"))
            value = QString::number(radius) + QStringLiteral("px");
        else if (key == QLatin1String("Arrow")) // the drop-down arrow that shows on Edit
            value =
                luminance(colour(Edit)) > 0.35 ? QStringLiteral("dark") : QStringLiteral("light");
        else
            for (int r = 0; r < RoleCount; ++r)
                if (key == QLatin1String(roleNames[r]))
                    value = colours[r].name();
        out += value.isEmpty() ? m.captured(0) : value;
    }
    out += QStringView(sheet).mid(from);
    return out;
}

Skin Skin::load(const QString& path)
{
    Skin s;
    s.path = path;
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return s;
    // Read once: every key comes from one version of the file.
    const QByteArray content = Settings::contentOf(path);
    const QString section = QStringLiteral("Skin");
    const auto value = [&](const QString& key) {
        return Settings::valueIn(content, section, key).section(u';', 0, 0).trimmed();
    };
    s.name = Settings::valueIn(content, section, QStringLiteral("Name"));
    bool given[RoleCount] = {};
    for (int r = 0; r < RoleCount; ++r) {
        const QColor c(value(QString::fromLatin1(roleNames[r])));
        given[r] = c.isValid();
        if (given[r])
            s.colours[r] = c;
    }
    if (!given[Background] || !given[Text])
        return s;
    derive(s, given);
    bool ok = false;
    const int radius = value(QStringLiteral("Radius")).toInt(&ok);
    if (ok && radius >= 0 && radius <= 12)
        s.radius = radius;

    s.styleSheet = s.fillColours(windowSheet());
    const QString own = value(QStringLiteral("StyleSheet"));
    if (!own.isEmpty()) {
        QFile f(QFileInfo(path).dir().filePath(own));
        if (f.open(QIODevice::ReadOnly))
            s.styleSheet += QLatin1Char('\n') + s.fillColours(QString::fromUtf8(f.readAll()));
    }
    s.valid = true;
    return s;
}
