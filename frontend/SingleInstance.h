// One Quintar per user: the first instance listens on a local socket named
// after its main window's class; a later start finds it there and asks it to
// come to the front instead of starting a second program.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The request a later start sends to the running instance.
    static constexpr char kActivateRequest[] = "activate\n";

    // "Quintar.MainFrame" with the user's id, so users of one machine do not
    // find each other's programs.
    static QString DefaultName();

    explicit SingleInstance(QString name = DefaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    QString const &GetName() const { return m_name; }

    // Whether an instance listens under the name.
    bool FindRunning() const;
    // Asks the running instance to bring its window to the front; false when
    // none answered.
    bool BringRunningToFront() const;

    // Listens for later starts and brings window to the front for each of
    // them. A socket file left by an instance that crashed is replaced.
    bool Listen(QWidget *window);

private:
    void OnConnection();

    QString m_name;
    QLocalServer *m_server = nullptr;
    QPointer<QWidget> m_window;
};
