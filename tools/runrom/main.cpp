// runrom: runs console images headless, as the program would, and prints how
// fast they run. Every console's tests and benchmarks use it.
//
//   runrom [--module FILE.so] [--frames N] [--png FILE] [--press FRAME:KEY[:FRAMES]]...
//          [--sound] [--home DIR] IMAGE...
//
// Each IMAGE in turn is opened through the engine as the program opens a
// file (a zip archive too), with the module's "FrameSync" off, "FrameSkip" 0
// (every frame drawn), "ScreenSize" "100%" and sound off. Frame 0 is run
// untimed, then N frames are timed, and one line goes to standard output:
//
//   <image base name>: <frames per second> frames/s
//
// where the base name is the file name without its folder and its last
// extension, and the rate has one decimal.
//
//   --module FILE.so   use only this module plug-in; without it the plug-ins
//                      are found where the program finds them (beside runrom
//                      and in its ZorvanModules folder).
//   --frames N         timed frames per image, at least 1 (default 600).
//   --png FILE         after each image, its last shown frame at the module's
//                      picture size, through Qt's image writer (the last
//                      image's frame is what remains).
//   --press FRAME:KEY[:FRAMES]
//                      hold KEY for FRAMES frames (default 2) from frame FRAME
//                      on; KEY is a key setting of the module ("vkStart") or
//                      a virtual-key number ("13"). May be given many times.
//   --sound            sound on (the engine's and the module's "Sound").
//   --home DIR         settings, saved states and battery files go to DIR
//                      (made when missing); without it they go to a temporary
//                      home that is removed when the run ends. Either way the
//                      user's own key store and save folder are never touched.
//
// Exit status: 0 when every image ran; 1 when an image could not be opened
// (the module's messages, then runrom's, on standard error) or its picture
// not written; 2 for a wrong command line or a KEY the module does not have.
// A machine that quits before its N frames is rated over the frames it ran,
// with a note on standard error.
//
// It runs headless: Qt's offscreen platform, SDL's dummy audio driver unless
// SDL_AUDIODRIVER says otherwise, and an engine whose view is never shown.
#include "engine/Engine.h"
#include "tools/runrom/ImageRun.h"
#include "tools/runrom/RunEngine.h"
#include "tools/runrom/RunHome.h"
#include "tools/runrom/RunOptions.h"

#include <QApplication>
#include <QWidget>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

// Room for the pictures of every console at 100 %.
constexpr int kViewWidth = 640;
constexpr int kViewHeight = 480;

// Qt's notes about what the offscreen platform cannot do (raise a window,
// size hints) are no concern of a headless run; its errors still show.
void QuietQtMessages(QtMsgType type, QMessageLogContext const &, QString const &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

int Run(RunRom::RunOptions const &options)
{
    qInstallMessageHandler(QuietQtMessages);
    static int argc = 1;
    static char name[] = "runrom";
    static char *argv[] = {name, nullptr};
    QApplication application(argc, argv);

    QWidget view;
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(kViewWidth, kViewHeight);
    ZorvanEngine::Engine engine(nullptr, nullptr, &view);
    if (!RunRom::LoadRunModules(engine, options.module))
        return 1;
    RunRom::PrepareSettings(engine, options.sound);

    int status = 0;
    for (QString const &image : options.images) {
        int const result = RunRom::RunImage(engine, image, options);
        status = result > status ? result : status;
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    RunRom::RunOptions options;
    QString error;
    if (!RunRom::ParseOptions(arguments, options, error)) {
        std::fprintf(stderr, "runrom: %s\n%s", error.toLocal8Bit().constData(), RunRom::kUsage);
        return 2;
    }

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    RunRom::RunHome home;
    if (!home.Enter(options.home)) {
        std::fprintf(stderr, "runrom: the home folder %s could not be made\n",
                     options.home.isEmpty() ? "(temporary)" : options.home.toLocal8Bit().constData());
        return 1;
    }
    return Run(options);
}
