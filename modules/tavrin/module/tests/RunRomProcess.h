// runrom on the real handheld plug-in, as a separate process in a sandbox
// home, for the plug-in's end-to-end tests.
#pragma once

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace Tavrin::Test {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::filesystem::path BuildFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
}

inline std::filesystem::path PluginPath() { return BuildFolder() / "bin/ZorvanModules/libTavrin.so"; }

// runrom --module libTavrin.so <arguments> with its home, configuration and
// temporary folders below root.
inline RunResult RunRom(std::filesystem::path const &root, QStringList arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    auto const at = [&](char const *name) { return QString::fromStdString((root / name).string()); };
    environment.insert("HOME", at("home"));
    environment.insert("XDG_CONFIG_HOME", at("home/.config"));
    environment.insert("QUINTAR_CONFIG_DIR", at("config"));
    environment.insert("TMPDIR", at("tmp"));
    std::filesystem::create_directories(root / "tmp");
    process.setProcessEnvironment(environment);
    arguments.prepend(QString::fromStdString(PluginPath().string()));
    arguments.prepend("--module");
    process.start(QString::fromStdString((BuildFolder() / "bin/runrom").string()), arguments);
    RunResult result;
    if (!process.waitForFinished(120000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

// Pixels of two pictures whose channels differ by more than tolerance; -1
// when the sizes differ or one is missing.
inline int DifferingPixels(QImage const &a, QImage const &b, int tolerance)
{
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return -1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            QRgb const p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance)
                ++differing;
        }
    }
    return differing;
}

} // namespace Tavrin::Test
