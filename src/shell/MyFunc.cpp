#include "MyFunc.h"

#include "Rights.h"
#include "RowSet.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

Skin& skin()
{
    static Skin s;
    return s;
}

QPointer<RowSet> reportRs;

// Marks what the skin was put on, so that a new skin reaches it too.
constexpr char skinnedWindow[] = "tarvexSkinnedWindow";
constexpr char skinnedForm[] = "tarvexSkinnedForm";

/// Keeps the skin where Qt alone would lose it:
/// - style sheet rules on [readOnly="true"] are matched when a box is
///   polished; a record screen locks and unlocks its boxes as it changes
///   mode, so a box is polished again whenever that happens;
/// - a window of its own that belongs to a skinned one (the logon over the
///   main window, a dialog) inherits its style sheet but not its palette,
///   so it gets the skin whole when it is first shown.
class SkinFollower final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!skin().valid || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::ReadOnlyChange) {
            w->style()->unpolish(w);
            w->style()->polish(w);
            w->update();
        } else if (event->type() == QEvent::Show && w->isWindow() && w->windowType() != Qt::Popup &&
                   w->windowType() != Qt::ToolTip && !w->property(skinnedWindow).isValid() &&
                   w->parentWidget() &&
                   w->parentWidget()->window()->property(skinnedWindow).toBool()) {
            ApplySkin(w);
        }
        return false;
    }
};

} // namespace

bool EnterMovesOn(QWidget* w)
{
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->click();
        return true;
    }
    // A drop-down that is open takes Enter to choose its entry.
    if (auto* combo = qobject_cast<QComboBox*>(w);
        combo && combo->view() && combo->view()->isVisible())
        return false;
    // The key becomes a Tab, as if the clerk had pressed Tab.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(w, &tab);
    return true;
}

namespace {

class EnterAsTab final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        auto* w = qobject_cast<QWidget*>(watched);
        return w && EnterMovesOn(w);
    }
};

class EscCloses final : public QObject
{
public:
    EscCloses(QWidget* form) : QObject(form), form_(form) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            FormWindow(form_)->close();
            return true;
        }
        return false;
    }

private:
    QWidget* form_;
};

class Overtype final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* edit = qobject_cast<QLineEdit*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (!edit || edit->isReadOnly() || key->text().isEmpty() || !key->text()[0].isPrint() ||
            key->key() == Qt::Key_Backspace || (key->modifiers() & Qt::ControlModifier))
            return false;
        // One character selected before the key takes effect: the typed one replaces it.
        if (!edit->hasSelectedText() && edit->cursorPosition() < edit->text().size())
            edit->setSelection(edit->cursorPosition(), 1);
        return false;
    }
};

/// Watches every child that can take the focus, present and to come.
void filterChildren(QWidget* form, QObject* filter)
{
    form->installEventFilter(filter);
    for (QWidget* w : form->findChildren<QWidget*>())
        w->installEventFilter(filter);
}

int keyFor(const QString& name)
{
    static const QHash<QString, int> keys = {
        {QStringLiteral("TAB"), Qt::Key_Tab},
        {QStringLiteral("ENTER"), Qt::Key_Return},
        {QStringLiteral("HOME"), Qt::Key_Home},
        {QStringLiteral("END"), Qt::Key_End},
        {QStringLiteral("LEFT"), Qt::Key_Left},
        {QStringLiteral("RIGHT"), Qt::Key_Right},
        {QStringLiteral("UP"), Qt::Key_Up},
        {QStringLiteral("DOWN"), Qt::Key_Down},
        {QStringLiteral("BACKSPACE"), Qt::Key_Backspace},
        {QStringLiteral("BS"), Qt::Key_Backspace},
        {QStringLiteral("BKSP"), Qt::Key_Backspace},
        {QStringLiteral("DELETE"), Qt::Key_Delete},
        {QStringLiteral("DEL"), Qt::Key_Delete},
        {QStringLiteral("ESC"), Qt::Key_Escape},
        {QStringLiteral("PGUP"), Qt::Key_PageUp},
        {QStringLiteral("PGDN"), Qt::Key_PageDown},
        {QStringLiteral("INSERT"), Qt::Key_Insert},
        {QStringLiteral("INS"), Qt::Key_Insert},
    };
    const QString upper = name.toUpper();
    if (upper.size() >= 2 && upper[0] == u'F') {
        bool ok = false;
        const int n = upper.mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 12)
            return Qt::Key_F1 + n - 1;
    }
    return keys.value(upper, 0);
}

void sendKey(int key, const QString& text, Qt::KeyboardModifiers mods, bool wait)
{
    QWidget* target = QApplication::focusWidget();
    if (!target)
        return;
    if (wait) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(target, &release);
    } else {
        QApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, mods, text));
        QApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, mods, text));
    }
}

} // namespace

const Skin& CurrentSkin()
{
    return skin();
}

void LoadSkin(const QString& path)
{
    skin() = Skin::load(path);
}

void ApplySkin(QWidget* window)
{
    if (!window)
        return;
    const Skin& s = skin();
    window->setProperty(skinnedWindow, true);
    static SkinFollower* follower = nullptr;
    if (!follower && qApp) {
        follower = new SkinFollower(qApp);
        qApp->installEventFilter(follower);
    }
    // What the style sheet does not reach (title bars of the screens, frames)
    // is drawn from the palette; no skin gives the platform's colours back.
    // (An empty palette would not reach the children: the platform's is set.)
    QPalette p = s.valid ? s.palette() : QApplication::palette(window);
    if (s.valid && qobject_cast<QMdiSubWindow*>(window)) {
        // A screen's title bar writes the palette's Text on a gradient of
        // Highlight (the active screen) or Window (the others), brightest
        // 14% above the colour: HighlightText on Highlight, and Text on
        // Background, as the skin gives them.
        p.setColor(QPalette::Active, QPalette::Text, s.colour(Skin::HighlightText));
        p.setColor(QPalette::Active, QPalette::Highlight, s.colour(Skin::Highlight).darker(114));
        p.setColor(QPalette::Inactive, QPalette::Text, s.colour(Skin::Text));
    }
    // The style sheet builds the controls' colours on the palette, and puts
    // back the palette it found at its last polish whenever it polishes
    // again: the palette goes on first (between an unpolish and a polish, so
    // that it is the one kept) and comes off last.
    if (s.valid) {
        QStyle* style = window->style();
        style->unpolish(window);
        window->setPalette(p);
        style->polish(window);
        window->setStyleSheet(s.styleSheet);
    } else {
        window->setStyleSheet(QString());
        // The style sheet leaves its colours behind on the controls it styled.
        const auto controls = window->findChildren<QWidget*>();
        for (QWidget* w : controls)
            w->setPalette(QPalette());
        window->setPalette(p);
    }
}

void ApplyAppearance(QWidget* form)
{
    if (!form)
        return;
    form->setProperty(skinnedForm, true);
    ApplySkin(form);
    const Skin& s = skin();
    form->setAutoFillBackground(s.valid);
    const auto areas = form->findChildren<QMdiArea*>();
    for (QMdiArea* area : areas)
        area->setBackground(s.valid ? QBrush(s.colour(Skin::Workspace))
                                    : area->palette().brush(QPalette::Dark));
}

void ApplyAppearanceEverywhere()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* top : windows) {
        QList<QWidget*> widgets = top->findChildren<QWidget*>();
        widgets.prepend(top);
        for (QWidget* w : std::as_const(widgets)) {
            if (w->property(skinnedForm).toBool())
                ApplyAppearance(w);
            else if (w->property(skinnedWindow).toBool())
                ApplySkin(w);
        }
    }
}

void ApplyRights(QWidget* form)
{
    const QString& rights = logonState().URights;
    if (!form || Rights::isSuperuser(rights))
        return;
    for (int r = 1; r <= 5; ++r) {
        const auto right = Rights::Record(r);
        if (Rights::recordAllowed(rights, right))
            continue;
        if (auto* b = form->findChild<QWidget*>(Rights::buttonName(right)))
            b->setEnabled(false);
    }
}

int ConfirmDeletion()
{
    return prompts().question(QStringLiteral("Confirm Deletion ?"), Prompts::Buttons::YesNo,
                              Prompts::No, Prompts::Icon::Question, QStringLiteral("Delete"));
}

void SendKeysKeepLocks(const QString& keys, bool wait)
{
    Qt::KeyboardModifiers mods;
    for (int i = 0; i < keys.size(); ++i) {
        const QChar c = keys[i];
        if (c == u'+') {
            mods |= Qt::ShiftModifier;
            continue;
        }
        if (c == u'^') {
            mods |= Qt::ControlModifier;
            continue;
        }
        if (c == u'%') {
            mods |= Qt::AltModifier;
            continue;
        }
        if (c == u'{') {
            const int close = int(keys.indexOf(u'}', i + 2));
            if (close > i) {
                const QString name = keys.mid(i + 1, close - i - 1);
                const int key = keyFor(name);
                if (key)
                    sendKey(key, key == Qt::Key_Tab ? QStringLiteral("\t") : QString(), mods, wait);
                else if (name.size() == 1)
                    sendKey(name[0].toUpper().unicode(), name, mods, wait);
                i = close;
                mods = {};
                continue;
            }
        }
        if (c == u'~') {
            sendKey(Qt::Key_Return, QStringLiteral("\r"), mods, wait);
        } else {
            sendKey(c.toUpper().unicode(), mods & Qt::ControlModifier ? QString() : QString(c),
                    mods, wait);
        }
        mods = {};
    }
}

RowSet* ReportRS()
{
    return reportRs.data();
}

void SetReportRS(RowSet* rs)
{
    reportRs = rs;
}

void InstallEnterAsTab(QWidget* form)
{
    filterChildren(form, new EnterAsTab(form));
}

void InstallEscCloses(QWidget* form)
{
    filterChildren(form, new EscCloses(form));
}

void InstallOvertype(QWidget* form)
{
    auto* filter = new Overtype(form);
    for (QLineEdit* e : form->findChildren<QLineEdit*>())
        e->installEventFilter(filter);
}

QLineEdit* MakeEdit(QWidget* form, const QString& name)
{
    auto* edit = new QLineEdit(form);
    edit->setObjectName(name);
    return edit;
}

QPushButton* MakeButton(QWidget* form, const QString& caption, const QString& name)
{
    auto* button = new QPushButton(caption, form);
    button->setObjectName(name);
    return button;
}

QLabel* MakeLabel(QWidget* form, const QString& caption, const QString& name, QWidget* buddy)
{
    auto* label = new QLabel(caption, form);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

QLabel* MakeHeading(QWidget* form, const QString& text)
{
    auto* head = new QLabel(text, form);
    head->setObjectName(QStringLiteral("lblHead"));
    QFont f = head->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    f.setBold(true);
    head->setFont(f);
    return head;
}

QVBoxLayout* MakeFormLayout(QWidget* form, QLabel* heading)
{
    auto* rule = new QFrame(form);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(heading);
    layout->addWidget(rule);
    return layout;
}

QWidget* FormWindow(QWidget* form)
{
    if (!form)
        return nullptr;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
        return sub;
    return form;
}
