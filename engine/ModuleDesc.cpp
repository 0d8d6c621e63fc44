#include "engine/ModuleDesc.h"

namespace ZorvanEngine {

ModuleDesc::~ModuleDesc()
{
    for (ExtensionSet *set : extensionSets)
        delete set;
}

void ModuleDesc::SetVersion(Zorvan::String const &text)
{
    version = text;
    version.Replace(L", ", L".");
}

Zorvan::String const &ModuleDesc::GetFileFilter() const
{
    static Zorvan::String filter;
    filter.Empty();
    for (ExtensionSet const *set : extensionSets) {
        Zorvan::String list;
        for (size_t i = 0; i < set->extensions.size(); ++i) {
            if (i > 0)
                list += L';';
            list += L'*';
            list += set->extensions[i];
        }
        filter += set->name + L" (" + list + L")|" + list + L"|";
    }
    return filter;
}

bool ModuleDesc::IsExtension(Zorvan::String const &candidate) const
{
    int const length = candidate.GetLength();
    for (ExtensionSet const *set : extensionSets) {
        for (Zorvan::String const &extension : set->extensions) {
            int const n = extension.GetLength();
            if (length >= n && candidate.Right(n).CompareNoCase(extension) == 0)
                return true;
        }
    }
    return false;
}

} // namespace ZorvanEngine
