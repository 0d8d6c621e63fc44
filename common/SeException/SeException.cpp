#include "common/SeException/SeException.h"

#include <cwchar>

using Zorvan::String;

namespace {

struct KnownCode {
    unsigned code;
    wchar_t const *name;
};

constexpr KnownCode KnownCodes[] = {
    {0x80000001u, L"GUARD_PAGE"},
    {0x80000002u, L"DATATYPE_MISALIGNMENT"},
    {0x80000003u, L"BREAKPOINT"},
    {0x80000004u, L"SINGLE_STEP"},
    {0xC0000005u, L"ACCESS_VIOLATION"},
    {0xC0000006u, L"IN_PAGE_ERROR"},
    {0xC0000008u, L"INVALID_HANDLE"},
    {0xC000001Du, L"ILLEGAL_INSTRUCTION"},
    {0xC0000025u, L"NONCONTINUABLE_EXCEPTION"},
    {0xC0000026u, L"INVALID_DISPOSITION"},
    {0xC000008Cu, L"ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008Du, L"FLT_DENORMAL_OPERAND"},
    {0xC000008Eu, L"FLT_DIVIDE_BY_ZERO"},
    {0xC000008Fu, L"FLT_INEXACT_RESULT"},
    {0xC0000090u, L"FLT_INVALID_OPERATION"},
    {0xC0000091u, L"FLT_OVERFLOW"},
    {0xC0000092u, L"FLT_STACK_CHECK"},
    {0xC0000093u, L"FLT_UNDERFLOW"},
    {0xC0000094u, L"INT_DIVIDE_BY_ZERO"},
    {0xC0000095u, L"INT_OVERFLOW"},
    {0xC0000096u, L"PRIV_INSTRUCTION"},
    {0xC00000FDu, L"STACK_OVERFLOW"},
};

} // namespace

CSeException::CSeException(unsigned code, EXCEPTION_POINTERS *pointers) : m_seCode(code)
{
    if (pointers && pointers->ExceptionRecord)
        m_record = *pointers->ExceptionRecord;
    m_pointers.ExceptionRecord = &m_record;
    m_pointers.ContextRecord = pointers ? pointers->ContextRecord : nullptr;
}

CSeException::CSeException(CSeException const &other)
    : m_seCode(other.m_seCode), m_record(other.m_record), m_pointers(other.m_pointers)
{
    m_pointers.ExceptionRecord = &m_record;
}

CSeException &CSeException::operator=(CSeException const &other)
{
    m_seCode = other.m_seCode;
    m_record = other.m_record;
    m_pointers.ContextRecord = other.m_pointers.ContextRecord;
    m_pointers.ExceptionRecord = &m_record;
    return *this;
}

wchar_t const *CSeException::NameOfCode(unsigned code)
{
    for (auto const &known : KnownCodes)
        if (known.code == code)
            return known.name;
    return nullptr;
}

int CSeException::GetErrorMessage(String &text, unsigned *helpContext) const
{
    if (helpContext)
        *helpContext = 0;
    wchar_t const *name = NameOfCode(m_seCode);
    if (!name) {
        text = L"CSeException: Unknown exception.";
        return 0;
    }
    text.Format(L"Exception %s (0x%.8x) at address 0x%.8lx.", name, m_seCode,
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(GetExceptionAddress())));
    return 1;
}

int CSeException::GetErrorMessage(wchar_t *buffer, unsigned size, unsigned *helpContext) const
{
    String text;
    GetErrorMessage(text, helpContext);
    if (!buffer || size == 0)
        return 0;
    if (unsigned(text.GetLength()) >= size) {
        buffer[0] = L'\0';
        return 0;
    }
    std::wmemcpy(buffer, static_cast<wchar_t const *>(text), size_t(text.GetLength()) + 1);
    return 1;
}

int CSeException::ReportError(unsigned type, unsigned /*helpId*/) const
{
    String text;
    GetErrorMessage(text);
    return Zorvan::presentMessage(text, String(L"Error"), type);
}

void CSeException::Delete()
{
    delete this;
}

void CSeException::SeTranslator(unsigned code, EXCEPTION_POINTERS *pointers)
{
    throw new CSeException(code, pointers);
}
