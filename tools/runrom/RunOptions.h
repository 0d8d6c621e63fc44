// runrom's command line (its contract is at the top of main.cpp).
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace RunRom {

// A key held from one frame on for a number of frames.
struct KeyPress {
    int frame = 0;
    QString key; // a key setting of the module ("vkStart") or a virtual-key number
    int frames = 2;
};

struct RunOptions {
    QString module;
    int frames = 600;
    QString png;
    std::vector<KeyPress> presses;
    bool sound = false;
    QString home;
    QStringList images;
};

// Reads the arguments after the program's name; false with the reason in
// `error` when they do not form a valid command line.
bool ParseOptions(QStringList const &arguments, RunOptions &options, QString &error);

extern char const kUsage[];

} // namespace RunRom
