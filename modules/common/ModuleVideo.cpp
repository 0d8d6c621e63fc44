#include "modules/common/ModuleVideo.h"

#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "platform/ondrel/Display.h"

namespace ConsoleGlue {

ZorvanEngine::BaseVideo *ModuleVideo = nullptr;

void SetPaletteColor(int index, int r, int g, int b)
{
    if (ModuleVideo)
        ModuleVideo->SetColor(index, r, g, b);
}

void PresentFrame(Ondrel::Rect const &source)
{
    ZorvanEngine::BaseVideo *video = ModuleVideo;
    if (!video || !video->IsOpen())
        return;
    video->Unlock();
    video->DrawFrame(source);
    if (Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr)
        display->Refresh(Ondrel::Rect());
    video->Flip();
    video->Lock();
}

} // namespace ConsoleGlue
