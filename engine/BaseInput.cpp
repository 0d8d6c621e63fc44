#include "engine/BaseInput.h"

#include "engine/Engine.h"
#include "engine/Module.h"
#include "engine/PadSkin.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Input.h"
#include "platform/ondrel/Window.h"

namespace ZorvanEngine {

namespace {

// For each display rotation, which of the registered Up, Down, Left and
// Right keys each of the four direction records takes, so that the
// directions follow the turned screen.
constexpr int kDirectionSource[5][4] = {
    {0, 1, 2, 3}, // north
    {3, 2, 0, 1}, // east
    {1, 0, 3, 2}, // south
    {2, 3, 1, 0}, // west
    {0, 1, 2, 3}, // none
};

Ondrel::Input *PlatformInput()
{
    return ourEngine ? ourEngine->GetInput() : nullptr;
}

} // namespace

BaseInput::BaseInput(Module *owner)
    : m_module(owner), m_state(0), m_padTouch(false), m_polling(false), m_padSkin(nullptr)
{
}

BaseInput::~BaseInput()
{
    Close();
}

void BaseInput::RegisterKey(int button, int padMask, short virtualKey, int hardwareKey)
{
    m_keys.push_back(KeyRecord{static_cast<uint32_t>(button), static_cast<uint32_t>(padMask), virtualKey,
                               hardwareKey});
}

void BaseInput::UpdateSettings()
{
    if (!ourEngine)
        return;
    PropertyMap const &settings = ourEngine->GetSettings();
    m_polling = settings.GetBoolean(L"InputPolling");
    m_padTouch = settings.GetBoolean(L"FullScreen") && settings.GetBoolean(L"VirtualPad");
    m_padSkin = ourEngine->GetActivePadSkin();

    Ondrel::Display const *display = ourEngine->GetDisplay();
    if (m_keys.size() < 4 || !display)
        return;
    int const rotation = display->GetRotation();
    if (rotation < 0 || rotation > 4)
        return;
    int16_t const registered[4] = {m_keys[0].virtualKey, m_keys[1].virtualKey, m_keys[2].virtualKey,
                                   m_keys[3].virtualKey};
    for (int i = 0; i < 4; ++i)
        m_keys[static_cast<size_t>(i)].virtualKey = registered[kDirectionSource[rotation][i]];
}

void BaseInput::Open()
{
    if (Ondrel::Input *input = PlatformInput())
        input->Open();
    UpdateSettings();
}

void BaseInput::Close()
{
    if (!ourEngine || ourEngine->GetActiveModule() != m_module)
        return;
    if (Ondrel::Input *input = PlatformInput())
        input->Close();
}

void BaseInput::Pause()
{
    if (Ondrel::Input *input = PlatformInput())
        input->Pause();
}

void BaseInput::Resume()
{
    if (Ondrel::Input *input = PlatformInput())
        input->Resume();
}

unsigned BaseInput::GetState()
{
    Ondrel::Input *input = PlatformInput();
    m_state = 0;
    if (!input)
        return m_state;
    input->Update();

    for (KeyRecord const &key : m_keys) {
        bool const keyDown = m_polling ? (input->GetAsyncKeyState(key.virtualKey) & 0x8000) != 0 &&
                                             !input->IsHeldOver(key.virtualKey)
                                       : input->IsKeyDown(key.virtualKey) != 0;
        // A later record for the same bit decides.
        if (keyDown || input->IsHardwareKeyDown(key.hardwareKey))
            m_state |= key.button;
        else
            m_state &= ~key.button;
    }

    if (m_padTouch && m_padSkin && input->IsStylusDown()) {
        Ondrel::Rect const view = ourEngine->GetWindow() ? ourEngine->GetWindow()->GetClientRect() : Ondrel::Rect();
        int const padTop = view.height - m_padSkin->GetImageSize().y / 2;
        Ondrel::Point const stylus = input->GetStylusPoint();
        unsigned const controls = m_padSkin->CheckPad(stylus.x, stylus.y - padTop);
        for (KeyRecord const &key : m_keys) {
            if (key.padMask & controls)
                m_state |= key.button;
        }
    }
    return m_state;
}

} // namespace ZorvanEngine
