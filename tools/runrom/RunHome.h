// The home a run keeps its settings, saved states and battery files in:
// a temporary folder removed when the run ends, or the one given. Either
// way the process's environment points every user folder the engine and Qt
// use into it, so a run never touches the user's key store or save folder.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace RunRom {

class RunHome {
public:
    // folder empty: a temporary home. False when the home cannot be made.
    bool Enter(QString const &folder);
    QString const &GetPath() const { return m_path; }

private:
    std::unique_ptr<QTemporaryDir> m_temporary;
    QString m_path;
};

} // namespace RunRom
