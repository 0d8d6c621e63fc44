// The engine's exceptions and processor faults turned into CSeException.
#include "common/SeException/SeException.h"
#include "engine/EmuException.h"

#include "common/zorvan/MessagePresenter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <sys/wait.h>
#include <string>

namespace ZorvanEngine::Test {

using Zorvan::String;

namespace {

std::string Narrow(wchar_t const *text)
{
    return static_cast<char const *>(String(text));
}

TEST(EmuExceptionTest, IdentifiersAndMessages)
{
    struct Case {
        std::unique_ptr<ZorvanEngine::EmuException> exception;
        const char *id;
        const char *message;
    } cases[] = {
        {std::make_unique<ZorvanEngine::EmuException>(L"MyID", L"Something failed."), "MyID",
         "Quintar: Something failed."},
        {std::make_unique<ZorvanEngine::EmuException>(L"", L""), "", "Quintar: "},
        {std::make_unique<ZorvanEngine::OutOfMemoryException>(L"VRAM: "), "OutOfMemoryException",
         "Quintar: VRAM: Out of memory."},
        {std::make_unique<ZorvanEngine::LoadRomException>(L""), "LoadRomException",
         "Quintar: Unable to load the ROM.  This often means the device has run out of memory.  "
         "Please see the Console tab for more information."},
        {std::make_unique<ZorvanEngine::LoadRomException>(L"Bad header. "), "LoadRomException",
         "Quintar: Bad header. Unable to load the ROM.  This often means the device has run out of "
         "memory.  Please see the Console tab for more information."},
    };
    for (auto const &c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(Narrow(c.exception->GetID()), c.id);
        EXPECT_EQ(Narrow(c.exception->GetErrorMessage()), c.message);
    }
    EXPECT_EQ(ZorvanEngine::OutOfMemoryException::GetClassID(), String(L"OutOfMemoryException"));
    EXPECT_EQ(ZorvanEngine::LoadRomException::GetClassID(), String(L"LoadRomException"));
}

TEST(EmuExceptionTest, ThrownAsPointerAndCaughtAsBase)
{
    try {
        throw new ZorvanEngine::LoadRomException(L"x ");
    } catch (Zorvan::Exception *e) {
        EXPECT_NE(dynamic_cast<ZorvanEngine::EmuException *>(e), nullptr);
        delete e;  // through the virtual destructor
        EXPECT_EQ(Zorvan::CurrentException, nullptr);
    }
}

// A fault record as the platform hands it over.
CSeException Fault(unsigned code, uintptr_t address)
{
    EXCEPTION_RECORD record{code, reinterpret_cast<void *>(address)};
    EXCEPTION_POINTERS pointers{&record, nullptr};
    return CSeException(code, &pointers);
}

TEST(SeExceptionTest, MessageTexts)
{
    struct Case {
        unsigned code;
        uintptr_t address;
        int result;
        const char *text;
    } cases[] = {
        {0xC0000005u, 0x1A2B3C, 1, "Exception ACCESS_VIOLATION (0xc0000005) at address 0x001a2b3c."},
        {0xC0000094u, 0, 1, "Exception INT_DIVIDE_BY_ZERO (0xc0000094) at address 0x00000000."},
        {0x80000001u, 0xFFFFFFFFu, 1, "Exception GUARD_PAGE (0x80000001) at address 0xffffffff."},
        {0xC00000FDu, 0x10, 1, "Exception STACK_OVERFLOW (0xc00000fd) at address 0x00000010."},
        {0xC000001Du, 0x7F12345678AB, 1,
         "Exception ILLEGAL_INSTRUCTION (0xc000001d) at address 0x7f12345678ab."},
        {0xE06D7363u, 0x1234, 0, "CSeException: Unknown exception."},
        {0u, 0, 0, "CSeException: Unknown exception."},
    };
    for (auto const &c : cases) {
        SCOPED_TRACE(c.text);
        CSeException e = Fault(c.code, c.address);
        String text;
        unsigned help = 99;
        EXPECT_EQ(e.GetErrorMessage(text, &help), c.result);
        EXPECT_EQ(help, 0u);
        EXPECT_EQ(static_cast<char const *>(text), std::string(c.text));
        EXPECT_EQ(e.GetSeCode(), c.code);
        EXPECT_EQ(e.GetExceptionAddress(), reinterpret_cast<void *>(c.address));
    }
}

TEST(SeExceptionTest, MessageIntoBuffer)
{
    CSeException e = Fault(0xC0000005u, 0x1A2B3C);
    const std::wstring text = L"Exception ACCESS_VIOLATION (0xc0000005) at address 0x001a2b3c.";
    wchar_t buffer[128];
    std::wmemset(buffer, L'#', 128);
    EXPECT_FALSE(e.GetErrorMessage(buffer, unsigned(text.size()), nullptr));
    EXPECT_EQ(buffer[0], L'\0');
    std::wmemset(buffer, L'#', 128);
    EXPECT_TRUE(e.GetErrorMessage(buffer, unsigned(text.size() + 1), nullptr));
    EXPECT_EQ(std::wstring(buffer), text);
    EXPECT_FALSE(e.GetErrorMessage(buffer, 0, nullptr));
    EXPECT_FALSE(e.GetErrorMessage(nullptr, 128, nullptr));

    CSeException unknown = Fault(0xE06D7363u, 0);
    EXPECT_TRUE(unknown.GetErrorMessage(buffer, 128, nullptr));
    EXPECT_EQ(std::wstring(buffer), L"CSeException: Unknown exception.");
}

TEST(SeExceptionTest, ReportShowsTheTextCaptionedError)
{
    String shownText, shownCaption;
    unsigned shownStyle = 0;
    auto previous = Zorvan::setMessagePresenter([&](String const &text, String const &caption, unsigned style) {
        shownText = text;
        shownCaption = caption;
        shownStyle = style;
        return IDCANCEL;
    });
    auto *e = new CSeException(Fault(0xC0000005u, 0x1A2B3C));
    EXPECT_EQ(e->ReportError(MB_OKCANCEL | MB_ICONERROR, 0), IDCANCEL);
    e->Delete();
    Zorvan::setMessagePresenter(previous);
    EXPECT_EQ(static_cast<char const *>(shownText),
              std::string("Exception ACCESS_VIOLATION (0xc0000005) at address 0x001a2b3c."));
    EXPECT_EQ(static_cast<char const *>(shownCaption), std::string("Error"));
    EXPECT_EQ(shownStyle, MB_OKCANCEL | MB_ICONERROR);
}

TEST(SeExceptionTest, KeepsItsOwnCopyOfTheRecord)
{
    CSeException *thrown = nullptr;
    {
        EXCEPTION_RECORD record{0xC0000005u, reinterpret_cast<void *>(0x1000)};
        EXCEPTION_POINTERS pointers{&record, nullptr};
        try {
            CSeException::SeTranslator(0xC0000005u, &pointers);
        } catch (CSeException *e) {
            thrown = e;
        }
        record.ExceptionAddress = nullptr;  // the platform's record goes away
    }
    ASSERT_NE(thrown, nullptr);
    EXPECT_EQ(thrown->GetSeCode(), 0xC0000005u);
    EXPECT_EQ(thrown->GetExceptionAddress(), reinterpret_cast<void *>(0x1000));
    CSeException copy(*thrown);
    thrown->Delete();
    EXPECT_EQ(copy.GetSePointers()->ExceptionRecord->ExceptionAddress, reinterpret_cast<void *>(0x1000));
    CSeException assigned = Fault(0, 0);
    assigned = copy;
    EXPECT_NE(assigned.GetSePointers()->ExceptionRecord, copy.GetSePointers()->ExceptionRecord);
    EXPECT_EQ(assigned.GetExceptionAddress(), reinterpret_cast<void *>(0x1000));
}

TEST(SeExceptionTest, SignalsMapToCodes)
{
    struct Case {
        int signal, signalCode;
        const char *name;
    } cases[] = {
        {SIGSEGV, SEGV_MAPERR, "ACCESS_VIOLATION"},
        {SIGSEGV, SEGV_ACCERR, "ACCESS_VIOLATION"},
        {SIGBUS, BUS_ADRALN, "DATATYPE_MISALIGNMENT"},
        {SIGBUS, BUS_ADRERR, "IN_PAGE_ERROR"},
        {SIGFPE, FPE_INTDIV, "INT_DIVIDE_BY_ZERO"},
        {SIGFPE, FPE_INTOVF, "INT_OVERFLOW"},
        {SIGFPE, FPE_FLTDIV, "FLT_DIVIDE_BY_ZERO"},
        {SIGFPE, FPE_FLTOVF, "FLT_OVERFLOW"},
        {SIGFPE, FPE_FLTUND, "FLT_UNDERFLOW"},
        {SIGFPE, FPE_FLTRES, "FLT_INEXACT_RESULT"},
        {SIGFPE, FPE_FLTINV, "FLT_INVALID_OPERATION"},
        {SIGFPE, FPE_FLTSUB, "ARRAY_BOUNDS_EXCEEDED"},
        {SIGILL, ILL_ILLOPC, "ILLEGAL_INSTRUCTION"},
        {SIGILL, ILL_PRVOPC, "PRIV_INSTRUCTION"},
    };
    for (auto const &c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t const *name = CSeException::NameOfCode(CSeException::CodeForSignal(c.signal, c.signalCode));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(Narrow(name), c.name);
    }
    EXPECT_EQ(CSeException::CodeForSignal(SIGTERM, 0), 0u);
}

// Faults made on purpose. The access goes through volatile so that it is
// really made, at an address nothing is mapped at.
void TouchUnmapped()
{
    *reinterpret_cast<volatile int *>(uintptr_t(0x1A2B3C)) = 1;
}

#if defined(__x86_64__) || defined(__i386__)
// In assembly, so that no sanitizer check gets there first.
int DivideByZero()
{
    int quotient = 1, remainder = 0, zero = 0;
    asm volatile("idivl %[d]" : "+a"(quotient), "+d"(remainder) : [d] "r"(zero));
    return quotient;
}
#endif

// Runs fn under the guard; the CSeException it ended with, if any.
template <class Fn> std::unique_ptr<CSeException> FaultOf(Fn fn)
{
    try {
        CSeException::Guard(fn);
    } catch (CSeException *e) {
        return std::unique_ptr<CSeException>(e);
    }
    return nullptr;
}

TEST(SeExceptionGuardTest, AccessViolationBecomesCSeException)
{
    // Twice: the first fault must leave the signal usable for the next one.
    for (int round = 0; round < 2; ++round) {
        auto e = FaultOf(TouchUnmapped);
        ASSERT_NE(e, nullptr);
        String text;
        EXPECT_EQ(e->GetErrorMessage(text), 1);
        EXPECT_EQ(static_cast<char const *>(text),
                  std::string("Exception ACCESS_VIOLATION (0xc0000005) at address 0x001a2b3c."));
    }
}

#if defined(__x86_64__) || defined(__i386__)
TEST(SeExceptionGuardTest, IntegerDivisionByZeroBecomesCSeException)
{
    auto e = FaultOf([] { DivideByZero(); });
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetSeCode(), 0xC0000094u);
}
#endif

TEST(SeExceptionGuardTest, NestedGuardsAndOrdinaryEndings)
{
    int ran = 0;
    EXPECT_EQ(FaultOf([&] { ++ran; }), nullptr);
    EXPECT_EQ(ran, 1);

    // The inner guard takes the fault; the outer one sees an ordinary
    // exception passing through.
    bool innerCaught = false;
    auto outer = FaultOf([&] {
        innerCaught = FaultOf(TouchUnmapped) != nullptr;
        TouchUnmapped();
    });
    EXPECT_TRUE(innerCaught);
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->GetSeCode(), 0xC0000005u);

    // A C++ exception leaves the guard as any other.
    EXPECT_THROW(CSeException::Guard([] { throw std::runtime_error("no fault"); }), std::runtime_error);
}

// Killed by the signal, or (under the address sanitizer, whose handler was
// there before ours) ended by the sanitizer's report.
bool EndedByFault(int status)
{
    return (WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) || (WIFEXITED(status) && WEXITSTATUS(status) != 0);
}

TEST(SeExceptionGuardDeathTest, FaultsNobodyGuardsEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Guards that have ended leave nothing behind.
    FaultOf([] {});
    EXPECT_EXIT(
        {
            try {
                CSeException::Guard([] { throw 1; });
            } catch (int) {
            }
            TouchUnmapped();
        },
        EndedByFault, "");
    // A signal sent rather than raised by the processor is not a fault.
    EXPECT_EXIT(CSeException::Guard([] { raise(SIGSEGV); }), EndedByFault, "");
}

} // namespace
} // namespace ZorvanEngine::Test
