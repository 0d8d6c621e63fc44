#include "engine/EmuException.h"

using Zorvan::String;

namespace ZorvanEngine {

EmuException::EmuException(String const &id, String const &message)
    : Zorvan::Exception(id, String(L"Quintar: ") + message)
{
}

EmuException::~EmuException() = default;

OutOfMemoryException::OutOfMemoryException(String const &detail)
    : EmuException(GetClassID(), detail + L"Out of memory.")
{
}

LoadRomException::LoadRomException(String const &detail)
    : EmuException(GetClassID(),
                   detail + L"Unable to load the ROM.  This often means the device has run out of memory."
                            L"  Please see the Console tab for more information.")
{
}

} // namespace ZorvanEngine
