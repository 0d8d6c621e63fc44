// The program object: the Qt application with the program's entry steps
// (single instance, main frame, command-line file, game loop) and the net
// that catches exceptions around every event handler.
#pragma once

#include "common/zorvan/String.h"
#include "engine/AppModule.h"

#include <QApplication>
#include <QString>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    ~Application() override;

    // Every event goes through here. Events taken from the queue are told
    // to the thread's game loop (they decide when its idle handlers run
    // again); an exception escaping a handler is reported, shuts the engine
    // down, and the program goes on.
    bool notify(QObject *receiver, QEvent *event) override;

    // The program: when an instance already runs, brings it to the front
    // (telling the user first when a file was given, which it cannot take
    // over) and returns 0; else runs the main frame with the file and
    // returns the loop's exit code (2 when the engine could not be made).
    int Run(QString const &commandLine);

    // The file named by the program's arguments; empty when none.
    static QString CommandLine(QStringList const &arguments);

    // The window a message box belongs to: the modal dialog or the window
    // in front, else the main window; null before there is one.
    static QWidget *DialogOwner();

    // Shows the libraries' messages in QMessageBox dialogs.
    static void InstallMessageBoxPresenter();

    ZorvanEngine::AppModule &GetAppModule() { return m_appModule; }
    // Tests run their own instance name and program folder.
    void SetInstanceName(QString name) { m_instanceName = std::move(name); }
    void SetProgramFolder(Zorvan::String folder) { m_programFolder = std::move(folder); }

private:

    ZorvanEngine::AppModule m_appModule;
    QString m_instanceName;
    Zorvan::String m_programFolder;
};
