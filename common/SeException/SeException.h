// CSeException: a processor fault (a structured exception of the old
// platform) turned into an exception object that the front end can report
// in words.
//
// On Linux the faults are the synchronous signals SIGSEGV, SIGBUS, SIGFPE
// and SIGILL, mapped to the old codes and names (CodeForSignal). A signal
// handler cannot throw, so faults are caught only inside a guarded call:
//
//     CSeException::Guard([&] { module->RunFrame(); });
//
// Guard installs the fault handlers (once per process) and marks the calling
// thread as guarded. When a fault strikes in that thread while fn runs, the
// handler records the code and the faulting address (the signal's si_addr)
// and jumps straight back into Guard, which throws a new CSeException* to
// Guard's caller. The jump does not unwind what fn had on the stack: no
// destructors run there, and the state fn was working on is left as the
// fault found it. The catcher must therefore report the fault and shut the
// machine down; it must never run it again.
//
// A fault outside any guarded call, in another thread, or a signal sent by
// kill or raise rather than by the processor, is passed on to whatever
// handled the signal before (in the end the default action, which ends the
// process), so the program never goes on after a fault nobody is ready for.
// A fault on an overflowing stack also ends the process: no alternate stack
// is installed for the handler.
#pragma once

#include "common/zorvan/MessagePresenter.h"
#include "common/zorvan/String.h"

#include <cstdint>
#include <type_traits>

// The fault record in the shape of the old platform's, for the members
// that hand it out.
struct EXCEPTION_RECORD {
    unsigned ExceptionCode = 0;
    void *ExceptionAddress = nullptr;
};
struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD *ExceptionRecord = nullptr;
    void *ContextRecord = nullptr;
};

class CSeException {
public:
    // Keeps its own copy of the record (the one passed in may live on a
    // stack that is gone by the time the exception is reported).
    CSeException(unsigned code, EXCEPTION_POINTERS *pointers);
    CSeException(CSeException const &other);
    CSeException &operator=(CSeException const &other);

    unsigned GetSeCode() const { return m_seCode; }
    EXCEPTION_POINTERS *GetSePointers() { return &m_pointers; }
    void *GetExceptionAddress() const { return m_record.ExceptionAddress; }

    // "Exception NAME (0x%.8x) at address 0x%.8x." for a known code (result
    // 1), else "CSeException: Unknown exception." (result 0). An address
    // above 32 bits is written with all its digits. helpContext, when
    // given, becomes 0.
    int GetErrorMessage(Zorvan::String &text, unsigned *helpContext = nullptr) const;
    // The same text into buffer when its length is below size (result 1);
    // otherwise the buffer is made empty (when it has room for that) and the
    // result is 0.
    int GetErrorMessage(wchar_t *buffer, unsigned size, unsigned *helpContext = nullptr) const;
    // Shows the text in a box captioned "Error" of the given type; returns
    // the button chosen.
    int ReportError(unsigned type = MB_OK, unsigned helpId = 0) const;
    // Deletes this exception; the catcher calls it after reporting.
    void Delete();

    // Makes a CSeException for the fault and throws it as CSeException*.
    [[noreturn]] static void SeTranslator(unsigned code, EXCEPTION_POINTERS *pointers);

    // The name of a known code ("ACCESS_VIOLATION"), null for another.
    static wchar_t const *NameOfCode(unsigned code);
    // The code a synchronous signal maps to, by its signal number and
    // siginfo code; 0 for a signal that is not a fault.
    static unsigned CodeForSignal(int signal, int signalCode);

    // Runs fn; a fault inside it ends the call with a thrown CSeException*
    // (see the top of this file for what that leaves behind).
    template <class Fn> static void Guard(Fn &&fn)
    {
        using Callable = std::remove_reference_t<Fn>;
        GuardCall([](void *context) { (*static_cast<Callable *>(context))(); },
                  const_cast<void *>(static_cast<void const *>(&fn)));
    }
    static void GuardCall(void (*fn)(void *), void *context);

private:
    unsigned m_seCode;
    EXCEPTION_RECORD m_record;
    EXCEPTION_POINTERS m_pointers;
};
