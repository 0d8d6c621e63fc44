// A main frame over the real console plug-ins (built in bin/ZorvanModules),
// copied into the sandbox's program folder, with small game images each
// console starts: the pages and failures a new user meets, with the
// libraries loaded and unloaded as the program does.
#pragma once

#include "engine/ModuleDesc.h"
#include "frontend/tests/FrontendSandbox.h"

#include <QApplication>
#include <QWindow>

#include <string>
#include <vector>

namespace Frontend::Test {

// The real console plug-ins, built next to the test program's folder.
inline fs::path ConsoleModuleFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" / "ZorvanModules";
}

struct Console {
    char const *library;  // in bin/ZorvanModules
    char const *name;     // its description's name, as the Tools popup lists it
    char const *game;     // a game image it starts
};

// In name order, as the engine lists them.
inline std::vector<Console> const &Consoles()
{
    static std::vector<Console> const consoles = {
        {"libBelcrest.so", "Belcrest (SMS-GG)", "blank.sms"},
        {"libCindrel.so", "Cindrel (NES)", "blank.nes"},
        {"libTavrin.so", "Tavrin (GameBoy Advance)", "blank.gba"},
    };
    return consoles;
}

class RealModulesSandbox : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        if (HasFatalFailure())
            return;
        fs::remove(moduleLibrary); // only the consoles
        for (Console const &console : Consoles()) {
            fs::path const built = ConsoleModuleFolder() / console.library;
            ASSERT_TRUE(fs::exists(built)) << "build the console plug-ins: " << built;
            fs::copy_file(built, programFolder / "ZorvanModules" / console.library);
        }
        WriteImage("blank.sms", std::string(32768, '\0'));
        std::string nes = std::string("NES\x1A\x01\x01", 6) + std::string(10, '\0');
        nes += std::string(16384 + 8192, '\0');
        WriteImage("blank.nes", nes);
        WriteImage("blank.gba", std::string(1024, '\0'));
    }

    // The main frame over the consoles, as the program makes it.
    void MakeConsoleFrame()
    {
        MakeFrame();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(ourEngine->GetModuleCount(), static_cast<int>(Consoles().size())) << Narrow(ourEngine->GetConsole());
        for (int i = 0; i < ourEngine->GetModuleCount(); ++i)
            ASSERT_EQ(Narrow(ourEngine->GetModuleDesc(i)->GetName()), Consoles()[static_cast<size_t>(i)].name);
    }

    void WriteImage(std::string const &name, std::string const &bytes)
    {
        fs::create_directories(root / "games");
        std::ofstream(root / "games" / name, std::ios::binary) << bytes;
    }

    fs::path Game(Console const &console) const { return root / "games" / console.game; }

    ZorvanEngine::Engine &engine() { return *frame->GetEngine(); }

    // What the event loop does between two user actions: the dialogs' close
    // notifications arrive, deferred deletions happen.
    static void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    // The visible top-level window whose class is (or derives from) the
    // named one; null when none. Classes of the plug-ins' own copies of the
    // settings UI are found by name, not by cast.
    static QWidget *ShownWindow(char const *className)
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->inherits(className))
                return widget;
        }
        return nullptr;
    }

    // True when the window manager keeps `dialog` above `owner`: a dialog
    // window whose transient parent is the owner's window.
    static bool IsTransientFor(QWidget *dialog, QWidget *owner)
    {
        QWindow *handle = dialog ? dialog->windowHandle() : nullptr;
        return handle && owner && handle->transientParent() == owner->window()->windowHandle() &&
               (dialog->windowType() == Qt::Dialog || dialog->windowType() == Qt::Sheet);
    }

};

} // namespace Frontend::Test
