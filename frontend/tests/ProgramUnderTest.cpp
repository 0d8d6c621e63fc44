// The program as the tests start it in a process of its own: main() with
// the program folder and the single-instance name taken from the
// environment (QUINTAR_TEST_PROGRAM_FOLDER, QUINTAR_TEST_INSTANCE), so that
// a test's modules are found and a Quintar the user runs is not met.
// Messages go to standard error and take their default answer.
#include "common/zorvan/MessagePresenter.h"
#include "frontend/Application.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    Application app(argc, argv);
    if (char const *folder = std::getenv("QUINTAR_TEST_PROGRAM_FOLDER"))
        app.SetProgramFolder(Zorvan::String(folder));
    if (char const *instance = std::getenv("QUINTAR_TEST_INSTANCE"))
        app.SetInstanceName(QString::fromLocal8Bit(instance));
    Zorvan::setMessagePresenter([](Zorvan::String const &text, Zorvan::String const &caption, unsigned style) {
        std::fprintf(stderr, "message: %s | %s\n", static_cast<char const *>(caption), static_cast<char const *>(text));
        return Zorvan::defaultMessageResult(style);
    });
    return app.Run(Application::CommandLine(app.arguments()));
}
