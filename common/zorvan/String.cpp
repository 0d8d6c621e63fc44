// Buffer management, assignment, concatenation, comparison, search and
// extraction of String. Modification members live in StringEdit.cpp and the
// formatters in StringFormat.cpp.
#include "common/zorvan/String.h"

#include "common/zorvan/Utf8.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace Zorvan {

namespace {

// The one empty buffer every empty String points at. It is never freed and
// never written (its count of -1 keeps every writer away).
struct EmptyBuffer {
    StringData header;
    wchar_t terminator;
};
EmptyBuffer g_emptyBuffer = {{-1, 0, 0}, 0};

wchar_t *emptyChars() { return &g_emptyBuffer.terminator; }

// Largest capacity whose block size still fits an int-indexed buffer.
constexpr int MaxCapacity = int((INT_MAX - sizeof(StringData)) / sizeof(wchar_t)) - 1;

} // namespace

// ---- internals ----------------------------------------------------------

void String::Init()
{
    m_pchData = emptyChars();
    m_pszNarrow = nullptr;
}

int String::SafeStrlen(wchar_t const *text) { return text ? int(std::wcslen(text)) : 0; }

String const &String::_GetEmptyString()
{
    static String const empty;
    return empty;
}

bool String::AllocBuffer(int length)
{
    if (length <= 0) {
        m_pchData = emptyChars();
        return true;
    }
    if (length > MaxCapacity)
        return false;
    size_t bytes = sizeof(StringData) + (size_t(length) + 1) * sizeof(wchar_t);
    char *block = new (std::nothrow) char[bytes];
    if (!block)
        return false;
    auto *data = new (block) StringData{{1}, length, length};
    data->data()[length] = 0;
    m_pchData = data->data();
    return true;
}

void String::Release(StringData *data)
{
    if (data->nRefs.load(std::memory_order_relaxed) == -1)
        return;
    if (data->nRefs.fetch_sub(1, std::memory_order_acq_rel) - 1 <= 0) {
        data->~StringData();
        delete[] reinterpret_cast<char *>(data);
    }
}

void String::FreeNarrow()
{
    std::free(m_pszNarrow);
    m_pszNarrow = nullptr;
}

void String::Release()
{
    Release(GetData());
    m_pchData = emptyChars();
    FreeNarrow();
}

void String::CopyBeforeWrite()
{
    StringData *data = GetData();
    if (data->nRefs.load(std::memory_order_acquire) <= 1)
        return;
    int len = data->nDataLength;
    if (!AllocBuffer(len))
        return; // keeps sharing; callers that can fail check the count again
    std::memcpy(m_pchData, data->data(), (size_t(len) + 1) * sizeof(wchar_t));
    Release(data);
}

bool String::AllocBeforeWrite(int length)
{
    StringData *data = GetData();
    if (data->nRefs.load(std::memory_order_acquire) <= 1 && data->nAllocLength >= length)
        return true;
    wchar_t *old = m_pchData;
    if (!AllocBuffer(length))
        return false;
    Release(reinterpret_cast<StringData *>(old) - 1);
    return true;
}

void String::AllocCopy(String &dest, int copyLen, int copyIndex, int extraLen) const
{
    int newLen = copyLen + extraLen;
    if (newLen <= 0)
        return;
    if (dest.AllocBuffer(newLen))
        std::memcpy(dest.m_pchData, m_pchData + copyIndex, size_t(copyLen) * sizeof(wchar_t));
}

bool String::AssignCopy(int srcLen, wchar_t const *src)
{
    if (!AllocBeforeWrite(srcLen))
        return false;
    FreeNarrow();
    if (srcLen > 0) {
        std::memmove(m_pchData, src, size_t(srcLen) * sizeof(wchar_t));
        GetData()->nDataLength = srcLen;
        m_pchData[srcLen] = 0;
    } else if (GetData()->nRefs.load(std::memory_order_relaxed) != -1) {
        GetData()->nDataLength = 0;
        m_pchData[0] = 0;
    }
    return true;
}

bool String::ConcatCopy(int len1, wchar_t const *src1, int len2, wchar_t const *src2)
{
    if (len1 > MaxCapacity - len2)
        return false;
    int newLen = len1 + len2;
    if (newLen == 0)
        return true;
    if (!AllocBuffer(newLen))
        return false;
    std::memcpy(m_pchData, src1, size_t(len1) * sizeof(wchar_t));
    std::memcpy(m_pchData + len1, src2, size_t(len2) * sizeof(wchar_t));
    return true;
}

void String::ConcatInPlace(int srcLen, wchar_t const *src)
{
    if (srcLen <= 0)
        return;
    StringData *data = GetData();
    int len = data->nDataLength;
    if (data->nRefs.load(std::memory_order_acquire) <= 1 && data->nRefs.load() != -1 &&
        len + int64_t(srcLen) <= data->nAllocLength) {
        std::memmove(m_pchData + len, src, size_t(srcLen) * sizeof(wchar_t));
        data->nDataLength = len + srcLen;
        m_pchData[len + srcLen] = 0;
        FreeNarrow();
        return;
    }
    // No growth slack: a new block of exactly the summed length. When the
    // allocation fails the append is dropped and the text stays as it was.
    wchar_t *old = m_pchData;
    if (!ConcatCopy(len, old, srcLen, src)) {
        m_pchData = old;
        return;
    }
    Release(data);
    FreeNarrow();
}

// ---- construction and assignment ------------------------------------------

String::String() { Init(); }

String::String(String const &src)
{
    Init();
    StringData *data = src.GetData();
    if (data->nRefs.load(std::memory_order_acquire) >= 0) {
        data->nRefs.fetch_add(1, std::memory_order_relaxed);
        m_pchData = src.m_pchData;
    } else {
        AssignCopy(data->nDataLength, src.m_pchData);
    }
}

String::String(wchar_t const *text)
{
    Init();
    // A pointer value of 0xFFFF or less names a string resource; the library
    // holds none, so such a String is empty.
    if (reinterpret_cast<uintptr_t>(text) <= 0xFFFF)
        return;
    AssignCopy(SafeStrlen(text), text);
}

String::String(wchar_t const *text, int n)
{
    Init();
    if (text && n > 0)
        AssignCopy(n, text);
}

String::String(wchar_t ch, int repeat)
{
    Init();
    if (repeat > 0 && AllocBuffer(repeat))
        std::wmemset(m_pchData, ch, size_t(repeat));
}

String::String(char const *text)
{
    Init();
    if (text)
        AssignUtf8(text, std::strlen(text));
}

String::String(char const *text, int nBytes)
{
    Init();
    if (text && nBytes > 0)
        AssignUtf8(text, size_t(nBytes));
}

String::String(unsigned char const *text) : String(reinterpret_cast<char const *>(text)) {}

String::~String()
{
    Release(GetData());
    std::free(m_pszNarrow);
}

void String::AssignUtf8(char const *text, size_t nBytes)
{
    size_t len = utf8DecodedLength(text, nBytes);
    if (len > size_t(MaxCapacity))
        return;
    if (!AllocBeforeWrite(int(len)))
        return;
    // The text may be this String's own narrow copy: decode it before that
    // copy is freed.
    if (len > 0)
        utf8Decode(text, nBytes, m_pchData);
    FreeNarrow();
    if (GetData()->nRefs.load(std::memory_order_relaxed) != -1) {
        GetData()->nDataLength = int(len);
        m_pchData[len] = 0;
    }
}

String &String::operator=(String const &src)
{
    if (m_pchData == src.m_pchData)
        return *this;
    StringData *mine = GetData();
    StringData *theirs = src.GetData();
    int myRefs = mine->nRefs.load(std::memory_order_acquire);
    if ((myRefs < 0 && myRefs != -1) || theirs->nRefs.load(std::memory_order_acquire) < 0) {
        // A locked buffer never gains a second owner, and the shared empty
        // one is never shared by count.
        AssignCopy(theirs->nDataLength, src.m_pchData);
    } else {
        theirs->nRefs.fetch_add(1, std::memory_order_relaxed);
        Release();
        m_pchData = src.m_pchData;
    }
    return *this;
}

String &String::operator=(wchar_t const *text)
{
    if (reinterpret_cast<uintptr_t>(text) <= 0xFFFF)
        text = nullptr;
    AssignCopy(SafeStrlen(text), text);
    return *this;
}

String &String::operator=(wchar_t ch)
{
    AssignCopy(1, &ch);
    return *this;
}

String &String::operator=(char const *text)
{
    if (!text || !*text)
        AssignCopy(0, nullptr);
    else
        AssignUtf8(text, std::strlen(text));
    return *this;
}

String &String::operator=(unsigned char const *text) { return *this = reinterpret_cast<char const *>(text); }

String &String::operator=(char ch) { return *this = wchar_t(static_cast<unsigned char>(ch)); }

// Appending a String's own text is safe: ConcatInPlace copies the source
// before it releases the old block.
String &String::operator+=(String const &src)
{
    ConcatInPlace(src.GetLength(), src.m_pchData);
    return *this;
}

String &String::operator+=(wchar_t const *text)
{
    ConcatInPlace(SafeStrlen(text), text);
    return *this;
}

String &String::operator+=(wchar_t ch)
{
    ConcatInPlace(1, &ch);
    return *this;
}

String &String::operator+=(char ch) { return *this += wchar_t(static_cast<unsigned char>(ch)); }

String &String::Append(int n)
{
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%d", n);
    return *this += digits;
}

String operator+(String const &a, String const &b)
{
    String s;
    s.ConcatCopy(a.GetLength(), a.m_pchData, b.GetLength(), b.m_pchData);
    return s;
}

String operator+(String const &a, wchar_t const *b)
{
    String s;
    s.ConcatCopy(a.GetLength(), a.m_pchData, String::SafeStrlen(b), b);
    return s;
}

String operator+(wchar_t const *a, String const &b)
{
    String s;
    s.ConcatCopy(String::SafeStrlen(a), a, b.GetLength(), b.m_pchData);
    return s;
}

String operator+(String const &a, wchar_t b)
{
    String s;
    s.ConcatCopy(a.GetLength(), a.m_pchData, 1, &b);
    return s;
}

String operator+(wchar_t a, String const &b)
{
    String s;
    s.ConcatCopy(1, &a, b.GetLength(), b.m_pchData);
    return s;
}

// ---- narrow copy ----------------------------------------------------------

String::operator char const *() const
{
    int len = GetLength();
    size_t bytes = utf8EncodedLength(m_pchData, size_t(len)) + 1;
    char *block = static_cast<char *>(std::realloc(m_pszNarrow, bytes));
    if (!block) {
        // Without memory for the copy an empty text is the safe answer.
        static char const nothing[1] = {0};
        std::free(m_pszNarrow);
        m_pszNarrow = nullptr;
        return nothing;
    }
    m_pszNarrow = block;
    size_t n = utf8Encode(m_pchData, size_t(len), block);
    block[n] = 0;
    return m_pszNarrow;
}

String::operator char *()
{
    char const *p = static_cast<String const &>(*this).operator char const *();
    return const_cast<char *>(p);
}

// ---- access, comparison, search, extraction ---------------------------------

wchar_t String::GetAt(int index) const
{
    return index >= 0 && index <= GetLength() ? m_pchData[index] : wchar_t(0);
}

int String::Compare(wchar_t const *text) const { return std::wcscmp(m_pchData, text ? text : L""); }

int String::CompareNoCase(wchar_t const *text) const
{
    return ::wcscasecmp(m_pchData, text ? text : L"");
}

int String::Collate(wchar_t const *) const { return 0; }
int String::CollateNoCase(wchar_t const *) const { return 0; }

int String::Find(wchar_t ch) const { return Find(ch, 0); }

int String::Find(wchar_t ch, int start) const
{
    if (start < 0)
        start = 0;
    if (start >= GetLength())
        return -1;
    wchar_t const *p = std::wcschr(m_pchData + start, ch);
    return p ? int(p - m_pchData) : -1;
}

int String::Find(wchar_t const *sub) const { return Find(sub, 0); }

int String::Find(wchar_t const *sub, int start) const
{
    if (start < 0)
        start = 0;
    if (start > GetLength())
        return -1;
    wchar_t const *p = std::wcsstr(m_pchData + start, sub ? sub : L"");
    return p ? int(p - m_pchData) : -1;
}

int String::ReverseFind(wchar_t ch) const
{
    wchar_t const *p = std::wcsrchr(m_pchData, ch);
    return p ? int(p - m_pchData) : -1;
}

int String::FindOneOf(wchar_t const *set) const
{
    wchar_t const *p = std::wcspbrk(m_pchData, set ? set : L"");
    return p ? int(p - m_pchData) : -1;
}

String String::Mid(int first) const { return Mid(first, GetLength() - first); }

String String::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (count < 0)
        count = 0;
    int len = GetLength();
    if (first >= len)
        return String();
    if (count > len - first)
        count = len - first;
    if (first == 0 && count == len)
        return *this;
    String s;
    AllocCopy(s, count, first, 0);
    return s;
}

String String::Left(int count) const
{
    if (count <= 0)
        return String();
    return Mid(0, count);
}

String String::Right(int count) const
{
    int len = GetLength();
    if (count <= 0)
        return String();
    if (count > len)
        count = len;
    return Mid(len - count, count);
}

String String::SpanIncluding(wchar_t const *set) const
{
    return Left(int(std::wcsspn(m_pchData, set ? set : L"")));
}

String String::SpanExcluding(wchar_t const *set) const
{
    return Left(int(std::wcscspn(m_pchData, set ? set : L"")));
}

// ---- comparison operators -------------------------------------------------

bool operator==(String const &a, String const &b) { return a.Compare(b) == 0; }
bool operator==(String const &a, wchar_t const *b) { return a.Compare(b) == 0; }
bool operator==(wchar_t const *a, String const &b) { return b.Compare(a) == 0; }
bool operator!=(String const &a, String const &b) { return a.Compare(b) != 0; }
bool operator!=(String const &a, wchar_t const *b) { return a.Compare(b) != 0; }
bool operator!=(wchar_t const *a, String const &b) { return b.Compare(a) != 0; }
bool operator<(String const &a, String const &b) { return a.Compare(b) < 0; }
bool operator<(String const &a, wchar_t const *b) { return a.Compare(b) < 0; }
bool operator<(wchar_t const *a, String const &b) { return b.Compare(a) > 0; }
bool operator>(String const &a, String const &b) { return a.Compare(b) > 0; }
bool operator>(String const &a, wchar_t const *b) { return a.Compare(b) > 0; }
bool operator>(wchar_t const *a, String const &b) { return b.Compare(a) < 0; }
bool operator<=(String const &a, String const &b) { return a.Compare(b) <= 0; }
bool operator<=(String const &a, wchar_t const *b) { return a.Compare(b) <= 0; }
bool operator<=(wchar_t const *a, String const &b) { return b.Compare(a) >= 0; }
bool operator>=(String const &a, String const &b) { return a.Compare(b) >= 0; }
bool operator>=(String const &a, wchar_t const *b) { return a.Compare(b) >= 0; }
bool operator>=(wchar_t const *a, String const &b) { return b.Compare(a) <= 0; }

} // namespace Zorvan
