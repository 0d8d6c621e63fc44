// Reference-counted, copy-on-write wide string: the text type of every
// interface between the program, the engine and the modules.
//
// wchar_t is 32 bits here, so a String holds UTF-32 code units. Narrow text
// going in and out (char const*) is UTF-8; bytes that are not valid UTF-8 are
// carried through as the code units 0xDC80..0xDCFF and written back as the
// same bytes, so a file name survives a round trip whatever its encoding.
//
// Layout: one character pointer that points just behind a StringData header
// in the same heap block, then a narrow-copy pointer owned by this object
// alone. Copies share the block; the reference count changes atomically, so
// Strings sharing a block may be copied and destroyed on different threads.
// One String object is used by one thread at a time.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>

namespace Zorvan {

struct StringData {
    // 1 or more: number of Strings sharing the block; -1: the shared empty
    // buffer; -100: locked by LockBuffer (never shared while locked).
    std::atomic<int> nRefs;
    int nDataLength;  // characters, without the terminator
    int nAllocLength; // capacity in characters, without the terminator

    wchar_t *data() { return reinterpret_cast<wchar_t *>(this + 1); }
};

class String {
public:
    static constexpr int LockedCount = -100;

    String();
    String(String const &src);
    String(wchar_t const *text);          // null gives empty; a value <= 0xFFFF is a resource id (none exist: empty)
    String(wchar_t const *text, int n);   // exactly n characters
    String(wchar_t ch, int repeat);       // repeat <= 0 gives empty
    String(char const *text);             // UTF-8
    String(char const *text, int nBytes); // the first nBytes bytes, UTF-8
    String(unsigned char const *text);
    ~String();

    String &operator=(String const &src);
    String &operator=(wchar_t const *text);
    String &operator=(wchar_t ch);
    String &operator=(char const *text);
    String &operator=(unsigned char const *text);
    String &operator=(char ch); // widened by value, no conversion

    String &operator+=(String const &src);
    String &operator+=(wchar_t const *text);
    String &operator+=(wchar_t ch);
    String &operator+=(char ch); // widened by value
    String &Append(int n);       // decimal text of n

    friend String operator+(String const &a, String const &b);
    friend String operator+(String const &a, wchar_t const *b);
    friend String operator+(wchar_t const *a, String const &b);
    friend String operator+(String const &a, wchar_t b);
    friend String operator+(wchar_t a, String const &b);

    int Compare(wchar_t const *text) const;       // ordinal
    int CompareNoCase(wchar_t const *text) const; // ordinal, case-blind
    int Collate(wchar_t const *text) const;       // always 0
    int CollateNoCase(wchar_t const *text) const; // always 0

    int GetLength() const { return GetData()->nDataLength; }
    int GetAllocLength() const { return GetData()->nAllocLength; }
    bool IsEmpty() const { return GetData()->nDataLength == 0; }
    wchar_t GetAt(int index) const; // 0 outside 0..length
    wchar_t operator[](int index) const { return GetAt(index); }
    void SetAt(int index, wchar_t ch); // unshares; ignored outside 0..length-1

    operator wchar_t const *() const { return m_pchData; }
    operator wchar_t *() { return m_pchData; }
    // The UTF-8 copy, remade on each call; valid until this String changes
    // or is destroyed.
    operator char const *() const;
    operator char *();

    int Find(wchar_t ch) const;
    int Find(wchar_t ch, int start) const;
    int Find(wchar_t const *sub) const;
    int Find(wchar_t const *sub, int start) const;
    int ReverseFind(wchar_t ch) const;
    int FindOneOf(wchar_t const *set) const;

    String Mid(int first) const;
    String Mid(int first, int count) const;
    String Left(int count) const;
    String Right(int count) const;
    String SpanIncluding(wchar_t const *set) const;
    String SpanExcluding(wchar_t const *set) const;

    void MakeUpper();
    void MakeLower();
    void MakeReverse();
    void Empty();
    int Insert(int index, wchar_t ch);
    int Insert(int index, wchar_t const *text);
    int Delete(int index, int count = 1);
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(wchar_t const *oldText, wchar_t const *newText);
    int Remove(wchar_t ch);
    void TrimLeft();
    void TrimRight();
    void TrimLeft(wchar_t ch);
    void TrimRight(wchar_t ch);
    void TrimLeft(wchar_t const *set);
    void TrimRight(wchar_t const *set);

    wchar_t *GetBuffer(int minLength);
    wchar_t *GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);
    void FreeExtra();
    wchar_t *LockBuffer();
    void UnlockBuffer();

    // printf-style formatting with the wide meanings of the conversions:
    // %s (and %ls, %lS) takes a wide string, %S (and %hs, %hS) a UTF-8 one,
    // %c (and %lc) a wide character, %C (and %hc) a narrow one; numbers as
    // in printf, including the I64 size prefix. The result is unbounded in
    // length. Returns 1, or 0 (String unchanged) when memory runs out.
    int Format(wchar_t const *fmt, ...);
    int FormatV(wchar_t const *fmt, va_list args);
    int Format(unsigned int resourceId, ...); // no resources exist: empties, returns 0
    // Message-style formatting: %1..%99 insert the arguments in order of
    // their numbers (wide strings, or %n!spec! with a printf spec), %% a
    // percent sign, %n a line end, %t a tab, %r a carriage return, %0 ends
    // the text. Returns 1, or 0 with the String emptied on failure.
    int FormatMessageW(wchar_t const *fmt, ...);
    int FormatMessageW(unsigned int resourceId, ...); // no resources: empties, returns 0

    static String const &_GetEmptyString();
    static int SafeStrlen(wchar_t const *text);

protected:
    void Init();
    StringData *GetData() const { return reinterpret_cast<StringData *>(m_pchData) - 1; }
    bool AllocBuffer(int length);
    void Release();
    static void Release(StringData *data);
    void CopyBeforeWrite();
    bool AllocBeforeWrite(int length);
    void AllocCopy(String &dest, int copyLen, int copyIndex, int extraLen) const;
    bool AssignCopy(int srcLen, wchar_t const *src);
    bool ConcatCopy(int len1, wchar_t const *src1, int len2, wchar_t const *src2);
    void ConcatInPlace(int srcLen, wchar_t const *src);
    static bool _IsValidString(wchar_t const *text, int /*length*/) { return text != nullptr; }

private:
    // CopyBeforeWrite, then drops the narrow copy; false when the buffer
    // is still shared (no memory for a private one).
    bool Unshare();
    void FreeNarrow();
    void AssignUtf8(char const *text, size_t nBytes);

    wchar_t *m_pchData;
    mutable char *m_pszNarrow;
};

bool operator==(String const &a, String const &b);
bool operator==(String const &a, wchar_t const *b);
bool operator==(wchar_t const *a, String const &b);
bool operator!=(String const &a, String const &b);
bool operator!=(String const &a, wchar_t const *b);
bool operator!=(wchar_t const *a, String const &b);
bool operator<(String const &a, String const &b);
bool operator<(String const &a, wchar_t const *b);
bool operator<(wchar_t const *a, String const &b);
bool operator>(String const &a, String const &b);
bool operator>(String const &a, wchar_t const *b);
bool operator>(wchar_t const *a, String const &b);
bool operator<=(String const &a, String const &b);
bool operator<=(String const &a, wchar_t const *b);
bool operator<=(wchar_t const *a, String const &b);
bool operator>=(String const &a, String const &b);
bool operator>=(String const &a, wchar_t const *b);
bool operator>=(wchar_t const *a, String const &b);

} // namespace Zorvan
