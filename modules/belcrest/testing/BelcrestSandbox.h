// The fixture of the Z80 module's tests: the console modules' sandbox on a
// BelcrestModule, and the shown picture as colours.
#pragma once

#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/module/BelcrestModule.h"
#include "modules/common/tests/ModuleSandbox.h"

namespace Belcrest::Test {

namespace fs = std::filesystem;

class BelcrestSandbox : public ConsoleGlue::Test::ModuleSandbox<BelcrestModule, BelcrestTexts, 240, 320> {
protected:
    // The shown window of the frame last drawn, as 0x00RRGGBB.
    std::vector<uint32_t> ShownFrame() const
    {
        std::vector<uint32_t> pixels;
        Ondrel::Rect const window = Module().GetVideo()->m_lastSrc;
        QImage const image = LastDrawnSurface()->AsImage();
        for (int y = window.y; y < window.y + window.height; ++y) {
            for (int x = window.x; x < window.x + window.width; ++x)
                pixels.push_back(image.pixel(x, y) & 0xFFFFFF);
        }
        return pixels;
    }
};

} // namespace Belcrest::Test
