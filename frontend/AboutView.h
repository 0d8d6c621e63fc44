// The About page: the program's version, its notice, and the modules found,
// built afresh each time the view's window is created.
#pragma once

#include "frontend/HTMLView.h"

class AboutView : public HTMLView {
public:
    // The page as it reads with the modules the engine has now.
    static Zorvan::String BuildPage();

protected:
    bool OnCreate() override;
};
