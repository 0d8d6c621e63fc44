#include "modules/common/ModuleMessages.h"

#include "engine/Engine.h"

namespace ConsoleGlue {

void TellUser(Zorvan::String const &text)
{
    if (ourEngine && !text.IsEmpty())
        ourEngine->Message(text);
}

void TellUser(std::string const &text)
{
    TellUser(Zorvan::String(text.c_str()));
}

std::string ChosenZipMember()
{
    return ourEngine ? std::string(static_cast<char const *>(ourEngine->GetZippedFileName())) : std::string();
}

} // namespace ConsoleGlue
