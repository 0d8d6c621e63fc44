#include "tools/runrom/RunEngine.h"

#include "engine/Engine.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/QtString.h"

#include <QFileInfo>

#include <cstdio>
#include <dlfcn.h>

namespace RunRom {

namespace {

using NewModuleDescFn = ZorvanEngine::ModuleDesc *(*)();

// The description of one plug-in file, as discovery makes it.
bool AddModuleFile(ZorvanEngine::Engine &engine, QString const &file)
{
    QString const path = QFileInfo(file).absoluteFilePath();
    QByteArray const narrow = path.toLocal8Bit();
    void *library = dlopen(narrow.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "runrom: %s\n", dlerror());
        return false;
    }
    auto const newDesc = reinterpret_cast<NewModuleDescFn>(dlsym(library, "NewModuleDesc"));
    ZorvanEngine::ModuleDesc *desc = newDesc ? newDesc() : nullptr;
    if (!desc) {
        std::fprintf(stderr, "runrom: %s: not a module plug-in\n", narrow.constData());
        dlclose(library);
        return false;
    }
    desc->SetFileName(ToZorvanString(path));
    engine.m_modules.push_back(desc);
    dlclose(library);
    return true;
}

} // namespace

bool LoadRunModules(ZorvanEngine::Engine &engine, QString const &file)
{
    if (!file.isEmpty())
        return AddModuleFile(engine, file);
    engine.LoadModules();
    if (engine.GetModuleCount() == 0) {
        std::fprintf(stderr, "runrom: no module plug-ins were found\n");
        return false;
    }
    return true;
}

void PrepareSettings(ZorvanEngine::Engine &engine, bool sound)
{
    for (int i = 0; i < engine.GetModuleCount(); ++i) {
        ZorvanEngine::Module *module = engine.OpenModule(i);
        if (!module)
            continue;
        PropertyMap &settings = module->GetSettings();
        settings.Set(L"FrameSync", false, false);
        settings.Set(L"FrameSkip", 0, false);
        settings.Set(L"ScreenSize", L"100%", false);
        settings.Set(L"Sound", sound, false);
        module->SaveSettings();
        engine.CloseModule(module);
    }
    PropertyMap &settings = engine.GetSettings();
    settings.Set(L"Sound", sound, false);
    settings.Set(L"ShouldLoad", true, false);
    engine.SaveSettings();
}

} // namespace RunRom
