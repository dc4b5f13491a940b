#include "QtPrompts.h"

#include "frmMenu.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

namespace {

/// The window a prompt belongs to: it stands over that window, and the window
/// waits for it. The active one, else (while a window is still being
/// shown) the main window, else whatever window is up.
QWidget* parentWindow()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (w->isVisible() && qobject_cast<frmMenu*>(w))
            return w;
    for (QWidget* w : windows)
        if (w->isVisible() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip)
            return w;
    return nullptr;
}

/// A dialog of the program, not a window of its own: no minimise or
/// maximise buttons.
constexpr Qt::WindowFlags dialogFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                        Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowCloseButtonHint;

/// Keeps a one-line message on one line where the screen is wide enough
/// (the message box would wrap it at half that width).
void keepOnOneLine(QMessageBox& box, const QString& text)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label || text.contains(u'\n'))
        return;
    const int width = label->fontMetrics().horizontalAdvance(text) + 8;
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int limit = screen ? screen->availableGeometry().width() * 3 / 4 : 900;
    if (width <= limit)
        label->setMinimumWidth(width);
}

QString titleOr(const QString& title)
{
    return title.isEmpty() ? appTitle() : title;
}

} // namespace

Prompts::Answer QtPrompts::message(const QString& text, Buttons buttons, Icon icon,
                                   const QString& title)
{
    return question(text, buttons, Answer(0), icon, title);
}

Prompts::Answer QtPrompts::question(const QString& text, Buttons buttons, Answer defaultButton,
                                    Icon icon, const QString& title)
{
    QMessageBox box(parentWindow());
    box.setWindowFlags(dialogFlags);
    box.setWindowTitle(titleOr(title));
    box.setText(text);
    keepOnOneLine(box, text);
    switch (iconFor(buttons, icon)) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        break;
    }
    switch (defaultButton) {
    case Yes:
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case No:
        box.setDefaultButton(QMessageBox::No);
        break;
    case Cancel:
        box.setDefaultButton(QMessageBox::Cancel);
        break;
    default:
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Cancel:
        return Cancel;
    case QMessageBox::Retry:
        return Retry;
    default:
        break;
    }
    return Ok;
}

std::optional<QString> QtPrompts::input(const QString& prompt, const QString& title,
                                        const QString& defaultText)
{
    QInputDialog dialog(parentWindow(), dialogFlags);
    dialog.setWindowTitle(titleOr(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtPrompts::openFile(const QString& title, const QString& filter, const QString& initialName,
                            const QString& directory)
{
    QFileDialog dialog(parentWindow(), title, startFolder(directory), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!initialName.isEmpty() && !initialName.contains(u'*'))
        dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog.selectedFiles().first();
    chosenFrom(directory, chosen);
    return chosen;
}

QString QtPrompts::saveFile(const QString& title, const QString& filter, const QString& initialPath)
{
    QFileDialog dialog(parentWindow(), title, initialPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString QtPrompts::folder(const QString& title, const QString& directory)
{
    const QString chosen =
        QFileDialog::getExistingDirectory(parentWindow(), title, startFolder(directory));
    chosenFrom(directory, chosen);
    return chosen;
}

void QtPrompts::beep()
{
    QApplication::beep();
}

void QtPrompts::status(const QString& text)
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (auto* menu = qobject_cast<frmMenu*>(w))
            menu->showStatus(text);
}
