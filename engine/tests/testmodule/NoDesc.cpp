// A shared library in a module folder that is not a module: it exports
// something, but no NewModuleDesc. Discovery must pass it by in silence.
extern "C" int NotAModule()
{
    return 42;
}
