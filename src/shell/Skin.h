#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

/// A skin file (*.skn): an INI file whose [Skin] section gives the colour of
/// every part of the window (one key per Role, Background and Text at
/// least), optionally Radius (corner rounding of buttons and boxes, in
/// pixels) and a StyleSheet file beside the skin file with rules of its own.
///
/// The look of the whole window comes from one style sheet of the program's
/// own filled with the skin's colours, so that a skin of two colours still
/// colours menus, toolbar, status bar, workspace, boxes and buttons. Style
/// sheets name colours as @Role (@Background, @EditText...), never by value:
/// every text is then one of the pairs textPairs() lists, whose contrast a
/// test checks.
struct Skin
{
    enum Role
    {
        Background,    ///< forms and dialogs
        Text,          ///< labels, check boxes, group titles on Background
        Heading,       ///< the heading of a form, on Background
        Button,        ///< button face
        ButtonText,    ///< button caption, grid headers
        Edit,          ///< a box that can be typed into
        EditText,      ///< the text typed into it
        ReadOnly,      ///< a locked box (a record screen in browse mode)
        ReadOnlyText,  ///< its text
        Disabled,      ///< a disabled box or button
        DisabledText,  ///< its text, and disabled labels and menu entries
        Placeholder,   ///< the hint an empty box shows (dd/mm/yyyy)
        Border,        ///< frames of boxes and buttons
        Highlight,     ///< selection, chosen menu entry, active window's title
        HighlightText, ///< text on Highlight
        Bar,           ///< menu bar, menus, toolbar, status bar
        BarText,       ///< their text
        Workspace,     ///< the area behind the screens
        RoleCount
    };

    /// A text and the background it is drawn on.
    struct TextPair
    {
        const char* where;
        Role text;
        Role background;
    };

    QString path;
    QString name;
    QColor colours[RoleCount];
    int radius = 3;
    QString styleSheet; ///< the whole window's style sheet, colours filled in
    bool valid = false;

    const QColor& colour(Role role) const { return colours[role]; }
    /// The key of a role in the skin file and its name in style sheets.
    static QString roleName(Role role);

    /// Every text of the window with the background it stands on.
    static const QList<TextPair>& textPairs();
    /// The contrast ratio of two colours as WCAG 2 defines it, from 1 (the
    /// same luminance) to 21 (black on white).
    static double contrast(const QColor& a, const QColor& b);
    static double luminance(const QColor& c);

    /// The skin's colours as a palette (for what style sheets do not reach).
    QPalette palette() const;
    /// Replaces every @Role of a style sheet with the skin's colour.
    QString fillColours(QString sheet) const;

    /// Reads a skin; an empty or unreadable path, or a file without valid
    /// Background and Text, gives the plain look (valid false: the program
    /// keeps the platform's colours). Colours a file leaves out are derived
    /// from the ones it gives, readable on their backgrounds.
    static Skin load(const QString& path);
};
