// A window that shows one HTML page (an HTML text browser over its whole
// area). The view object outlives its window: the HTML host dialog creates
// the window when it opens and destroys it when it closes, and subclasses
// build their page each time the window is created.
#pragma once

#include "common/zorvan/String.h"

#include <QPointer>
#include <QTextBrowser>

class QWidget;

class HTMLView {
public:
    HTMLView();
    virtual ~HTMLView();
    HTMLView(HTMLView const &) = delete;
    HTMLView &operator=(HTMLView const &) = delete;

    // Creates the window as a child of parent (object name
    // "Quintar.HTMLView") with the HTML control over its whole area,
    // focused and empty, then calls OnCreate. An existing window is
    // destroyed first. Null when OnCreate refuses.
    QWidget *CreateView(QWidget *parent);
    // Destroys the window and its control (nothing when there is none).
    void DestroyView();
    QWidget *GetWindow() const { return m_window.data(); }
    // The HTML control; null while the view has no window.
    QTextBrowser *GetControl() const { return m_html.data(); }

    // Scrolls to the anchor of that name (a leading "#" is ignored).
    virtual void GoToAnchor(Zorvan::String name);
    // Replaces the page with this HTML text.
    virtual void SetPage(Zorvan::String html);
    // A tapped link: target is its address, data "" (links carry no data
    // here). The base leaves handled false, so the view goes to the anchor.
    virtual void OnLink(Zorvan::String target, Zorvan::String data, bool *handled);

protected:
    // After the window and its control exist; false fails the creation.
    virtual bool OnCreate();

private:
    void LinkTapped(Zorvan::String const &target);

    QPointer<QWidget> m_window;
    QPointer<QTextBrowser> m_html;
};
