// Shared pieces of the view tests: a temporary home for the settings, an
// engine over a game view, and a module of the test's own that the engine
// runs without any library behind it.
#pragma once

#include "common/zorvan/Console.h"
#include "common/zorvan/MessagePresenter.h"
#include "common/zorvan/String.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "frontend/ChildView.h"
#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/Surface.h"
#include "engine/QtString.h"
#include "tools/testsupport/ScopedEnvironment.h"
#include "tools/testsupport/TestApplication.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Frontend::Test {

inline std::string Narrow(Zorvan::String const &text)
{
    return static_cast<char const *>(text);
}

// Fills a rectangle of the engine's drawing surface, standing in for the
// last emulated frame; counts what the view asks of it.
class FakeVideo : public ZorvanEngine::BaseVideo {
public:
    static constexpr std::uint32_t kFrameColor = 0xFF0000;
    static constexpr Ondrel::Rect kFrameRect{20, 20, 40, 40};

    explicit FakeVideo(ZorvanEngine::Module *owner) : BaseVideo(owner) {}
    void Close() override {}
    void Lock() override { ++locks; }
    void Unlock() override { ++unlocks; }
    Ondrel::Point GetScreenSize() override { return Ondrel::Point{40, 40}; }
    void SetColor(int, int, int, int) override {}
    bool SyncFrame() override { return true; }
    int Is60Hz() override { return 1; }
    void SetFastMode(bool) override {}
    void DrawLastFrame() override
    {
        ++lastFrames;
        Ondrel::Surface *surface = ourEngine->GetDrawingSurface();
        std::unique_ptr<Ondrel::DrawingContext> context(surface->CreateDrawingContext());
        context->Fill(kFrameRect, kFrameColor);
    }

    int locks = 0;
    int unlocks = 0;
    int lastFrames = 0;
};

// A module the test hands to the engine. The engine deletes it when it
// shuts down; `alive` tells the test whether that happened.
class FakeModule : public ZorvanEngine::Module {
public:
    explicit FakeModule(bool *alive = nullptr) : m_alive(alive)
    {
        m_video = new FakeVideo(this);
        if (m_alive)
            *m_alive = true;
    }
    ~FakeModule() override
    {
        delete m_video;
        if (m_alive)
            *m_alive = false;
    }
    bool OpenRom(Zorvan::String) override { return true; }
    bool RunFrame() override
    {
        ++frames;
        if (onFrame)
            onFrame();
        return true;
    }
    void Reset() override {}
    void Close() override { ++closes; }
    bool SaveState(int) override { return false; }
    bool LoadState(int) override { return false; }
    void ShowProperties() override {}
    // No key store behind the test's module.
    void LoadSettings() override {}
    void SaveSettings() override {}

    FakeVideo *Video() const { return static_cast<FakeVideo *>(m_video); }

    int frames = 0;
    int closes = 0;
    std::function<void()> onFrame;

private:
    bool *m_alive;
};

// The view with the frame's side recorded instead of acted on.
class RecordingView : public ChildView {
public:
    RecordingView() : ChildView(nullptr) {}

    std::vector<int> commands;
    int commandStates = 0;
    int toolBarShown = -1; // -1 never told, else the last state
    bool foreground = true;

protected:
    void FrameCommand(int id) override { commands.push_back(id); }
    void FrameCommandStates() override { ++commandStates; }
    void ShowFrameToolBar(bool show) override { toolBarShown = show ? 1 : 0; }
    bool IsForeground() const override { return foreground; }
};

// A view of 240 x 320 shown on screen, with an engine whose frame and view
// are that widget, in a temporary home.
class ViewFixture : public ::testing::Test {
protected:
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 320;

    void SetUp() override
    {
        QuintarTest::EnsureApplication();
        ASSERT_TRUE(m_home.isValid());
        SetEnv("HOME", m_home.path());
        SetEnv("QUINTAR_CONFIG_DIR", m_home.path() + "/config");
        SetEnv("XDG_CONFIG_HOME", m_home.path() + "/config");
        SetEnv("XDG_DATA_HOME", m_home.path() + "/data");
        programFolder = m_home.path() + "/bin";
        QDir().mkpath(programFolder);
        m_savedPresenter = Zorvan::setMessagePresenter([this](Zorvan::String const &text,
                                                              Zorvan::String const &caption, unsigned) {
            messages.push_back(Narrow(caption) + ": " + Narrow(text));
            return IDOK;
        });
        view = std::make_unique<RecordingView>();
        view->resize(kWidth, kHeight);
        view->show();
        engine = std::make_unique<ZorvanEngine::Engine>(nullptr, view.get(), view.get(),
                                                        ToZorvanString(programFolder));
        settings().Set(L"BGFileName", L"", false);
    }

    void TearDown() override
    {
        engine.reset();
        view.reset();
        Zorvan::setMessagePresenter(m_savedPresenter);
        m_environment.Restore();
    }

    PropertyMap &settings() { return engine->GetSettings(); }

    // Makes the module the engine's running game.
    FakeModule *StartGame(bool *alive = nullptr)
    {
        auto *module = new FakeModule(alive);
        engine->m_activeModule = module;
        engine->m_running = true;
        return module;
    }

    // What the user sees: the view painted, with the display's picture on top.
    QImage Grab() { return view->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Writes a one-colour bitmap file.
    QString WriteBitmap(char const *name, QColor color, QSize size = QSize(64, 48))
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        QString const path = m_home.path() + "/" + name;
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }

    QString programFolder;
    std::unique_ptr<RecordingView> view;
    std::unique_ptr<ZorvanEngine::Engine> engine;
    std::vector<std::string> messages;

private:
    void SetEnv(char const *name, QString const &value) { m_environment.Set(name, value.toStdString()); }

    QTemporaryDir m_home;
    Zorvan::MessagePresenter m_savedPresenter;
    QuintarTest::ScopedEnvironment m_environment;
};

} // namespace Frontend::Test
