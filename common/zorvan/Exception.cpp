#include "common/zorvan/Exception.h"

#include "common/zorvan/MessagePresenter.h"

#include <cwchar>

namespace Zorvan {

Exception *CurrentException = nullptr;
String CurrentExceptionString;

namespace {

wchar_t *copyText(wchar_t const *text)
{
    if (!text)
        text = L"";
    size_t n = std::wcslen(text) + 1;
    auto *copy = new wchar_t[n];
    std::wmemcpy(copy, text, n);
    return copy;
}

} // namespace

Exception::Exception(wchar_t const *id, wchar_t const *message)
    : m_id(copyText(id)), m_message(nullptr)
{
    try {
        m_message = copyText(message);
    } catch (...) {
        delete[] m_id;
        throw;
    }
    CurrentException = this;
}

Exception::Exception(Exception const &other) : Exception(other.m_id, other.m_message) {}

Exception &Exception::operator=(Exception const &other)
{
    if (this != &other) {
        wchar_t *id = copyText(other.m_id);
        wchar_t *message;
        try {
            message = copyText(other.m_message);
        } catch (...) {
            delete[] id;
            throw;
        }
        delete[] m_id;
        delete[] m_message;
        m_id = id;
        m_message = message;
    }
    return *this;
}

Exception::~Exception()
{
    delete[] m_id;
    delete[] m_message;
    m_id = nullptr;
    m_message = nullptr;
    CurrentException = nullptr;
}

void Exception::ReportError()
{
    presentMessage(String(m_message), String(L"Error"), MB_OK | MB_ICONERROR);
    delete this;
}

} // namespace Zorvan
