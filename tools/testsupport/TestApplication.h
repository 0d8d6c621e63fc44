// The one widget application of a test program, made on first use (widgets
// and the input's event filter need it). The platform plug-in comes from the
// environment, offscreen in every test run.
#pragma once

#include <QApplication>

namespace QuintarTest {

inline void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "quintar_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace QuintarTest
