#include "tools/runrom/RunHome.h"

#include <QDir>

#include <cstdlib>

namespace RunRom {

bool RunHome::Enter(QString const &folder)
{
    if (folder.isEmpty()) {
        m_temporary = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1String("/runrom-XXXXXX"));
        if (!m_temporary->isValid())
            return false;
        m_path = m_temporary->path();
    } else {
        m_path = QDir(folder).absolutePath();
        if (!QDir().mkpath(m_path))
            return false;
    }
    struct Variable {
        char const *name;
        char const *below; // the folder below the home
    };
    static constexpr Variable kVariables[] = {
        {"HOME", ""},
        {"XDG_CONFIG_HOME", "/.config"},
        {"XDG_DATA_HOME", "/.local/share"},
        {"XDG_CACHE_HOME", "/.cache"},
        {"QUINTAR_CONFIG_DIR", "/.config/Quintar"},
        {"XDG_RUNTIME_DIR", "/.runtime"},
    };
    for (Variable const &variable : kVariables)
        setenv(variable.name, (m_path + QLatin1String(variable.below)).toLocal8Bit().constData(), 1);
    return true;
}

} // namespace RunRom
