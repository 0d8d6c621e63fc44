// The members of String that change its text in place, and the buffer
// access of callers that write the characters themselves.
#include "common/zorvan/String.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <new>

namespace Zorvan {

namespace {

bool isShared(StringData *data) { return data->nRefs.load(std::memory_order_acquire) > 1; }
bool isEmptyBuffer(StringData *data) { return data->nRefs.load(std::memory_order_relaxed) == -1; }

bool inSet(wchar_t ch, wchar_t const *set) { return ch != 0 && std::wcschr(set, ch) != nullptr; }

} // namespace

bool String::Unshare()
{
    CopyBeforeWrite();
    if (isShared(GetData()))
        return false;
    FreeNarrow();
    return true;
}

void String::SetAt(int index, wchar_t ch)
{
    if (index >= 0 && index < GetLength() && Unshare())
        m_pchData[index] = ch;
}

void String::MakeUpper()
{
    if (Unshare())
        for (wchar_t *p = m_pchData; *p; ++p)
            *p = wchar_t(std::towupper(wint_t(*p)));
}

void String::MakeLower()
{
    if (Unshare())
        for (wchar_t *p = m_pchData; *p; ++p)
            *p = wchar_t(std::towlower(wint_t(*p)));
}

void String::MakeReverse()
{
    if (Unshare())
        std::reverse(m_pchData, m_pchData + GetLength());
}

void String::Empty()
{
    StringData *data = GetData();
    if (data->nRefs.load(std::memory_order_relaxed) == LockedCount) {
        data->nDataLength = 0;
        m_pchData[0] = 0;
        FreeNarrow();
        return;
    }
    Release();
}

int String::Insert(int index, wchar_t ch) { return Insert(index, String(ch, 1)); }

int String::Insert(int index, wchar_t const *text)
{
    int insertLen = SafeStrlen(text);
    int len = GetLength();
    if (insertLen == 0)
        return len;
    index = std::clamp(index, 0, len);
    // Copy the insert first: it may point into this String's own buffer.
    String insert(text, insertLen);
    if (insert.GetLength() != insertLen || len > INT_MAX / 2 - insertLen)
        return -1;
    int newLen = len + insertLen;
    if (!Unshare())
        return -1;
    StringData *data = GetData();
    if (data->nAllocLength < newLen) {
        wchar_t *old = m_pchData;
        if (!AllocBuffer(newLen))
            return -1;
        std::memcpy(m_pchData, old, (size_t(len) + 1) * sizeof(wchar_t));
        Release(data);
    }
    std::memmove(m_pchData + index + insertLen, m_pchData + index, size_t(len - index + 1) * sizeof(wchar_t));
    std::memcpy(m_pchData + index, insert.m_pchData, size_t(insertLen) * sizeof(wchar_t));
    GetData()->nDataLength = newLen;
    return newLen;
}

int String::Delete(int index, int count)
{
    int len = GetLength();
    if (index < 0)
        index = 0;
    if (count <= 0 || index >= len)
        return len;
    count = std::min(count, len - index);
    if (!Unshare())
        return len;
    std::memmove(m_pchData + index, m_pchData + index + count, size_t(len - index - count + 1) * sizeof(wchar_t));
    GetData()->nDataLength = len - count;
    return len;
}

int String::Replace(wchar_t oldCh, wchar_t newCh)
{
    if (oldCh == newCh)
        return 0;
    int count = 0;
    for (int i = 0, len = GetLength(); i < len; ++i)
        count += m_pchData[i] == oldCh;
    if (count == 0)
        return 0;
    if (!Unshare())
        return -1;
    for (int i = 0, len = GetLength(); i < len; ++i)
        if (m_pchData[i] == oldCh)
            m_pchData[i] = newCh;
    return count;
}

int String::Replace(wchar_t const *oldText, wchar_t const *newText)
{
    int oldLen = SafeStrlen(oldText);
    if (oldLen == 0)
        return 0;
    if (!newText)
        newText = L"";
    int newLen = SafeStrlen(newText);
    int len = GetLength();

    int count = 0;
    for (wchar_t const *p = m_pchData; (p = std::wcsstr(p, oldText)) != nullptr; p += oldLen)
        ++count;
    if (count == 0)
        return 0;

    long long resultLen = len + (long long)(newLen - oldLen) * count;
    if (resultLen > INT_MAX / 2)
        return -1;
    // Build the result in a new block: the old text stays readable while
    // the replacement (which may be part of it) is copied in.
    String result;
    if (!result.AllocBuffer(int(resultLen)))
        return -1;
    wchar_t *out = result.m_pchData;
    wchar_t const *src = m_pchData;
    for (wchar_t const *hit; (hit = std::wcsstr(src, oldText)) != nullptr; src = hit + oldLen) {
        std::memcpy(out, src, size_t(hit - src) * sizeof(wchar_t));
        out += hit - src;
        std::memcpy(out, newText, size_t(newLen) * sizeof(wchar_t));
        out += newLen;
    }
    std::memcpy(out, src, size_t(m_pchData + len - src) * sizeof(wchar_t));
    if (resultLen > 0)
        result.m_pchData[resultLen] = 0;

    // A locked destination copies the text (keeping its block and lock when
    // it fits); any other one takes the new block.
    *this = result;
    return count;
}

int String::Remove(wchar_t ch)
{
    int len = GetLength();
    if (ch == 0 || !std::wmemchr(m_pchData, ch, size_t(len)) || !Unshare())
        return 0;
    wchar_t *end = std::remove(m_pchData, m_pchData + len, ch);
    *end = 0;
    int newLen = int(end - m_pchData);
    GetData()->nDataLength = newLen;
    return len - newLen;
}

namespace {

bool isSpace(wchar_t ch) { return std::iswspace(wint_t(ch)) != 0; }

template <typename Matches>
void trimLeading(String &s, Matches matches)
{
    wchar_t const *text = s;
    int len = s.GetLength(), run = 0;
    while (run < len && matches(text[run]))
        ++run;
    if (run > 0)
        s.Delete(0, run);
}

template <typename Matches>
void trimTrailing(String &s, Matches matches)
{
    wchar_t const *text = s;
    int len = s.GetLength(), run = 0;
    while (run < len && matches(text[len - 1 - run]))
        ++run;
    if (run > 0)
        s.Delete(len - run, run);
}

} // namespace

void String::TrimLeft() { trimLeading(*this, isSpace); }
void String::TrimRight() { trimTrailing(*this, isSpace); }
void String::TrimLeft(wchar_t ch) { trimLeading(*this, [ch](wchar_t c) { return c == ch; }); }
void String::TrimRight(wchar_t ch) { trimTrailing(*this, [ch](wchar_t c) { return c == ch; }); }

void String::TrimLeft(wchar_t const *set)
{
    if (set && *set)
        trimLeading(*this, [set](wchar_t c) { return inSet(c, set); });
}

void String::TrimRight(wchar_t const *set)
{
    if (set && *set)
        trimTrailing(*this, [set](wchar_t c) { return inSet(c, set); });
}

// ---- buffer access ----------------------------------------------------------

wchar_t *String::GetBuffer(int minLength)
{
    if (minLength < 0)
        minLength = 0;
    StringData *data = GetData();
    if (isShared(data) || data->nAllocLength < minLength) {
        int len = data->nDataLength;
        wchar_t *old = m_pchData;
        if (!AllocBuffer(std::max(minLength, len)))
            return nullptr;
        std::memcpy(m_pchData, old, (size_t(len) + 1) * sizeof(wchar_t));
        GetData()->nDataLength = len;
        Release(data);
    }
    FreeNarrow();
    return m_pchData;
}

void String::ReleaseBuffer(int newLength)
{
    CopyBeforeWrite();
    StringData *data = GetData();
    if (isEmptyBuffer(data) || isShared(data))
        return;
    // The caller wrote at most the capacity; never trust a longer length.
    if (newLength < 0 || newLength > data->nAllocLength)
        newLength = int(::wcsnlen(m_pchData, size_t(data->nAllocLength)));
    data->nDataLength = newLength;
    m_pchData[newLength] = 0;
    FreeNarrow();
}

wchar_t *String::GetBufferSetLength(int length)
{
    if (length < 0)
        length = 0;
    wchar_t *p = GetBuffer(length);
    if (!p)
        return nullptr;
    if (!isEmptyBuffer(GetData())) {
        GetData()->nDataLength = length;
        m_pchData[length] = 0;
    }
    return m_pchData;
}

void String::FreeExtra()
{
    StringData *data = GetData();
    if (data->nDataLength == data->nAllocLength)
        return;
    String exact(m_pchData, data->nDataLength);
    if (exact.GetLength() != data->nDataLength)
        return;
    wchar_t *keep = exact.m_pchData;
    exact.m_pchData = m_pchData;
    m_pchData = keep;
    FreeNarrow();
}

wchar_t *String::LockBuffer()
{
    wchar_t *p = GetBuffer(0);
    if (p && !isEmptyBuffer(GetData()))
        GetData()->nRefs.store(LockedCount, std::memory_order_relaxed);
    return p;
}

void String::UnlockBuffer()
{
    StringData *data = GetData();
    if (!isEmptyBuffer(data))
        data->nRefs.store(1, std::memory_order_relaxed);
}

} // namespace Zorvan
