#include "frontend/HTMLView.h"

#include "engine/QtString.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HTMLView::HTMLView() = default;

HTMLView::~HTMLView()
{
    DestroyView();
}

QWidget *HTMLView::CreateView(QWidget *parent)
{
    DestroyView();
    auto *window = new QWidget(parent);
    window->setObjectName(QStringLiteral("Quintar.HTMLView"));
    auto *html = new QTextBrowser(window);
    // Links are the view's to follow: the browser must not load them itself.
    html->setOpenLinks(false);
    html->setOpenExternalLinks(false);
    html->setFrameShape(QFrame::NoFrame);
    html->document()->setDocumentMargin(8);
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(html);
    html->setPlainText(QString());
    QObject::connect(html, &QTextBrowser::anchorClicked, html,
                     [this](QUrl const &url) { LinkTapped(ToZorvanString(url.toString())); });
    m_window = window;
    m_html = html;
    if (parent)
        window->show();
    html->setFocus();
    if (!OnCreate()) {
        DestroyView();
        return nullptr;
    }
    return window;
}

void HTMLView::DestroyView()
{
    delete m_window.data();
    m_window = nullptr;
    m_html = nullptr;
}

bool HTMLView::OnCreate()
{
    return true;
}

void HTMLView::GoToAnchor(Zorvan::String name)
{
    if (!m_html)
        return;
    QString anchor = ToQString(name);
    if (anchor.startsWith(QLatin1Char('#')))
        anchor.remove(0, 1);
    m_html->scrollToAnchor(anchor);
}

void HTMLView::SetPage(Zorvan::String html)
{
    if (!m_html)
        return;
    m_html->clear();
    m_html->setHtml(ToQString(html));
}

void HTMLView::OnLink(Zorvan::String, Zorvan::String, bool *)
{
}

void HTMLView::LinkTapped(Zorvan::String const &target)
{
    bool handled = false;
    OnLink(target, Zorvan::String(L""), &handled);
    if (!handled)
        GoToAnchor(target);
}
