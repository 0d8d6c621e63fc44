// The engine's exceptions: failures of emulation that the front end reports
// to the user. Created with new and thrown as pointers, as every exception
// derived from Zorvan::Exception.
#pragma once

#include "common/zorvan/Exception.h"
#include "common/zorvan/String.h"

namespace ZorvanEngine {

class EmuException : public Zorvan::Exception {
public:
    // The message becomes "Quintar: " + message.
    EmuException(Zorvan::String const &id, Zorvan::String const &message);
    ~EmuException() override;
};

class OutOfMemoryException : public EmuException {
public:
    // The message is "Quintar: " + detail + "Out of memory."
    explicit OutOfMemoryException(Zorvan::String const &detail);
    static Zorvan::String GetClassID() { return L"OutOfMemoryException"; }
};

class LoadRomException : public EmuException {
public:
    // The message is "Quintar: " + detail + the explanation that the ROM
    // could not be loaded.
    explicit LoadRomException(Zorvan::String const &detail);
    static Zorvan::String GetClassID() { return L"LoadRomException"; }
};

} // namespace ZorvanEngine
