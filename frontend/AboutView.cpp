#include "frontend/AboutView.h"

#include "engine/Engine.h"
#include "engine/ModuleDesc.h"

Zorvan::String AboutView::BuildPage()
{
    // The program carries the version of the module interface it was built with.
    Zorvan::String version(ZorvanEngine::kModuleInterfaceVersion);
    version.Replace(L", ", L".");

    Zorvan::String page(L"<html>\n");
    page += L"<head></head>\n";
    page += L"<body style=\"font-family: arial, verdana, helvetica; font-size: 8pt;\" bgcolor=\"#FFFFFF\">\n";
    page += L"Quintar Version " + version + L"<br>" + L"Linux";
    page += L"<br>Copyright \u00A9 2026 the Quintar developers<br>\n";
    page += L"<p>Quintar opens console games with the emulation modules it finds beside the program. "
            L"The modules found when it started are listed <a href=\"#modules\">below</a>.</p>\n";
    page += L"<a name=\"modules\"></a><hr>\n";

    int const count = ourEngine ? ourEngine->GetModuleCount() : 0;
    if (count > 0) {
        page += L"<b>Featured Modules</b><br>\n";
        page += L"<ul>\n";
        for (int i = 0; i < count; ++i) {
            ZorvanEngine::ModuleDesc const *desc = ourEngine->GetModuleDesc(i);
            page += L"<li>" + desc->GetDescription() + L"<br>Build Version: " + desc->GetVersion() +
                    L"<br><br></li>\n";
        }
        page += L"</ul>\n";
    }
    page += L"</body>\n";
    page += L"</html>";
    return page;
}

bool AboutView::OnCreate()
{
    if (!HTMLView::OnCreate())
        return false;
    SetPage(BuildPage());
    return true;
}
