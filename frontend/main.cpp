// Quintar's entry point: the application object does the rest.
#include "frontend/Application.h"

int main(int argc, char **argv)
{
    Application app(argc, argv);
    Application::InstallMessageBoxPresenter();
    return app.Run(Application::CommandLine(app.arguments()));
}
