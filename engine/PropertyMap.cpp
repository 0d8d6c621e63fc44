#include "engine/PropertyMap.h"

#include "engine/Registry.h"

#include "common/zorvan/MessagePresenter.h"

#include <new>

using Zorvan::String;

PropertyMap::PropertyMap() : m_map(new (std::nothrow) std::vector<Entry>)
{
    if (!m_map)
        Zorvan::presentMessage(String(L"Unable to create PropertyMap!"), String(L"Error"), MB_OK | MB_ICONERROR);
}

PropertyMap::PropertyMap(PropertyMap const &other) : PropertyMap()
{
    *this = other;
}

PropertyMap &PropertyMap::operator=(PropertyMap const &other)
{
    if (this == &other || !m_map)
        return *this;
    Clear();
    if (other.m_map) {
        m_map->reserve(other.m_map->size());
        for (auto const &entry : *other.m_map)
            m_map->push_back({entry.key, new Property(*entry.value)});
    }
    return *this;
}

PropertyMap::~PropertyMap()
{
    Clear();
    delete m_map;
}

void PropertyMap::Clear()
{
    if (!m_map)
        return;
    for (auto &entry : *m_map)
        delete entry.value;
    m_map->clear();
}

Property *PropertyMap::Find(String const &key) const
{
    if (!m_map)
        return nullptr;
    for (auto const &entry : *m_map)
        if (entry.key == key)
            return entry.value;
    return nullptr;
}

Property *PropertyMap::FindOrAppend(String const &key)
{
    if (Property *found = Find(key))
        return found;
    if (!m_map)
        return nullptr;
    auto *value = new Property;
    m_map->push_back({key, value});
    return value;
}

void PropertyMap::Set(String const &key, int value, bool transient)
{
    Property *p = FindOrAppend(key);
    if (!p)
        return;
    p->type = Property::Int;
    p->intValue = value;
    p->transient = transient;
}

void PropertyMap::Set(String const &key, bool value, bool transient)
{
    Property *p = FindOrAppend(key);
    if (!p)
        return;
    p->type = Property::Bool;
    p->intValue = value ? 1 : 0;
    p->transient = transient;
}

void PropertyMap::Set(String const &key, String const &value, bool transient)
{
    Property *p = FindOrAppend(key);
    if (!p)
        return;
    p->type = Property::Str;
    p->stringValue = value;
    p->transient = transient;
}

void PropertyMap::Set(String const &key, wchar_t const *value, bool transient)
{
    Set(key, String(value), transient);
}

int PropertyMap::GetInt(String const &key) const
{
    Property const *p = Find(key);
    return p ? p->intValue : 0;
}

bool PropertyMap::GetBoolean(String const &key) const
{
    Property const *p = Find(key);
    return p && p->intValue != 0;
}

String const &PropertyMap::GetString(String const &key) const
{
    Property const *p = Find(key);
    return p ? p->stringValue : String::_GetEmptyString();
}

bool PropertyMap::Contains(String const &key) const
{
    return Find(key) != nullptr;
}

void PropertyMap::ToRegistry(Registry &registry) const
{
    if (!m_map)
        return;
    Registry::Batch batch(registry);
    for (auto const &[key, p] : *m_map) {
        if (p->transient)
            continue;
        switch (p->type) {
        case Property::Int:
            registry.WriteDWORD(key, uint32_t(p->intValue));
            break;
        case Property::Bool:
            registry.WriteDWORD(key, p->intValue ? 1u : 0u);
            break;
        default:
            registry.WriteString(key, p->stringValue);
            break;
        }
    }
}

void PropertyMap::FromRegistry(Registry &registry)
{
    if (!m_map)
        return;
    for (auto const &[key, p] : *m_map) {
        if (p->transient)
            continue;
        switch (p->type) {
        case Property::Int:
            p->intValue = int(registry.ReadDWORD(key, uint32_t(p->intValue)));
            break;
        case Property::Bool:
            p->intValue = registry.ReadDWORD(key, p->intValue ? 1u : 0u) != 0 ? 1 : 0;
            break;
        default:
            p->stringValue = registry.ReadString(key, p->stringValue);
            break;
        }
    }
}

void PropertyMap::DeleteRegistry(Registry &registry) const
{
    if (!m_map)
        return;
    Registry::Batch batch(registry);
    for (auto const &[key, p] : *m_map)
        if (!p->transient && key != L"RegKey")
            registry.DeleteValue(key);
}
