// Finding module libraries and making module objects from them.
//
// A module library is a "*.so" exporting NewModuleDesc and NewModule
// (extern "C"). Libraries are looked for in the program's folder, its
// "ZorvanModules" subfolder and every entry whose name contains
// "ZorvanModule" in the program folder's parent, in that order.
#include "engine/Engine.h"

#include "common/zorvan/Console.h"
#include "engine/Module.h"
#include "engine/ModuleDesc.h"

#include <algorithm>
#include <dirent.h>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace ZorvanEngine {

namespace {

using NewModuleDescFn = ModuleDesc *(*)();
using NewModuleFn = Module *(*)();

// Names of the folder's entries (without "." and ".."), in the order the
// file system returns them.
std::vector<std::string> FolderEntries(Zorvan::String const &folder)
{
    std::vector<std::string> names;
    DIR *dir = opendir(static_cast<char const *>(folder));
    if (!dir)
        return names;
    while (dirent const *entry = readdir(dir)) {
        std::string const name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    return names;
}

// The folders to search, each with its trailing "/".
std::vector<Zorvan::String> SearchFolders(Engine &engine)
{
    Zorvan::String const path = engine.GetPath();
    std::vector<Zorvan::String> folders{path + L"/", path + L"/ZorvanModules/"};

    Zorvan::String const parent = path.Left(path.ReverseFind(L'/') + 1);
    engine.PrintConsole(L"Extended module search folder: " + parent + L"*ZorvanModule*" + L"\n");
    for (std::string const &name : FolderEntries(parent)) {
        if (name.find("ZorvanModule") != std::string::npos)
            folders.push_back(parent + Zorvan::String(name.c_str()) + L"/");
    }
    return folders;
}

// The module libraries of one folder, in name order (the file system's
// order is arbitrary).
std::vector<std::string> LibraryFiles(Zorvan::String const &folder)
{
    std::vector<std::string> files;
    for (std::string const &name : FolderEntries(folder)) {
        if (name.size() > 3 && name.ends_with(".so"))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

Zorvan::String LastLoaderError()
{
    char const *text = dlerror();
    return Zorvan::String(text ? text : "Unable to load the library.");
}

} // namespace

void Engine::LoadModules()
{
    Zorvan::String const expected = [] {
        Zorvan::String dotted(kModuleInterfaceVersion);
        dotted.Replace(L", ", L".");
        return dotted;
    }();

    std::vector<Zorvan::String> const folders = SearchFolders(*this);
    bool outOfDate = false;
    for (Zorvan::String const &folder : folders) {
        for (std::string const &file : LibraryFiles(folder)) {
            Zorvan::String const fullPath = folder + Zorvan::String(file.c_str());
            void *library = dlopen(static_cast<char const *>(fullPath), RTLD_NOW | RTLD_LOCAL);
            if (!library) {
                Message(L"Possibly out of memory. Unable to load DLL: " + fullPath);
                continue;
            }
            auto const newDesc = reinterpret_cast<NewModuleDescFn>(dlsym(library, "NewModuleDesc"));
            if (!newDesc) {
                dlclose(library);
                continue;
            }
            ModuleDesc *desc = newDesc();
            if (!desc) {
                dlclose(library);
                continue;
            }
            Zorvan::String const &version = desc->GetVersion();
            if (version != expected) {
                PrintConsole(L"The version of the ZorvanModule " + desc->GetName() + L" (" + version + L") is " +
                             (version < expected ? L"older" : L"newer") +
                             L" than the main Quintar executable (" + expected +
                             L") so it may not be fully compatible and may even need to be uninstalled: " +
                             fullPath + L"\n");
                outOfDate = true;
            }
            desc->SetFileName(fullPath);
            m_modules.push_back(desc);
            dlclose(library);
        }
    }

    if (outOfDate) {
        Message(L"One or more ZorvanModules are out of date. Please review the Console for more information by "
                L"clicking the Settings Icon on the toolbar and selecting Console.");
    }
    if (m_modules.empty()) {
        Zorvan::String list;
        for (size_t i = 0; i < folders.size(); ++i)
            list += (i > 0 ? L"," : L"") + folders[i];
        Message(L"No ZorvanModules were found at the path(s): " + list);
        return;
    }

    // Name order, case-blind; of equal names the first found stays first.
    std::vector<ModuleDesc *> sorted;
    while (!m_modules.empty()) {
        size_t smallest = 0;
        Zorvan::String bound(L"ZZZZZZ");
        for (size_t i = 0; i < m_modules.size(); ++i) {
            if (m_modules[i]->GetName().CompareNoCase(bound) < 0) {
                bound = m_modules[i]->GetName();
                smallest = i;
            }
        }
        sorted.push_back(m_modules[smallest]);
        m_modules.erase(m_modules.begin() + static_cast<std::ptrdiff_t>(smallest));
    }
    m_modules = std::move(sorted);

    // On the very first run every module writes its defaults.
    bool const firstRun = !ShouldLoadSettings();
    for (int i = 0; i < GetModuleCount(); ++i) {
        Module *module = OpenModule(i);
        if (!module)
            continue;
        if (firstRun)
            module->SaveSettings();
        CloseModule(module);
    }
    if (firstRun) {
        m_settings.Set(L"ShouldLoad", true, false);
        SaveSettings();
    }
}

Module *Engine::OpenModule(int index)
{
    ModuleDesc *desc = GetModuleDesc(index);
    Zorvan::String const &fileName = desc->GetFileName();
    void *library = dlopen(static_cast<char const *>(fileName), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        Message(LastLoaderError());
        return nullptr;
    }
    auto const newModule = reinterpret_cast<NewModuleFn>(dlsym(library, "NewModule"));
    if (!newModule) {
        Message(L"Unable to locate emulator in DLL: " + fileName);
        dlclose(library);
        return nullptr;
    }
    Module *module = newModule();
    if (!module) {
        Message(L"Unable to create new instance: " + fileName);
        dlclose(library);
        return nullptr;
    }
    module->SetInstance(library);
    module->SetDesc(desc);
    module->ResetSettings();
    module->LoadSettings();
    return module;
}

void Engine::CloseModule(Module *module)
{
    if (!module)
        return;
    Zorvan::String const name = module->GetDesc() ? module->GetDesc()->GetName() : Zorvan::String();
    // The module's code lives in the library: delete it before the library
    // goes.
    void *library = module->GetInstance();
    delete module;
    if (library && dlclose(library) != 0)
        Message(L"Unable to free DLL for " + name);
}

} // namespace ZorvanEngine
