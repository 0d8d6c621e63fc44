// Turning processor faults into CSeException inside a guarded call: the
// scheme is described at the top of SeException.h.
#include "common/SeException/SeException.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace {

struct GuardFrame {
    sigjmp_buf jump;
    GuardFrame *previous;
};

// The innermost guarded call of this thread, and the fault that ended it.
// Touched by the signal handler, so plain data only.
thread_local GuardFrame *t_guard = nullptr;
thread_local unsigned t_faultCode = 0;
thread_local void *t_faultAddress = nullptr;

constexpr int FaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction PreviousActions[sizeof FaultSignals / sizeof FaultSignals[0]];

struct SignalCode {
    int signal;
    int signalCode; // 0: any other
    unsigned code;
};

constexpr SignalCode SignalCodes[] = {
    {SIGSEGV, 0, 0xC0000005u},           // ACCESS_VIOLATION
    {SIGBUS, BUS_ADRALN, 0x80000002u},   // DATATYPE_MISALIGNMENT
    {SIGBUS, 0, 0xC0000006u},            // IN_PAGE_ERROR: a mapped file's page is gone
    {SIGFPE, FPE_INTDIV, 0xC0000094u},   // INT_DIVIDE_BY_ZERO
    {SIGFPE, FPE_INTOVF, 0xC0000095u},   // INT_OVERFLOW
    {SIGFPE, FPE_FLTDIV, 0xC000008Eu},   // FLT_DIVIDE_BY_ZERO
    {SIGFPE, FPE_FLTOVF, 0xC0000091u},   // FLT_OVERFLOW
    {SIGFPE, FPE_FLTUND, 0xC0000093u},   // FLT_UNDERFLOW
    {SIGFPE, FPE_FLTRES, 0xC000008Fu},   // FLT_INEXACT_RESULT
    {SIGFPE, FPE_FLTSUB, 0xC000008Cu},   // ARRAY_BOUNDS_EXCEEDED
    {SIGFPE, 0, 0xC0000090u},            // FLT_INVALID_OPERATION
    {SIGILL, ILL_PRVOPC, 0xC0000096u},   // PRIV_INSTRUCTION
    {SIGILL, ILL_PRVREG, 0xC0000096u},
    {SIGILL, 0, 0xC000001Du},            // ILLEGAL_INSTRUCTION
};

int SlotOf(int signal)
{
    for (int i = 0; i < int(sizeof FaultSignals / sizeof FaultSignals[0]); ++i)
        if (FaultSignals[i] == signal)
            return i;
    return -1;
}

// Hands a signal that is not ours to whoever had it before us.
void PassOn(int signal, siginfo_t *info, void *context)
{
    int slot = SlotOf(signal);
    struct sigaction const &previous = PreviousActions[slot];
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL &&
        previous.sa_handler != SIG_IGN && previous.sa_handler) {
        previous.sa_handler(signal);
        return;
    }
    // The default action (an ignored fault would only strike again): undo
    // our handler and let the signal come back once this handler returns,
    // either by the faulting instruction running again or by raising it.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    if (info->si_code <= 0)
        raise(signal);
}

void OnFault(int signal, siginfo_t *info, void *context)
{
    GuardFrame *frame = t_guard;
    // si_code > 0: raised by the processor, not sent by kill or raise.
    if (frame && info && info->si_code > 0) {
        t_faultCode = CSeException::CodeForSignal(signal, info->si_code);
        t_faultAddress = info->si_addr;
        siglongjmp(frame->jump, 1);
    }
    PassOn(signal, info, context);
}

void InstallFaultHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (size_t i = 0; i < sizeof FaultSignals / sizeof FaultSignals[0]; ++i) {
            struct sigaction action {};
            action.sa_sigaction = OnFault;
            action.sa_flags = SA_SIGINFO;
            sigemptyset(&action.sa_mask);
            sigaction(FaultSignals[i], &action, &PreviousActions[i]);
        }
    });
}

} // namespace

unsigned CSeException::CodeForSignal(int signal, int signalCode)
{
    for (auto const &entry : SignalCodes)
        if (entry.signal == signal && (entry.signalCode == signalCode || entry.signalCode == 0))
            return entry.code;
    return 0;
}

void CSeException::GuardCall(void (*fn)(void *), void *context)
{
    InstallFaultHandlers();
    GuardFrame frame;
    frame.previous = t_guard;
    // Leaves the thread's guard as it was, however fn ends.
    struct Restore {
        GuardFrame *previous;
        ~Restore() { t_guard = previous; }
    } restore{frame.previous};
    // The saved signal mask comes back with the jump, which unblocks the
    // signal the handler was running for.
    if (sigsetjmp(frame.jump, 1) == 0) {
        t_guard = &frame;
        fn(context);
        return;
    }
    t_guard = restore.previous;
    EXCEPTION_RECORD record{t_faultCode, t_faultAddress};
    EXCEPTION_POINTERS pointers{&record, nullptr};
    SeTranslator(record.ExceptionCode, &pointers);
}
