#include "tools/runrom/ImageRun.h"

#include "common/zorvan/Console.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "engine/QtString.h"
#include "platform/ondrel/Input.h"
#include "platform/ondrel/Surface.h"

#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace RunRom {

namespace {

// A press with its key resolved for the running module.
struct HeldKey {
    int virtualKey;
    int first; // the first frame it is down
    int end;   // the first frame it is up again
};

// The virtual key a command-line key stands for in the module; -1 when it
// names none.
int ResolveKey(ZorvanEngine::Module &module, QString const &key)
{
    bool number = false;
    int const code = key.toInt(&number, 10);
    if (number)
        return code >= 0 && code < Ondrel::Input::KeyCount ? code : -1;
    Zorvan::String const setting = ToZorvanString(key);
    return module.GetSettings().Contains(setting) ? module.GetSettings().GetInt(setting) : -1;
}

void PrintConsole()
{
    char const *text = Zorvan::getConsole();
    if (*text)
        std::fprintf(stderr, "%s%s", text, text[std::strlen(text) - 1] == '\n' ? "" : "\n");
}

// Runs frame 0 untimed, then `timed` frames; the number of timed frames run
// (fewer when the machine quits) and their seconds.
int RunFrames(ZorvanEngine::Module &module, Ondrel::Input *input, std::vector<HeldKey> const &keys, int timed,
              double &seconds)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now();
    int frame = 0;
    for (; frame <= timed; ++frame) {
        for (HeldKey const &key : keys) {
            if (input && frame == key.first)
                input->KeyEvent(key.virtualKey, true);
            if (input && frame == key.end)
                input->KeyEvent(key.virtualKey, false);
        }
        if (frame == 1)
            start = Clock::now();
        if (!module.RunFrame()) {
            ++frame;
            break;
        }
    }
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (HeldKey const &key : keys) {
        if (input)
            input->KeyEvent(key.virtualKey, false);
    }
    return frame > 1 ? frame - 1 : 0;
}

} // namespace

QImage LastShownFrame(ZorvanEngine::BaseVideo const &video)
{
    Ondrel::Rect const source = video.m_lastSrc;
    Ondrel::Surface const *current = video.m_chain.GetCurrent();
    if (source.IsEmpty() || !current)
        return QImage();
    // Each shown frame ends with a flip to the other surface of the pair.
    Ondrel::Surface const *shown = current;
    if (current == video.m_surface1 && video.m_surface0)
        shown = video.m_surface0;
    else if (current == video.m_surface0 && video.m_surface1)
        shown = video.m_surface1;
    return shown->AsImage().copy(source.x, source.y, source.width, source.height);
}

int RunImage(ZorvanEngine::Engine &engine, QString const &image, RunOptions const &options)
{
    QByteArray const imageName = image.toLocal8Bit();
    if (!QFileInfo(image).isFile()) {
        std::fprintf(stderr, "runrom: %s: no such file\n", imageName.constData());
        return 1;
    }
    engine.ResetConsole();
    if (!engine.RunFile(ToZorvanString(image))) {
        PrintConsole();
        std::fprintf(stderr, "runrom: %s: no module could open the image\n", imageName.constData());
        return 1;
    }
    ZorvanEngine::Module &module = *engine.GetActiveModule();

    std::vector<HeldKey> keys;
    for (KeyPress const &press : options.presses) {
        int const virtualKey = ResolveKey(module, press.key);
        if (virtualKey < 0) {
            std::fprintf(stderr, "runrom: %s: not a key of the module that runs %s\n",
                         press.key.toLocal8Bit().constData(), imageName.constData());
            engine.Shutdown();
            return 2;
        }
        keys.push_back(HeldKey{virtualKey, press.frame, press.frame + press.frames});
    }

    double seconds = 0;
    int const timed = RunFrames(module, engine.GetInput(), keys, options.frames, seconds);
    QByteArray const name = QFileInfo(image).completeBaseName().toLocal8Bit();
    if (timed < options.frames)
        std::fprintf(stderr, "runrom: %s: the machine stopped after %d of %d timed frames\n", name.constData(),
                     timed, options.frames);
    std::printf("%s: %.1f frames/s\n", name.constData(), seconds > 0 ? timed / seconds : 0.0);
    std::fflush(stdout);

    int status = 0;
    if (!options.png.isEmpty()) {
        QImage const picture = module.GetVideo() ? LastShownFrame(*module.GetVideo()) : QImage();
        if (picture.isNull() || !picture.save(options.png, "PNG")) {
            std::fprintf(stderr, "runrom: %s: %s\n", options.png.toLocal8Bit().constData(),
                         picture.isNull() ? "no frame was shown" : "the picture could not be written");
            status = 1;
        }
    }
    engine.Shutdown();
    return status;
}

} // namespace RunRom
