#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QUrl;

/// Help > About: the version, where the installation is and why there, the
/// logged-on company's database and its engine, and a button that opens the
/// installation's folder in the desktop's file manager.
class frmAbout : public QWidget
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

    /// What opens a folder (QDesktopServices by default; tests record the
    /// call instead of starting a file manager). An empty function restores
    /// the default. Returns whether the folder could be opened.
    using FolderOpener = std::function<bool(const QUrl&)>;
    static void setFolderOpener(FolderOpener opener);

    /// The company database's place for a connection text ("DSN=" + name):
    /// the file, or the database and its server; and the engine.
    static QString databaseText(const QString& connection, QString* engine);

private:
    void openFolder();

    QLabel* lblVersion;
    QLineEdit* txtFolder;
    QLabel* lblFolderSource;
    QLineEdit* txtDatabase;
    QLabel* lblEngine;
    QPushButton* cmdOpenFolder;
    QPushButton* cmdClose;
};
