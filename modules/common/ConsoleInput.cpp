#include "modules/common/ConsoleInput.h"

#include "engine/Module.h"

namespace ConsoleGlue {

ConsoleInput::ConsoleInput(ZorvanEngine::Module *owner, std::span<ConsoleButton const> buttons,
                           ConsoleInput *&published)
    : BaseInput(owner), m_buttons(buttons), m_published(published)
{
    m_published = this;
}

ConsoleInput::~ConsoleInput()
{
    if (m_published == this)
        m_published = nullptr;
}

void ConsoleInput::UpdateSettings()
{
    ClearKeyMap();
    if (m_module) {
        PropertyMap const &settings = m_module->GetSettings();
        for (ConsoleButton const &button : m_buttons) {
            Zorvan::String const name(button.name);
            RegisterKey(static_cast<int>(button.bit), static_cast<int>(button.padMask),
                        static_cast<short>(settings.GetInt(L"vk" + name)), settings.GetInt(L"js" + name));
        }
    }
    BaseInput::UpdateSettings();
}

} // namespace ConsoleGlue
