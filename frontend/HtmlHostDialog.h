// The modeless window that hosts one HTMLView (the About page). It covers
// the frame, which takes no input while it is open; once it is closed the
// owner is told (identifier 259, code 2) and resumes the engine.
#pragma once

#include "common/zorvan/String.h"
#include "frontend/ModelessDialog.h"

class HTMLView;

class HtmlHostDialog : public ModelessDialog {
    Q_OBJECT
public:
    static constexpr int DialogId = 259;

    HtmlHostDialog();
    ~HtmlHostDialog() override;

    // Creates the view's window over the whole dialog and shows the dialog
    // over owner (null: the engine's frame window), which is disabled until
    // the dialog closes. The title is empty until SetTitle.
    void Show(HTMLView *view, QWidget *owner = nullptr);
    void SetTitle(Zorvan::String const &title);
    HTMLView *GetView() const { return m_view; }

protected:
    // Destroys the view's window.
    void OnClosing() override;

private:
    HTMLView *m_view = nullptr;
};
