#include "modules/common/ConsoleDesc.h"

#include "engine/ExtensionSet.h"

namespace ConsoleGlue {

ZorvanEngine::ModuleDesc *NewConsoleModuleDesc(ModuleTexts const &texts)
{
    auto *desc = new ZorvanEngine::ModuleDesc;
    desc->SetName(texts.name);
    desc->SetRegKeyRoot(texts.regKeyRoot);
    desc->SetDescription(texts.description);
    desc->SetVersion(texts.version);
    for (ExtensionText const &text : texts.extensions) {
        auto *set = new ZorvanEngine::ExtensionSet(text.name);
        set->Add(text.extension);
        desc->GetExtensionSet().push_back(set);
    }
    return desc;
}

} // namespace ConsoleGlue
