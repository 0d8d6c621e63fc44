// One image's run: open it, run its frames with the keys pressed on the
// frames asked, print its frame rate, keep its last picture.
#pragma once

#include "tools/runrom/RunOptions.h"

#include <QImage>

namespace ZorvanEngine {
class BaseVideo;
class Engine;
} // namespace ZorvanEngine

namespace RunRom {

// 0 when the image ran, 1 when it could not be opened or its picture not
// written, 2 when a key of the command line is no key of its module.
int RunImage(ZorvanEngine::Engine &engine, QString const &image, RunOptions const &options);

// The frame the video showed last, cut to the rectangle it showed; a null
// image before the first shown frame.
QImage LastShownFrame(ZorvanEngine::BaseVideo const &video);

} // namespace RunRom
