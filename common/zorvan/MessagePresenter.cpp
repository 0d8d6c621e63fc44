#include "common/zorvan/MessagePresenter.h"

#include <cstdio>
#include <mutex>

namespace Zorvan {

namespace {

std::mutex g_presenterLock;
MessagePresenter g_presenter;

} // namespace

MessagePresenter setMessagePresenter(MessagePresenter presenter)
{
    std::lock_guard<std::mutex> lock(g_presenterLock);
    g_presenter.swap(presenter);
    return presenter;
}

int defaultMessageResult(unsigned style)
{
    // The buttons of each box, left to right.
    static int const buttons[6][3] = {
        {IDOK, IDOK, IDOK},           {IDOK, IDCANCEL, IDCANCEL},
        {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO, IDNO},          {IDRETRY, IDCANCEL, IDCANCEL},
    };
    unsigned type = style & MB_TYPEMASK;
    unsigned def = (style & MB_DEFMASK) >> 8;
    if (type > 5)
        type = 0;
    if (def > 2)
        def = 0;
    return buttons[type][def];
}

int presentMessage(String const &text, String const &caption, unsigned style)
{
    MessagePresenter presenter;
    {
        std::lock_guard<std::mutex> lock(g_presenterLock);
        presenter = g_presenter;
    }
    if (presenter)
        return presenter(text, caption, style);
    std::fprintf(stderr, "%s: %s\n", static_cast<char const *>(caption), static_cast<char const *>(text));
    return defaultMessageResult(style);
}

} // namespace Zorvan
