#pragma once

#include <QColor>
#include <QString>

/// A skin file (*.skn): an INI file with a [Skin] section giving
/// Background and Text colours, optionally Button and Highlight colours and
/// a StyleSheet file (a Qt style sheet beside the skin file).
struct Skin
{
    QString path;
    QString name;
    QColor background;
    QColor text;
    QColor button;
    QColor highlight;
    QString styleSheet; ///< the style sheet's content
    bool valid = false;

    /// Reads a skin; an empty or unreadable path gives the plain look
    /// (valid false: the program keeps the platform's colours).
    static Skin load(const QString& path);
};
