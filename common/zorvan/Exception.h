// The base of every exception class in the system: an identifier and a
// message. Exceptions are created with new, thrown and caught as pointers,
// and end in ReportError or a delete by the catcher.
#pragma once

#include "common/zorvan/String.h"

namespace Zorvan {

class Exception {
public:
    // Copies both texts (null counts as empty) and becomes CurrentException.
    Exception(wchar_t const *id, wchar_t const *message);
    Exception(Exception const &other); // copies the texts; becomes CurrentException
    Exception &operator=(Exception const &other);
    // Frees the texts and clears CurrentException, whichever it pointed at.
    virtual ~Exception();

    wchar_t *GetID() const { return m_id; }
    wchar_t *GetErrorMessage() const { return m_message; }

    // Shows the message in an "Error" box (error icon, OK button) through
    // the installed message presenter, then deletes this exception: the
    // caller must not touch it afterwards.
    void ReportError();

private:
    wchar_t *m_id;
    wchar_t *m_message;
};

// The exception most recently constructed; null when none is alive or after
// any exception was destroyed.
extern Exception *CurrentException;
// An empty String kept for the exported interface; nothing uses it.
extern String CurrentExceptionString;

} // namespace Zorvan
